// The input page and the source settings dialog under a real platform plugin (offscreen in
// ctest): what typed values become, the control states while a graph runs and while idle,
// and the dialog's private copies that only OK stores, with the camera's password never
// shown and kept scrambled in the settings file. The capture devices are the test cameras.
//
// With ORVANTA_SHOTS set to a folder, the page and the dialog in each source kind are also
// written there as PNG pictures.
#include <gst/gst.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/scramble.h"
#include "app/settings_keys.h"
#include "app/settings_ranges.h"
#include "app/text_utf.h"
#include "capture/live_controller.h"
#include "detectfilter/shared_field.h"
#include "tests/capture/fake_camera.h"
#include "ui/input_page.h"
#include "ui/source_dialog.h"
#include "ui/up_down.h"

using orvanta::AppContext;
using orvanta::FieldUtf8;
using orvanta::capture::CaptureState;
using orvanta::capture::LiveController;
using orvanta::capture::LivePageHooks;
using orvanta::ui::InputPage;
using orvanta::ui::SourceDialog;

namespace {

template <typename T = QWidget>
T* Find(QWidget* in, const char* id) {
  T* w = in->findChild<T*>(QString::fromLatin1(id));
  if (!w) qFatal("no control %s", id);
  return w;
}

// Replaces the edit's text as the user types it.
void Type(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

// The page with a controller whose actions reach it as the window's do.
struct Page {
  std::unique_ptr<AppContext> app = std::make_unique<AppContext>();
  CaptureState state;
  std::unique_ptr<InputPage> page;
  std::unique_ptr<LiveController> controller;

  Page() {
    orvanta::SetDefaults(*app);
    app->ib.cx = 1920;
    app->ib.cy = 1080;
    page = std::make_unique<InputPage>(*app, state);
    LivePageHooks hooks;
    page->FillHooks(hooks);
    controller = std::make_unique<LiveController>(app->ib, hooks);
    page->SetController(controller.get());
    page->resize(page->RightEdge(), 900);
    page->show();
  }
  QLineEdit* Edit(const char* id) { return Find<QLineEdit>(page.get(), id); }
};

// Answers the next modal box or file dialog once it is up.
void AnswerNext(std::function<void(QWidget*)> answer) {
  QTimer::singleShot(0, [answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) answer(modal);
  });
}

std::string FileBytes(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Picks an entry of a list as the user does.
void Choose(QComboBox* list, const char* entry) {
  const int at = list->findText(QString::fromLatin1(entry));
  if (at < 0) qFatal("no entry %s", entry);
  list->setCurrentIndex(at);
  emit list->activated(at);
}

void Shot(QWidget* w, const char* name) {
  const QByteArray dir = qgetenv("ORVANTA_SHOTS");
  if (dir.isEmpty()) return;
  QApplication::processEvents();
  w->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name));
}

}  // namespace

class UiInputPageTest : public QObject {
  Q_OBJECT

 private slots:
  void TypedNumbersAreSteppedAndHeldToTheSettingsRanges() {
    Page p;
    struct Case {
      const char* id;
      const char* typed;
      int32_t* field;
      int stored;
    } cases[] = {
        {"id1186", "37", &p.app->ib.cx, 32},  // truncated to a multiple of 16
        {"id1186", "1923", &p.app->ib.cx, 1920},
        {"id1186", "99999", &p.app->ib.cx, 4096},
        {"id1186", "5", &p.app->ib.cx, 16},       // the least frame side
        {"id1187", "1083", &p.app->ib.cy, 1080},  // a multiple of 4
        {"id1187", "abc", &p.app->ib.cy, 1080},   // no number: unchanged
        {"id1014", "-5", &p.app->ib.fs_tail, 0},
        {"id1038", "5000", &p.app->ib.nt_ratio, 1000},
        {"id1241", "9", &p.app->ap.smspeed, 6},
        {"id1348", "-99999999999", &p.app->ib.si_offset, -86400000},
    };
    for (const Case& c : cases) {
      Type(p.Edit(c.id), QString::fromLatin1(c.typed));
      QVERIFY2(*c.field == c.stored, c.id);
    }
    // Leaving an edit shows what it stored.
    QLineEdit* tail = p.Edit("id1014");
    Type(tail, QStringLiteral("12x"));
    emit tail->editingFinished();
    QCOMPARE(tail->text(), QStringLiteral("12"));
    // Every number edit takes only what the settings file takes back.
    struct Limit {
      const char* id;
      const char* key;
    } limits[] = {{"id1012", "IF.fs_head"},  {"id1016", "IF.fs_diff"},  {"id1053", "IF.dmin"},
                  {"id1057", "IF.dmaxsec"},  {"id1055", "IF.dminsize"}, {"id1255", "IF.nt_min"},
                  {"id1040", "IF.nt_delta"}, {"id1044", "IF.sm_level"}, {"id1046", "IF.sm_size"},
                  {"id1243", "IF.bolevel"},  {"id1049", "IF.so_vel"},   {"id1051", "IF.so_size"}};
    for (const Limit& l : limits) {
      const orvanta::SettingsKey& key = *orvanta::FindSettingsKey(l.key);
      Type(p.Edit(l.id), QStringLiteral("-9999999"));
      QVERIFY2(key.Int(*p.app) == orvanta::RangeOf(key)->min, l.key);
    }
  }

  void DependentFieldsFollowTheirRules() {
    Page p;
    // Head, Diff and Min(frm) together stay inside the ring of clip frames.
    Type(p.Edit("id1016"), QStringLiteral("5"));
    Type(p.Edit("id1053"), QStringLiteral("10"));
    Type(p.Edit("id1012"), QStringLiteral("480"));
    QCOMPARE(p.app->ib.fs_head, 469);
    QCOMPARE(p.Edit("id1012")->text(), QStringLiteral("469"));
    Type(p.Edit("id1053"), QStringLiteral("20"));
    QCOMPARE(p.app->ib.fs_head, 459);
    // Y-Pos keeps the text inside the picture: 1080 rows, font "l" of 24 rows.
    QTest::mouseClick(Find(p.page.get(), "id1204"), Qt::LeftButton);
    QCOMPARE(p.app->ap.si_fontsize, 2);
    Type(p.Edit("id1026"), QStringLiteral("2000"));
    QCOMPARE(p.app->ib.si_y0, 1054);
    QCOMPARE(p.Edit("id1026")->text(), QStringLiteral("1054"));
    // The scintillation speed sets the averaging weights.
    Type(p.Edit("id1241"), QStringLiteral("3"));
    QCOMPARE(p.app->ib.avr_keep, 509);
    QCOMPARE(p.app->ib.avr_take, 49152);
    // The white and the black star mask exclude each other.
    auto* smw = Find<QCheckBox>(p.page.get(), "id1070");
    auto* smb = Find<QCheckBox>(p.page.get(), "id1071");
    if (!smb->isChecked()) smb->click();
    smw->click();
    QCOMPARE(p.app->ib.si_maskw, 1);
    QCOMPARE(p.app->ib.si_maskb, 0);
    QVERIFY(!smb->isChecked());
    // The interval's up-down reaches 0, which the edit raises to 1.
    Find<QCheckBox>(p.page.get(), "id1295")->click();
    QVERIFY(p.Edit("id1210")->isEnabled());
    Type(p.Edit("id1210"), QStringLiteral("1"));
    Find<orvanta::ui::UpDown>(p.page.get(), "id1211")->down()->click();
    QCOMPARE(p.app->ap.ttrig, 1);
    QCOMPARE(p.Edit("id1210")->text(), QStringLiteral("1"));
    // Fps: a floating number, shown with three decimals once left.
    QLineEdit* fps = p.Edit("id1190");
    Type(fps, QStringLiteral("29.97"));
    emit fps->editingFinished();
    QCOMPARE(p.app->ib.fps, 29.97);
    QCOMPARE(fps->text(), QStringLiteral("29.970"));
    Type(fps, QStringLiteral("junk"));
    QCOMPARE(p.app->ib.fps, 29.97);
    // ChangeDate: the date and time of day, read and shown with their zeros.
    QLineEdit* date = p.Edit("id1029");
    Type(date, QStringLiteral("20240812_3005"));
    emit date->editingFinished();
    QCOMPARE(p.app->ap.si_yyyymmdd, 20240812);
    QCOMPARE(p.app->ap.si_hhmmss, 3005);
    QCOMPARE(date->text(), QStringLiteral("20240812_003005"));
    // A new frame size gives the pages a grey picture of that size.
    Type(p.Edit("id1186"), QStringLiteral("640"));
    QCOMPARE(p.state.work_image.width, 640);
    QCOMPARE(p.state.live_image.height, 1080);
    QCOMPARE(int(p.state.live_image.bgr[0]), 128);
  }

  void ControlsFollowIdleAndCapturing() {
    Page p;
    p.app->ap.interlace = 0;
    p.page->LoadControls();
    const char* graph_shaping[] = {"id1283", "id1004", "id1186", "id1187", "id1190",
                                   "id1073", "id1074", "id1028", "id1029", "id1198",
                                   "id1012", "id1013", "id1014", "id1015", "id1016",
                                   "id1017", "id1352", "id1356", "id1002"};
    const char* capture_inputs[] = {"id1006", "id1008", "id1011"};
    auto enabled = [&](const char* id) { return Find(p.page.get(), id)->isEnabled(); };
    for (const char* id : graph_shaping) QVERIFY2(enabled(id), id);
    for (const char* id : capture_inputs) QVERIFY2(!enabled(id), id);
    QVERIFY(!enabled("id1351"));  // the field order only for interlaced video
    QVERIFY(enabled("id1038"));
    p.controller->Detect();
    for (const char* id : graph_shaping) QVERIFY2(!enabled(id), id);
    for (const char* id : capture_inputs) QVERIFY2(enabled(id), id);
    QVERIFY(!enabled("id1351"));
    // Detection parameters stay open while detecting; without an audio source its input
    // list stays closed.
    QVERIFY(enabled("id1038"));
    QVERIFY(enabled("id1182"));
    QVERIFY(!enabled("id1007"));
    p.controller->Stop();
    for (const char* id : graph_shaping) QVERIFY2(enabled(id), id);
    for (const char* id : capture_inputs) QVERIFY2(!enabled(id), id);
    Find<QCheckBox>(p.page.get(), "id1352")->click();
    QVERIFY(enabled("id1351"));
    // Showing the page again while capturing takes the state from the controller.
    p.controller->Preview();
    p.page->hide();
    p.page->show();
    QVERIFY(!enabled("id1186"));
    p.controller->Stop();
    Shot(p.page.get(), "input-page.png");
  }

  // Another page or the schedule may change a setting: showing the page loads it again,
  // but not while the main window only lays its sheets out.
  void ShowingReloadsUnlessTheWindowLaysOut() {
    Page p;
    bool laying_out = true;
    p.page->resizing = [&laying_out] { return laying_out; };
    p.app->ib.fs_tail = 77;
    p.page->hide();
    p.page->show();
    QCOMPARE(p.Edit("id1014")->text(), QStringLiteral("20"));
    laying_out = false;
    p.page->hide();
    p.page->show();
    QCOMPARE(p.Edit("id1014")->text(), QStringLiteral("77"));
  }

  void ControlsCarryTheirCaptions() {
    Page p;
    for (QWidget* w : p.page->findChildren<QWidget*>()) {
      if (!w->objectName().startsWith(QLatin1String("id"))) continue;
      QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    QCOMPARE(p.Edit("id1012")->accessibleName(), QStringLiteral("Head"));
  }

  void CancelChangesNoSettingAndOkStoresEveryCopy() {
    QTemporaryDir dir;
    Page p;
    p.app->state.startupDir = dir.path().toStdString();
    p.app->state.settingsFileName = (dir.path() + QStringLiteral("/S.zvi")).toStdString();
    p.app->ib.filterinmode = 1;
    p.app->ib.rtspinmode = 0;
    orvanta::SetField(p.app->ap.infname, u"/data/sky.avi");
    orvanta::SetField(p.app->ap.installdate, u" 20240812_233003");  // made by the first load
    QVERIFY(orvanta::SaveSettings(*p.app));
    const std::string before = FileBytes(dir.path() + QStringLiteral("/S.zvi"));

    auto edit_everything = [](SourceDialog& d) {
      QTest::mouseClick(Find(&d, "id1379"), Qt::LeftButton);  // RTSP
      Choose(Find<QComboBox>(&d, "id1372"), "rtspsrc");
      Type(Find<QLineEdit>(&d, "id1374"), QStringLiteral("observer"));
      Type(Find<QLineEdit>(&d, "id1376"), QStringLiteral("s3cret:@pw"));
      Type(Find<QLineEdit>(&d, "id1375"), QStringLiteral("127.0.0.1:8554/sky"));
      Choose(Find<QComboBox>(&d, "id1384"), "= Video_source");
    };
    {
      SourceDialog d(*p.app);
      d.show();
      edit_everything(d);
      QCOMPARE(Find<QLabel>(&d, "input_name")->text(), QStringLiteral("127.0.0.1:8554/sky"));
      QTest::mouseClick(Find(&d, "id2"), Qt::LeftButton);
      QCOMPARE(d.result(), int(QDialog::Rejected));
    }
    QVERIFY(orvanta::SaveSettings(*p.app));
    QCOMPARE(FileBytes(dir.path() + QStringLiteral("/S.zvi")), before);

    {
      SourceDialog d(*p.app);
      d.show();
      edit_everything(d);
      // The password is never shown, typed or stored.
      QCOMPARE(Find<QLineEdit>(&d, "id1376")->echoMode(), QLineEdit::Password);
      Shot(&d, "source-rtsp.png");
      QTest::mouseClick(Find(&d, "id1"), Qt::LeftButton);
      QCOMPARE(d.result(), int(QDialog::Accepted));
    }
    QCOMPARE(p.app->ib.rtspinmode, 1);
    QCOMPARE(FieldUtf8(p.app->ap.rtsp_uname), std::string("observer"));
    QCOMPARE(FieldUtf8(p.app->ap.dv_audio_device), std::string("= Video_source"));
    QCOMPARE(FieldUtf8(p.app->ap.dv_v_s_filter), std::string("rtspsrc"));
    // The source is named by its address, never with the account.
    QCOMPARE(FieldUtf8(p.app->ap.inputname), std::string("127.0.0.1:8554/sky"));
    QVERIFY(orvanta::SaveSettings(*p.app));
    const std::string after = FileBytes(dir.path() + QStringLiteral("/S.zvi"));
    const std::u16string pw = u"s3cret:@pw";
    const std::string utf16(reinterpret_cast<const char*>(pw.data()), pw.size() * 2);
    QVERIFY(after.find("s3cret") == std::string::npos);
    QVERIFY(after.find(utf16) == std::string::npos);
    const std::string symbols =
        orvanta::ScrambleText(orvanta::FieldText(p.app->ap.installdate), pw);
    QVERIFY(after.find(symbols) != std::string::npos);
    // Read back from the file, the password is the one typed; reopened it shows masked.
    auto again = std::make_unique<AppContext>();
    orvanta::SetDefaults(*again);
    again->state.startupDir = p.app->state.startupDir;
    again->state.settingsFileName = p.app->state.settingsFileName;
    QVERIFY(orvanta::LoadSettings(*again));
    QCOMPARE(FieldUtf8(again->ap.rtsp_pword), std::string("s3cret:@pw"));
    SourceDialog reopened(*again);
    QCOMPARE(Find<QLineEdit>(&reopened, "id1376")->echoMode(), QLineEdit::Password);
    QCOMPARE(Find<QLineEdit>(&reopened, "id1376")->text(), QStringLiteral("s3cret:@pw"));
  }

  void ModesListsAndTheFilePicker() {
    QTemporaryDir dir;
    Page p;
    p.app->ib.filterinmode = 1;
    SourceDialog d(*p.app);
    d.show();
    // The test cameras, numbered; choosing one switches to DEVICE.
    auto* cameras = Find<QComboBox>(&d, "id1377");
    QVERIFY(cameras->count() >= 2);
    QCOMPARE(cameras->itemText(1), QStringLiteral("2:Orvanta Test Camera"));
    QVERIFY(!cameras->isEnabled());
    QVERIFY(Find(&d, "id1372")->isEnabled());
    QTest::mouseClick(Find(&d, "id1380"), Qt::LeftButton);  // FILE
    QVERIFY(Find(&d, "id1383")->isEnabled());
    QVERIFY(!Find(&d, "id1376")->isEnabled());
    QTest::mouseClick(Find(&d, "id1381"), Qt::LeftButton);  // FILTER keeps FILE
    Shot(&d, "source-filter.png");
    QTest::mouseClick(Find(&d, "id1382"), Qt::LeftButton);  // DEVICE
    QVERIFY(cameras->isEnabled());
    QVERIFY(!Find(&d, "id1383")->isEnabled());
    QVERIFY(!Find(&d, "id1365")->isEnabled());
    QVERIFY(Find<QRadioButton>(&d, "id1380")->isChecked());  // kept for FILTER
    QTest::mouseClick(Find(&d, "id1381"), Qt::LeftButton);
    auto* microphones = Find<QComboBox>(&d, "id1384");
    QCOMPARE(microphones->itemText(0), QStringLiteral("--"));
    QCOMPARE(microphones->itemText(1), QStringLiteral("= Video_source"));
    Choose(cameras, "2:Orvanta Test Camera");
    QVERIFY(Find<QRadioButton>(&d, "id1382")->isChecked());
    QCOMPARE(Find<QLabel>(&d, "input_name")->text(), QStringLiteral("2:Orvanta Test Camera"));
    Shot(&d, "source-device.png");

    // The continuous mode asks first; anything but OK leaves it off.
    QTest::mouseClick(Find(&d, "id1380"), Qt::LeftButton);
    auto* continuous = Find<QCheckBox>(&d, "id1365");
    AnswerNext([](QWidget* box) {
      qobject_cast<QMessageBox*>(box)->button(QMessageBox::Cancel)->click();
    });
    continuous->click();
    QVERIFY(!continuous->isChecked());
    QVERIFY(!d.choice().continuous);
    AnswerNext([](QWidget* box) {
      auto* ask = qobject_cast<QMessageBox*>(box);
      QCOMPARE(ask->text(), QStringLiteral("This is a test feature OK?"));
      ask->button(QMessageBox::Ok)->click();
    });
    continuous->click();
    QVERIFY(continuous->isChecked());
    QVERIFY(d.choice().continuous);

    // "..." puts the chosen video into the field.
    const QString video = dir.path() + QStringLiteral("/meteors.avi");
    QFile(video).open(QIODevice::WriteOnly);
    AnswerNext([video](QWidget* w) {
      auto* picker = qobject_cast<QFileDialog*>(w);
      QCOMPARE(picker->windowTitle(), QStringLiteral("Video Source File"));
      picker->selectFile(video);
      static_cast<QDialog*>(picker)->accept();
    });
    QTest::mouseClick(Find(&d, "id1191"), Qt::LeftButton);
    QCOMPARE(Find<QLineEdit>(&d, "id1383")->text(), video);
    Choose(Find<QComboBox>(&d, "id1372"), "filesrc");
    Shot(&d, "source-file.png");
    QTest::mouseClick(Find(&d, "id1"), Qt::LeftButton);
    QCOMPARE(FieldUtf8(p.app->ap.infname), video.toStdString());
    QCOMPARE(FieldUtf8(p.app->ap.inputname), video.toStdString());
    QCOMPARE(p.app->ib.continuousdetection, 1);
    QCOMPARE(p.app->ib.rtspinmode, 0);
  }

  void SourceSettingsButtonShowsTheNewSource() {
    Page p;
    p.app->ib.filterinmode = 0;
    AnswerNext([](QWidget* w) {
      auto* d = dynamic_cast<SourceDialog*>(w);
      QTest::mouseClick(Find(d, "id1379"), Qt::LeftButton);
      Type(Find<QLineEdit>(d, "id1375"), QStringLiteral("cam.local:554/live"));
      QTest::mouseClick(Find(d, "id1"), Qt::LeftButton);
    });
    QTest::mouseClick(Find(p.page.get(), "id1283"), Qt::LeftButton);
    QCOMPARE(p.Edit("id1384")->text(), QStringLiteral("cam.local:554/live"));
  }
};

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  orvanta::test::RegisterFakeCameras();
  QApplication app(argc, argv);
  UiInputPageTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ui_input_page_test.moc"
