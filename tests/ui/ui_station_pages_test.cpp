// The operation and profile pages and the FTP and schedule dialogs in the main window under
// the offscreen platform: the wrapping schedule steps, the exclusive checks, the clamps,
// profiles read and saved through the page, the sun times against zavip-tool, the hidden
// FTP password, "Clear" against a real FTP server and a silent one, and a settings file
// written through the pages against the same changes made by zavip-tool.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

#include "app/messages.h"
#include "app/profiles.h"
#include "app/text_utf.h"
#include "schedule/detection_schedule.h"
#include "tests/ftp/ftp_test_server.h"
#include "ui/ftp_dialog.h"
#include "ui/main_window.h"
#include "ui/schedule_dialog.h"
#include "ui/up_down.h"

using orvanta::AppContext;
using orvanta::FieldText;
using orvanta::SetField;
using orvanta::capture::CaptureState;
using orvanta::ui::FtpDialog;
using orvanta::ui::MainWindow;
using orvanta::ui::OperationPage;
using orvanta::ui::ScheduleDialog;
using orvanta::ui::UpDown;
namespace fs = std::filesystem;

namespace {

const QString kTool = QStringLiteral(ORVANTA_TOOL_PATH);
constexpr int kOperationTab = 1;
constexpr int kProfileTab = 2;

QString RunTool(const QStringList& args, const QString& dir) {
  QProcess p;
  p.setWorkingDirectory(dir);
  p.start(kTool, args);
  if (!p.waitForFinished(30000) || p.exitCode() != 0)
    qFatal("zavip-tool %s failed: %s", qPrintable(args.join(' ')),
           p.readAllStandardError().constData());
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QByteArray Bytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(path));
  return f.readAll();
}

// The keys whose values differ between two settings files, to tell why their bytes differ.
void ShowDifferences(const QString& a, const QString& b) {
  if (Bytes(a) == Bytes(b)) return;
  const QStringList va = RunTool({"settings", "dump", a}, QDir::tempPath()).split(u'\n');
  const QStringList vb = RunTool({"settings", "dump", b}, QDir::tempPath()).split(u'\n');
  for (int i = 0; i < std::min(va.size(), vb.size()); ++i)
    if (va[i] != vb[i]) qWarning("%s | %s", qPrintable(va[i]), qPrintable(vb[i]));
}

// The main window over a settings file of its own, at the default window size, with the
// operation page showing.
struct Pages {
  QTemporaryDir dir;
  std::unique_ptr<AppContext> app = std::make_unique<AppContext>();
  CaptureState state;
  std::unique_ptr<MainWindow> window;

  // `settings`: the settings file to load; empty: one that zavip-tool makes with the
  // defaults, without the sun, at the smallest window a load puts back (989 x 625).
  explicit Pages(QString settings = QString()) {
    orvanta::SetDefaults(*app);
    app->state.startupDir = dir.path().toStdString();
    app->uty.SetStartupDir(app->state.startupDir);
    if (settings.isEmpty()) {
      settings = dir.filePath(QStringLiteral("Settings.zvi"));
      RunTool({"settings", "defaults", settings}, dir.path());
      RunTool({"settings", "set", settings, "AP.sunset=0", "AP.db_dir=" + dir.path(),
               "AP.dlgrect.left=20", "AP.dlgrect.top=100", "AP.dlgrect.right=1009",
               "AP.dlgrect.bottom=725"},
              dir.path());
    }
    app->state.settingsFileName = settings.toStdString();
    if (!orvanta::LoadSettings(*app)) qFatal("cannot load %s", qPrintable(settings));
    state.live_image.Resize(64, 36);
    window = std::make_unique<MainWindow>(*app, state);
    operation()->clock = [] { return orvanta::schedule::LocalTime{2024, 6, 21, 12, 0, 0}; };
    window->ShowAtSavedPlacement();
    Tab(kOperationTab);
  }
  OperationPage* operation() const { return window->operation_page(); }
  void Tab(int index) { window->left_sheet()->setCurrentIndex(index); }
  // Leaves the page and comes back: the page reloads from the settings.
  void ShowAgain(int index) {
    Tab(0);
    Tab(index);
  }
  template <typename T = QWidget>
  T* Find(const char* id, QWidget* in = nullptr) {
    // Ids are unique within a page, not across pages (1109 is on two).
    QWidget* root = in ? in : window->left_sheet()->currentWidget();
    T* w = dynamic_cast<T*>(root->findChild<QWidget*>(QString::fromLatin1(id)));
    if (!w) qFatal("no control %s", id);
    return w;
  }
  void Type(const char* id, const QString& text, QWidget* in = nullptr) {
    auto* e = Find<QLineEdit>(id, in);
    e->setFocus();
    e->clear();
    QTest::keyClicks(e, text);
  }
  void Click(const char* id, QWidget* in = nullptr) {
    QTest::mouseClick(Find<QAbstractButton>(id, in), Qt::LeftButton);
  }
  void Step(const char* id, int delta, QWidget* in = nullptr) {
    auto* ud = Find<UpDown>(id, in);
    (delta > 0 ? ud->up() : ud->down())->click();
  }
  int Int(const char* key) { return orvanta::ui::ReadInt(*app, orvanta::ui::Key(key)); }
  double Double(const char* key) { return orvanta::ui::Key(key).Double(*app); }
  std::u16string Text(const char* key) {
    const orvanta::SettingsKey& k = orvanta::ui::Key(key);
    return FieldText(k.Text(*app), k.units);
  }
  QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

// Answers the next file or folder chooser with `path`, or cancels it when `path` is empty.
void AnswerChooser(const QString& path) {
  QTimer::singleShot(0, [path] {
    auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!chooser) qFatal("no chooser up");
    if (path.isEmpty()) {
      chooser->reject();
      return;
    }
    chooser->selectFile(path);
    QMetaObject::invokeMethod(chooser, "accept");
  });
}

// Runs `inside` while the modal dialog that `open` opens is up, then closes it.
template <typename Dialog>
void WithDialog(const std::function<void()>& open, const std::function<void(Dialog*)>& inside) {
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* d = dynamic_cast<Dialog*>(QApplication::activeModalWidget());
    if (!d) qFatal("no dialog up");
    seen = true;
    inside(d);
    QTest::keyClick(d, Qt::Key_Return);  // closes, keeping every change
  });
  open();
  QVERIFY(seen);
}

void SetFtpAccount(Pages& p, int port, const QString& dir) {
  WithDialog<FtpDialog>([&] { p.Click("id1304"); },
                        [&](FtpDialog* d) {
                          p.Type("id1277", QStringLiteral("127.0.0.1"), d);
                          p.Type("id1278", dir, d);
                          p.Type("id1281", QString::number(port), d);
                          p.Type("id1279", QStringLiteral("station"), d);
                          p.Type("id1280", QStringLiteral("s3cret"), d);
                        });
}

std::set<std::string> NamesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

}  // namespace

class UiStationPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void ScheduleTimesWrapAroundAndFollowTheSun() {
    Pages p;
    p.app->ap.sd[0].h1 = 23;
    p.app->ap.sd[1].m2 = 0;
    p.ShowAgain(kOperationTab);
    p.Step("id1085", +1);
    QCOMPARE(p.app->ap.sd[0].h1, 0);
    QCOMPARE(p.Find<QLineEdit>("id1084")->text(), QStringLiteral("0"));
    p.Step("id1085", -1);
    QCOMPARE(p.app->ap.sd[0].h1, 23);
    p.Step("id1102", -1);
    QCOMPARE(p.app->ap.sd[1].m2, 59);
    p.Step("id1102", +1);
    QCOMPARE(p.app->ap.sd[1].m2, 0);
    p.Type("id1099", QStringLiteral("30"));  // typed hours stop at 23
    QCOMPARE(p.app->ap.sd[1].h2, 23);

    // With "Auto Adjust to Sun" the edges are the sun's and cannot be typed.
    p.app->ap.lng = 139.7, p.app->ap.lat = 35.7, p.app->state.tz_bias = -32400;
    p.app->ap.sd[0].o1 = -30;
    p.Click("id1322");
    QCOMPARE(p.app->ap.sunset, 1);
    QCOMPARE(p.app->ap.sd[0].h1, 3);  // sunrise 04:25 less 30 minutes on 21 June
    QCOMPARE(p.app->ap.sd[0].m1, 55);
    QCOMPARE(p.Find<QLineEdit>("id1086")->text(), QStringLiteral("55"));
    for (const char* id : {"id1084", "id1085", "id1090", "id1091", "id1095", "id1102"})
      QVERIFY2(!p.Find(id)->isEnabled(), id);
    p.Click("id1322");
    QVERIFY(p.Find("id1084")->isEnabled() && p.Find("id1085")->isEnabled());
  }

  void ExclusiveChecks() {
    Pages p;
    struct Case {
      const char *a, *b, *key_a, *key_b;
    } cases[] = {{"id1205", "id1207", "IF.im_snap", "IF.im_peak"},
                 {"id1110", "id1111", "AP.limit_stop", "AP.limit_delday"}};
    for (const Case& c : cases) {
      orvanta::ui::WriteInt(*p.app, orvanta::ui::Key(c.key_a), 0);
      orvanta::ui::WriteInt(*p.app, orvanta::ui::Key(c.key_b), 1);
      p.ShowAgain(kOperationTab);
      p.Click(c.a);
      QCOMPARE(p.Int(c.key_a), 1);
      QCOMPARE(p.Int(c.key_b), 0);
      QVERIFY(!p.Find<QCheckBox>(c.b)->isChecked());
      p.Click(c.b);
      QCOMPARE(p.Int(c.key_a), 0);
      QVERIFY(!p.Find<QCheckBox>(c.a)->isChecked());
      p.Click(c.b);  // both may be clear
      QCOMPARE(p.Int(c.key_a) + p.Int(c.key_b), 0);
    }
  }

  // Typed values are held to the settings ranges; the up-downs stop at the ends.
  void NumberEditsClamp() {
    Pages p;
    struct Case {
      const char *id, *key, *typed;
      int stored;
      const char* shown_after_leaving;  // null: the edit keeps what was typed
    } cases[] = {
        {"id1109", "AP.limit_MB", "-5", -5, "-5"},  // a negative limit never makes room
        {"id1109", "AP.limit_MB", "99999999999", 2147483647, "2147483647"},
        {"id1300", "AP.sj_cx", "99999", 4096, nullptr},
        {"id1302", "AP.sj_cy", "0", 1, nullptr},
        {"id1274", "AP.ftp_rc", "0", 1, nullptr},
        {"id1274", "AP.ftp_rc", "12x", 12, nullptr},
        {"id1086", "AP.sd[0].m1", "75", 59, "59"},
    };
    for (const Case& c : cases) {
      p.Type(c.id, QString::fromLatin1(c.typed));
      QCOMPARE(p.Int(c.key), c.stored);
      auto* edit = p.Find<QLineEdit>(c.id);
      emit edit->editingFinished();
      QCOMPARE(edit->text(),
               QString::fromLatin1(c.shown_after_leaving ? c.shown_after_leaving : c.typed));
    }
    p.Type("id1274", QStringLiteral("9999"));
    p.Step("id1275", +1);
    QCOMPARE(p.app->ap.ftp_rc, 9999);

    WithDialog<ScheduleDialog>([&] { p.Click("id1323"); },
                               [&](ScheduleDialog* d) {
                                 p.Type("id1329", QStringLiteral("2000"), d);
                                 QCOMPARE(p.app->ap.sd[0].o1, 1000);
                                 p.Step("id1330", +1, d);
                                 QCOMPARE(p.app->ap.sd[0].o1, 1000);
                                 p.Type("id1335", QStringLiteral("-1000"), d);
                                 p.Step("id1336", -1, d);
                                 QCOMPARE(p.app->ap.sd[1].o2, -1000);
                               });
    // Typing may give more than a day between uploads; the arrows stop at one.
    WithDialog<FtpDialog>([&] { p.Click("id1304"); },
                          [&](FtpDialog* d) {
                            p.Type("id1360", QStringLiteral("5000"), d);
                            QCOMPARE(p.app->ap.ftp_minmin, 5000);
                            p.Step("id1361", +1, d);
                            QCOMPARE(p.app->ap.ftp_minmin, 1440);
                            p.Type("id1281", QStringLiteral("70000"), d);
                            QCOMPARE(p.app->ap.ftp_port, 65535);
                          });
    // Closing a dialog keeps what was changed in it.
    QCOMPARE(p.app->ap.sd[1].o2, -1000);
    QCOMPARE(p.app->ap.ftp_minmin, 1440);
  }

  void ProfileTextsAndNumbers() {
    Pages p;
    p.Tab(kProfileTab);
    p.Type("id1262", QStringLiteral("Tokyo West 1"));
    // Spaces are stored as '_' and shown so at once; the text is cut to what loads back.
    QCOMPARE(p.Text("IF.lid"), u"Tokyo_West_");
    QCOMPARE(p.Find<QLineEdit>("id1262")->text(), QStringLiteral("Tokyo_West_1"));  // cut, no space
    p.Type("id1109", QStringLiteral("C12X"));
    QCOMPARE(p.Text("IF.cid"), u"C12");
    QCOMPARE(p.Find<QLineEdit>("id1109")->text(), QStringLiteral("C12X"));
    p.Type("id1261", QString(40, u'x'));
    QCOMPARE(p.Text("AP.oname").size(), size_t{29});
    p.Type("id1264", QStringLiteral("95"));
    QCOMPARE(p.Double("AP.lat"), 90.0);
    QCOMPARE(p.Find<QLineEdit>("id1264")->text(), QStringLiteral("95"));
    p.Type("id1263", QStringLiteral("-0.5"));
    QCOMPARE(p.Double("AP.lng"), -0.5);
    p.Type("id1265", QStringLiteral("high"));  // no number: the value stays
    QCOMPARE(p.Double("AP.alt"), 0.0);
    p.ShowAgain(kProfileTab);
    QCOMPARE(p.Find<QLineEdit>("id1264")->text(), QStringLiteral("90.0000"));
    QCOMPARE(p.Find<QLineEdit>("id1263")->text(), QStringLiteral("-0.5000"));
    QCOMPARE(p.Find<QLineEdit>("id1262")->text(), QStringLiteral("Tokyo_West_"));
  }

  // "Save Settings" and "Read Settings" through the page's own choosers; a schedule window's
  // profile is kept by name only; cancelling the cache folder turns the cache off.
  void ProfileSavedAndReadBackGivesTheSameBytes() {
    Pages p;
    const std::string settings_name = p.app->state.settingsFileName;
    p.Tab(kProfileTab);
    p.Type("id1261", QStringLiteral("Jane Doe"));
    p.Type("id1263", QStringLiteral("139.7"));
    p.Tab(kOperationTab);
    p.Click("id1082");
    p.Type("id1109", QStringLiteral("500"));
    AnswerChooser(p.Path("night.zvi"));
    p.Click("id1069");
    const QByteArray saved = Bytes(p.Path("night.zvi"));

    p.Type("id1109", QStringLiteral("7"));
    p.Click("id1082");
    p.Tab(kProfileTab);
    p.Type("id1261", QStringLiteral("Someone Else"));
    p.Tab(kOperationTab);
    AnswerChooser(p.Path("night.zvi"));
    p.Click("id1068");
    QCOMPARE(p.app->ap.limit_MB, 500);
    QCOMPARE(p.Find<QLineEdit>("id1109")->text(), QStringLiteral("500"));
    QVERIFY(p.Find<QCheckBox>("id1082")->isChecked());
    QCOMPARE(p.app->state.settingsFileName, settings_name);  // kept its name
    AnswerChooser(p.Path("again.zvi"));
    p.Click("id1069");
    ShowDifferences(p.Path("night.zvi"), p.Path("again.zvi"));
    QCOMPARE(Bytes(p.Path("again.zvi")), saved);
    p.Tab(kProfileTab);
    QCOMPARE(p.Find<QLineEdit>("id1261")->text(), QStringLiteral("Jane_Doe"));

    p.Tab(kOperationTab);
    AnswerChooser(p.Path("night.zvi"));
    p.Click("id1104");
    QCOMPARE(FieldText(p.app->ap.sd[1].zvi), u"night.zvi");
    QCOMPARE(p.Find<QLineEdit>("id1103")->text(), QStringLiteral("night.zvi"));
    AnswerChooser(p.dir.path());
    p.Click("id1120");
    QCOMPARE(QString::fromStdU16String(FieldText(p.app->ap.cache_dir)), p.dir.path());
    AnswerChooser(QString());
    p.Click("id1120");
    QCOMPARE(FieldText(p.app->ap.cache_dir), u"");
    QCOMPARE(p.Find<QLineEdit>("id1119")->text(), QString());
  }

  // The schedule dialog shows what zavip-tool sun says for the same site, date and offsets,
  // and recomputes as an offset is typed.
  void SunTimesMatchTheTool() {
    Pages p;
    p.app->ap.lng = 139.7, p.app->ap.lat = 35.7, p.app->state.tz_bias = -32400;
    const QStringList site = {"sun",       "--lng",  "139.7",  "--lat",     "35.7",
                              "--tz-bias", "-32400", "--date", "2024-06-21"};
    auto expect_tool = [&](ScheduleDialog* d) {
      QVERIFY(orvanta::SaveProfile(*p.app, p.Path("sun.zvi").toStdString()));
      const QString tool =
          RunTool(site + QStringList{"--settings", p.Path("sun.zvi")}, p.dir.path());
      static const QRegularExpression clock(QStringLiteral("\\d\\d:\\d\\d"));
      QStringList shown;
      for (const char* id : {"id1325", "id1326", "id1327"}) {
        auto it = clock.globalMatch(p.Find<QLabel>(id, d)->text());
        while (it.hasNext()) shown << it.next().captured();
      }
      QStringList told;
      for (auto it = clock.globalMatch(tool); it.hasNext();) told << it.next().captured();
      QCOMPARE(shown, told);
    };
    WithDialog<ScheduleDialog>(
        [&] { p.Click("id1323"); },
        [&](ScheduleDialog* d) {
          QCOMPARE(p.Find<QLabel>("id1324", d)->text(),
                   QStringLiteral("Longitude : 139.7000, Latitude : 35.7000"));
          QVERIFY(
              p.Find<QLabel>("id1325", d)
                  ->text()
                  .contains(QStringLiteral("Month 06  Day 21 (LT)  Sunrise 04:25  Sunset 19:00")));
          expect_tool(d);
          p.Type("id1329", QStringLiteral("-30"), d);
          QVERIFY(p.Find<QLabel>("id1326", d)
                      ->text()
                      .startsWith(QStringLiteral("Schedule1 (Day)         03:55     to    ")));
          p.Type("id1335", QStringLiteral("45"), d);
          expect_tool(d);
        });
    // The dialog only shows: the window edges change when the page applies the sun.
    QCOMPARE(p.app->ap.sunset, 0);
  }

  // What follows a window's end, and "test" moving the clips now, saying why it cannot.
  void ScheduleDialogSwitchesAndMoveTest() {
    Pages p;
    std::vector<std::string> reports;
    const orvanta::MessageHandler before =
        orvanta::SetMessageHandler({[&](const std::string& text) {
                                      reports.push_back(text);
                                      return 1;
                                    },
                                    nullptr});
    const QString clips = p.Path("clips"), second = p.Path("second");
    QDir().mkpath(clips);
    QDir().mkpath(second);
    QFile(clips + QStringLiteral("/M20240621_203000_JP.avi")).open(QIODevice::WriteOnly);
    p.app->ap.db_ymddir = 0;
    SetField(p.app->ap.db_dir, clips.toStdU16String());
    int rereads = 0;
    p.operation()->reread_clip_list = [&] { ++rereads; };
    WithDialog<ScheduleDialog>(
        [&] { p.Click("id1323"); },
        [&](ScheduleDialog* d) {
          for (const char* id : {"id1353", "id1355", "id1354"}) p.Click(id, d);
          AnswerChooser(QString());  // cancelled: nothing changes
          p.Click("id1191", d);
          QCOMPARE(p.Find<QLineEdit>("id1368", d)->text(), QString());
          p.Click("id1283", d);
          QCOMPARE(reports, std::vector<std::string>{"movecliptest: db2 is not exist:"});
          AnswerChooser(second);
          p.Click("id1191", d);
          QCOMPARE(p.Find<QLineEdit>("id1368", d)->text(), second);
          p.Click("id1283", d);
        });
    orvanta::SetMessageHandler(before);
    QCOMPARE(p.app->ap.startreplay + p.app->ap.moveclips + p.app->ap.shutdown, 3);
    QVERIFY(QFile::exists(second + QStringLiteral("/M20240621_203000_JP.avi")));
    QVERIFY(!QFile::exists(clips + QStringLiteral("/M20240621_203000_JP.avi")));
    QCOMPARE(rereads, 1);
    QCOMPARE(reports.size(), size_t{1});
  }

  void FtpPasswordIsNeverShownInClear() {
    Pages p;
    FtpDialog* shown = nullptr;
    WithDialog<FtpDialog>(
        [&] { p.Click("id1304"); },
        [&](FtpDialog* d) {
          shown = d;
          p.Type("id1280", QStringLiteral("s3cret"), d);
          auto* pw = p.Find<QLineEdit>("id1280", d);
          QCOMPARE(pw->echoMode(), QLineEdit::Password);
          QVERIFY(!pw->displayText().contains(QStringLiteral("s3cret")));
          QAccessibleInterface* a = QAccessible::queryAccessibleInterface(pw);
          QVERIFY(a);
          QVERIFY(!a->text(QAccessible::Value).contains(QStringLiteral("s3cret")));
          QVERIFY(!a->text(QAccessible::Name).contains(QStringLiteral("s3cret")));
          QCOMPARE(a->text(QAccessible::Name), QStringLiteral("PassWord"));
        });
    QVERIFY(shown);
    QCOMPARE(FieldText(p.app->ap.ftp_pw), u"s3cret");  // plain in memory only
    QVERIFY(orvanta::SaveProfile(*p.app, p.Path("account.zvi").toStdString()));
    const QByteArray file = Bytes(p.Path("account.zvi"));
    QVERIFY(!file.contains("s3cret"));
    const std::u16string wide = u"s3cret";
    QVERIFY(!file.contains(
        QByteArray(reinterpret_cast<const char*>(wide.data()), static_cast<int>(wide.size() * 2))));
    // and it reads back.
    Pages back(p.Path("account.zvi"));
    QCOMPARE(FieldText(back.app->ap.ftp_pw), u"s3cret");
  }

  void ClearDeletesOnlyTheStationsImages() {
    const std::string root = orvanta::ftp::testing::MakeTempDir("ui-ftp");
    fs::create_directory(fs::path(root) / "pub");
    for (const char* name : {"zav1.jpg", "zavs2.jpg", "zavT2107.jpg", "keep.jpg", "my-zav.jpg"})
      std::ofstream(fs::path(root) / "pub" / name) << name;
    orvanta::ftp::testing::FtpTestServer server;
    std::string error;
    QVERIFY2(server.Start(root, &error), error.c_str());
    Pages p;
    SetFtpAccount(p, server.port(), QStringLiteral("pub"));
    p.app->ap.ftp_cn = 6;
    p.Click("id1345");
    QTRY_VERIFY_WITH_TIMEOUT(!p.operation()->clearing(), 35000);
    QCOMPARE(p.Find<QLabel>("ftp_clear_result")->text(), QStringLiteral("cleared"));
    QCOMPARE(NamesIn(fs::path(root) / "pub"), (std::set<std::string>{"keep.jpg", "my-zav.jpg"}));
    QCOMPARE(p.app->ap.ftp_cn, 1);
    fs::remove_all(root);
  }

  // A server that never answers: the window keeps handling events, and the failure shows
  // once the time-outs run out.
  void ClearAgainstASilentServerKeepsTheWindowAnswering() {
    orvanta::ftp::testing::SilentListener silent;
    QVERIFY(silent.port() > 0);
    Pages p;
    SetFtpAccount(p, silent.port(), QStringLiteral("pub"));
    p.operation()->ftp_timeouts.connect_ms = 1000;
    p.operation()->ftp_timeouts.response_ms = 2000;
    p.operation()->ftp_timeouts.total_ms = 3000;
    std::string status = "unset";
    p.operation()->ftp_status = [&](const std::string& s) { status = s; };
    p.app->ap.ftp_cn = 6;
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(50);
    QElapsedTimer clock;
    clock.start();
    p.Click("id1345");
    QVERIFY(p.operation()->clearing());
    QVERIFY(!p.Find("id1345")->isEnabled());
    QCOMPARE(p.Find<QLabel>("ftp_clear_result")->text(), QStringLiteral("clearing..."));
    QTRY_VERIFY_WITH_TIMEOUT(!p.operation()->clearing(), 10000);
    const qint64 took = clock.elapsed();
    QVERIFY2(took < 5000, qPrintable(QString::number(took)));
    QVERIFY2(ticks >= took / 50 / 2, qPrintable(QString::number(ticks)));  // never frozen
    QVERIFY(p.Find<QLabel>("ftp_clear_result")->text().startsWith(QStringLiteral("-FTP:")));
    QCOMPARE(status.rfind("-FTP:", 0), 0u);
    QCOMPARE(p.app->ap.ftp_cn, 6);  // nothing deleted: the rotation keeps its place
    QVERIFY(p.Find("id1345")->isEnabled());
  }

  // A settings file changed only through the pages and dialogs is the file zavip-tool writes
  // for the same changes.
  void PagesWriteWhatTheToolWrites() {
    QTemporaryDir dir;
    RunTool({"settings", "defaults", "S.zvi"}, dir.path());
    RunTool({"settings", "set", "S.zvi", "AP.sunset=0"}, dir.path());
    QFile::copy(dir.filePath("S.zvi"), dir.filePath("T.zvi"));
    RunTool({"settings",
             "set",
             "T.zvi",
             "AP.md_autorun=1",
             "IF.im_snap=0",
             "IF.im_peak=1",
             "AP.sj_cx=320",
             "AP.sd[1].on=1",
             "AP.sd[1].h1=0",
             "AP.limit_MB=-5",
             "AP.limit_stop=1",
             "AP.limit_delday=0",
             "AP.snd=/usr/share/sounds/alarm.wav",
             "AP.ftp_rc=12",
             "AP.ftp_server=ftp.example.org",
             "AP.ftp_pw=pa ss",
             "AP.ftp_minmin=30",
             "AP.sd[0].o1=-30",
             "AP.moveclips=1",
             "AP.oname=Jane_Doe",
             "IF.lid=Kiso",
             "AP.lng=137.625",
             "AP.lat=35.797",
             "AP.alt=1130.5"},
            dir.path());

    Pages p(dir.filePath("S.zvi"));
    p.app->state.startupDir = dir.path().toStdString();
    p.app->uty.SetStartupDir(p.app->state.startupDir);
    p.ShowAgain(kOperationTab);
    if (!p.Find<QCheckBox>("id1082")->isChecked()) p.Click("id1082");
    if (!p.Find<QCheckBox>("id1207")->isChecked()) p.Click("id1207");
    p.Type("id1300", QStringLiteral("320"));
    p.Click("id1094");
    p.app->ap.sd[1].h1 = 23;  // one step up from 23
    p.ShowAgain(kOperationTab);
    p.Step("id1096", +1);
    p.Type("id1109", QStringLiteral("-5"));
    p.Click("id1111");
    p.Click("id1110");
    p.Type("id1114", QStringLiteral("/usr/share/sounds/alarm.wav"));
    p.Type("id1274", QStringLiteral("12"));
    WithDialog<FtpDialog>([&] { p.Click("id1304"); },
                          [&](FtpDialog* d) {
                            p.Type("id1277", QStringLiteral("ftp.example.org"), d);
                            p.Type("id1280", QStringLiteral("pa ss"), d);
                            p.Type("id1360", QStringLiteral("30"), d);
                          });
    WithDialog<ScheduleDialog>([&] { p.Click("id1323"); },
                               [&](ScheduleDialog* d) {
                                 p.Type("id1329", QStringLiteral("-30"), d);
                                 p.Click("id1355", d);
                               });
    p.Tab(kProfileTab);
    p.Type("id1261", QStringLiteral("Jane Doe"));
    p.Type("id1262", QStringLiteral("Kiso"));
    p.Type("id1263", QStringLiteral("137.625"));
    p.Type("id1264", QStringLiteral("35.797"));
    p.Type("id1265", QStringLiteral("1130.5"));
    QVERIFY(orvanta::SaveSettings(*p.app));
    ShowDifferences(dir.filePath("S.zvi"), dir.filePath("T.zvi"));
    QCOMPARE(Bytes(dir.filePath("S.zvi")), Bytes(dir.filePath("T.zvi")));
    qInfo("through the pages and through zavip-tool settings set: %lld bytes each, identical",
          static_cast<long long>(Bytes(dir.filePath("S.zvi")).size()));
  }

  // Screen readers and checks from outside find every control by its caption.
  void EveryControlIsNamed() {
    Pages p;
    auto check = [](QWidget* root) {
      for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QAbstractButton*>(w)) continue;
        if (qobject_cast<QAbstractButton*>(w) && w->parentWidget() &&
            dynamic_cast<UpDown*>(w->parentWidget()))
          continue;  // named by the up-down
        if (w->objectName().startsWith(QStringLiteral("qt_"))) continue;
        QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
      }
    };
    check(p.operation());
    check(p.window->profile_page());
    WithDialog<FtpDialog>([&] { p.Click("id1304"); }, [&](FtpDialog* d) { check(d); });
    WithDialog<ScheduleDialog>([&] { p.Click("id1323"); }, [&](ScheduleDialog* d) { check(d); });
  }

  // With ORVANTA_SHOTS_DIR set (run under Xvfb): the window at its default size on each
  // page and with each dialog open, as the X screen shows them.
  void Screenshots() {
    const QString out = qEnvironmentVariable("ORVANTA_SHOTS_DIR");
    if (out.isEmpty()) QSKIP("ORVANTA_SHOTS_DIR not set");
    Pages p;
    p.app->ap.lng = 139.7, p.app->ap.lat = 35.7, p.app->state.tz_bias = -32400;
    auto shoot = [&](const char* name) {
      QTest::qWait(400);
      QApplication::primaryScreen()->grabWindow(0).save(out + u'/' + QLatin1String(name));
    };
    p.ShowAgain(kOperationTab);
    shoot("operation_page.png");
    p.Tab(kProfileTab);
    shoot("profile_page.png");
    p.Tab(kOperationTab);
    WithDialog<FtpDialog>([&] { p.Click("id1304"); },
                          [&](FtpDialog* d) {
                            p.Type("id1277", QStringLiteral("ftp.example.org"), d);
                            p.Type("id1280", QStringLiteral("s3cret"), d);
                            shoot("ftp_dialog.png");
                          });
    WithDialog<ScheduleDialog>([&] { p.Click("id1323"); },
                               [&](ScheduleDialog*) { shoot("schedule_dialog.png"); });
  }
};

QTEST_MAIN(UiStationPagesTest)
#include "ui_station_pages_test.moc"
