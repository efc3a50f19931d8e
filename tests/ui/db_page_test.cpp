// The clip database page under the offscreen platform, over a real clip tree: stepping
// through the rows with the replay page following, deleting ticked clips to the trash or
// for good, and the message when nothing is ticked.
#include "ui/db_page.h"

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/text_utf.h"

using orvanta::AppContext;
using orvanta::ui::DbPage;
namespace fs = std::filesystem;

namespace {

const char* const kClips[] = {"M20240101_210000_JPTK01_C1", "M20240101_220000_JPTK01_C1",
                              "M20240102_013000_JPTK01_C1"};
const char* const kEndings[] = {".avi", ".xml", "P.jpg", "M.bmp"};

// A page over one night of three clips, with the replay page's side recorded.
struct Night {
  QTemporaryDir dir;
  std::unique_ptr<AppContext> app = std::make_unique<AppContext>();
  std::unique_ptr<DbPage> page;
  std::vector<std::pair<int, std::string>> opened;
  int replay_shown = 0, closed = 0, play_pause = 0;
  bool replay_up = false;

  Night() {
    // Deleted clips go to a trash of the test's own.
    qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
    orvanta::SetDefaults(*app);
    const fs::path day = fs::path(dir.path().toStdString()) / "db" / "2024" / "202401" / "20240101";
    fs::create_directories(day);
    for (const char* clip : kClips) {
      for (const char* end : kEndings) std::ofstream(day / (std::string(clip) + end)) << end;
    }
    orvanta::SetField(app->ap.db_dir, orvanta::Utf8ToUtf16(DbDir()));
    app->ap.db_ymddir = 1;
    app->ap.db_latest = 0;
    app->ap.db_night = 1;
    app->ap.db_y = 2024, app->ap.db_m = 1, app->ap.db_d = 1, app->ap.db_days = 1;
    page = std::make_unique<DbPage>(*app);
    page->select_clip = [this](int index, const std::string& name) {
      opened.emplace_back(index, name);
    };
    page->replay_showing = [this] { return replay_up; };
    page->show_replay_page = [this] {
      ++replay_shown;
      replay_up = true;
    };
    page->close_replay = [this] { ++closed; };
    page->replay_play_pause = [this] { ++play_pause; };
    page->resize(320, 600);
    page->show();
    page->ReReadClipList();
  }
  std::string DbDir() const { return dir.path().toStdString() + "/db"; }
  fs::path Day() const { return fs::path(DbDir()) / "2024" / "202401" / "20240101"; }
  template <typename T = QWidget>
  T* Find(const char* id) {
    T* w = page->findChild<T*>(QString::fromLatin1(id));
    if (!w) qFatal("no control %s", id);
    return w;
  }
  void Click(const char* id) { Find<QAbstractButton>(id)->click(); }
  int Selected() const {
    const QModelIndex i = page->list_view()->currentIndex();
    return i.isValid() ? i.row() : -1;
  }
  QString Count() { return Find<QLabel>("id1346")->text(); }
};

// Presses `button` of the next modal box once it is up, keeping its text.
void AnswerNextBox(QMessageBox::StandardButton button, QString* text) {
  QTimer::singleShot(0, [button, text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    *text = box->text();
    box->button(button)->click();
  });
}

}  // namespace

class DbPageTest : public QObject {
  Q_OBJECT

 private slots:
  void ListsTheNightAndOpensTheFirstRow() {
    Night n;
    QCOMPARE(n.Count(), QStringLiteral("3 clips"));
    QCOMPARE(n.Selected(), 0);
    QCOMPARE(n.opened.size(), size_t{1});
    QCOMPARE(n.opened[0].second, std::string(kClips[0]));
    QCOMPARE(n.page->clip_list().DirectoryOf(n.opened[0].first), n.Day().string());
    QCOMPARE(n.replay_shown, 1);
    const QModelIndex media = n.page->model()->index(0, 1);
    QCOMPARE(media.data().toString(), QStringLiteral("A  P   MX "));
  }

  void PrevAndNextStopAtTheEnds() {
    Night n;
    n.opened.clear();
    n.Click("id1363");  // Prev on the first row
    QCOMPARE(n.Selected(), 0);
    QVERIFY(n.opened.empty());
    n.Click("id1362");
    n.page->Next();  // as the replay page's button
    QCOMPARE(n.Selected(), 2);
    n.Click("id1362");  // Next on the last row
    QCOMPARE(n.Selected(), 2);
    QCOMPARE(n.opened.size(), size_t{2});
    QCOMPARE(n.opened[1].second, std::string(kClips[2]));
    // The keys of the list: Up steps back, Space is the replay's play/pause, Right ticks
    // and steps on.
    QWidget* list = n.page->list_view();
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(n.Selected(), 1);
    QTest::keyClick(list, Qt::Key_Space);
    QCOMPARE(n.play_pause, 1);
    QTest::keyClick(list, Qt::Key_Right);
    QVERIFY(n.page->clip_list().row(1).ticked);
    QCOMPARE(n.Selected(), 2);
    QCOMPARE(n.replay_shown, 1);  // the replay page was already showing
  }

  void DeletesATickedClipToTheTrashUnlessNottrash() {
    for (int nottrash : {0, 1}) {
      Night n;
      n.app->ap.nottrash = nottrash;
      const QString trash = n.dir.path() + "/data/Trash/files";
      n.page->model()->setData(n.page->model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
      QString asked;
      AnswerNextBox(QMessageBox::Ok, &asked);
      n.Click("id1134");
      QCOMPARE(asked, QStringLiteral("DELETE A CKECKED 1 CLIP OK?"));
      QCOMPARE(n.closed, 1);
      QCOMPARE(n.Count(), QStringLiteral("2 clips"));
      QCOMPARE(n.page->clip_list().row(1).name, std::string(kClips[2]));
      for (const char* end : kEndings) {
        const std::string file = std::string(kClips[1]) + end;
        QVERIFY(!fs::exists(n.Day() / file));
        QCOMPARE(fs::exists(fs::path(trash.toStdString()) / file), nottrash == 0);
      }
      QVERIFY(fs::exists(n.Day() / (std::string(kClips[0]) + ".avi")));
    }
  }

  void DeleteWithNothingTickedSaysSoAndDeletesNothing() {
    Night n;
    std::vector<std::string> said;
    const orvanta::MessageHandler before =
        orvanta::SetMessageHandler({[&said](const std::string& text) {
                                      said.push_back(text);
                                      return 1;
                                    },
                                    nullptr});
    n.Click("id1134");
    orvanta::SetMessageHandler(before);
    QCOMPARE(said, std::vector<std::string>{"0 clip is checked. please set checks"});
    QCOMPARE(n.Count(), QStringLiteral("3 clips"));
    QCOMPARE(static_cast<int>(std::distance(fs::directory_iterator(n.Day()), {})), 12);
  }

  void NewClipsJoinTheListAndEveryControlIsNamed() {
    Night n;
    // The view is told of every row that comes and goes as Qt's models must.
    QAbstractItemModelTester tester(n.page->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    const std::string clip = (n.Day() / "M20240102_030000_JPTK01_C1.avi").string();
    std::ofstream(clip) << "clip";
    n.page->AddNewClip(clip);
    QCOMPARE(n.Count(), QStringLiteral("4 clips"));
    n.Click("id1364");  // "latest" opens the last row
    QCOMPARE(n.Selected(), 3);
    QCOMPARE(n.opened.back().second, std::string("M20240102_030000_JPTK01_C1"));
    n.Click("id1133");  // "Delete a clip": the last row goes, the one before opens
    QCOMPARE(n.Count(), QStringLiteral("3 clips"));
    QCOMPARE(n.Selected(), 2);
    QVERIFY(!fs::exists(clip));

    for (QWidget* w : n.page->findChildren<QWidget*>()) {
      if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLineEdit*>(w)) continue;
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), qPrintable(w->objectName()));
    }
  }
};

QTEST_MAIN(DbPageTest)
#include "db_page_test.moc"
