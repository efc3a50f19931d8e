// The main window and the live page under the offscreen platform: the page's actions
// through its buttons and from other callers, its value controls, the close path and the
// window's placement.
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <thread>
#include <vector>

#include "capture/live_commands.h"
#include "detectfilter/shared_field.h"
#include "schedule/detection_schedule.h"
#include "ui/main_window.h"
#include "ui/message_boxes.h"

using orvanta::AppContext;
using orvanta::capture::CaptureState;
using orvanta::capture::LiveController;
using orvanta::capture::LivePageHooks;
using orvanta::ui::MainWindow;
namespace cmd = orvanta::capture;

namespace {

// A window whose live page drives a controller that records what it posts.
struct Station {
  std::unique_ptr<AppContext> app = std::make_unique<AppContext>();
  CaptureState state;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<LiveController> controller;
  std::vector<int> posted;
  int holdoffs = 0;

  explicit Station(int cx = 640, int cy = 360) {
    orvanta::SetDefaults(*app);
    app->ib.cx = cx;
    app->ib.cy = cy;
    app->ib.fps = 30;
    state.live_image.Resize(cx, cy);
    window = std::make_unique<MainWindow>(*app, state);
    LivePageHooks hooks;
    hooks.post = [this](int command) { posted.push_back(command); };
    hooks.set_schedule_holdoff = [this](int) { ++holdoffs; };
    window->live_page()->FillHooks(hooks);
    controller = std::make_unique<LiveController>(app->ib, hooks);
    window->live_page()->SetController(controller.get());
    app->ap.dlgrect = {100, 20, 700, 1009};  // top, left, bottom, right
    app->ap.showcmd = 1;
  }
  template <typename T = QWidget>
  T* Find(const char* id) {
    // The live page's controls: the replay page uses some of the same ids.
    T* w = window->live_page()->findChild<T*>(QString::fromLatin1(id));
    if (!w) qFatal("no control %s", id);
    return w;
  }
  // Detect, Preview, Stop, Rec enabled.
  std::vector<bool> Buttons() {
    return {Find("id1030")->isEnabled(), Find("id1031")->isEnabled(), Find("id1032")->isEnabled(),
            Find("id1034")->isEnabled()};
  }
  QString RecCaption() { return Find<QPushButton>("id1034")->text(); }
};

// Presses `button` of the next modal message box once it is up.
void AnswerNextBox(QMessageBox::StandardButton button, bool* asked) {
  QTimer::singleShot(0, [button, asked] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    *asked = box->text() == QStringLiteral("OrvantaIP is running  QUIT?");
    box->button(button)->click();
  });
}

}  // namespace

class UiWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void ButtonsFollowEachAction() {
    Station s;
    s.window->ShowAtSavedPlacement();
    using B = std::vector<bool>;
    QCOMPARE(s.Buttons(), (B{true, true, false, false}));
    QTest::mouseClick(s.Find("id1031"), Qt::LeftButton);
    QCOMPARE(s.Buttons(), (B{true, false, true, true}));
    QCOMPARE(s.posted, (std::vector<int>{cmd::kStartGraph}));
    QVERIFY(s.window->live_page()->refresh_timer().isActive());
    QCOMPARE(s.window->live_page()->refresh_timer().interval(), 120);  // fps 30 x 4 ms
    // Detect while previewing only arms detection.
    QTest::mouseClick(s.Find("id1030"), Qt::LeftButton);
    QCOMPARE(s.Buttons(), (B{false, true, true, true}));
    QCOMPARE(s.posted, (std::vector<int>{cmd::kStartGraph, cmd::kDetectOn}));
    orvanta::StoreShared(s.app->ib.warmup, 0);  // the filter ends the warm-up
    s.window->live_page()->Refresh();
    QCOMPARE(s.window->live_page()->status()->text(), QStringLiteral(" Detecting "));
    // The uploader's suffix shows at the next refresh, the state unchanged.
    s.controller->set_status_suffix("FTP failed");
    s.window->live_page()->Refresh();
    QCOMPARE(s.window->live_page()->status()->text(), QStringLiteral(" Detecting FTP failed"));
    QTest::mouseClick(s.Find("id1032"), Qt::LeftButton);
    QCOMPARE(s.Buttons(), (B{true, true, false, false}));
    QCOMPARE(s.posted.back(), int(cmd::kStopGraph));
    QVERIFY(!s.window->live_page()->refresh_timer().isActive());
    // Only Detect and Preview clear the uploader's suffix.
    QCOMPARE(s.window->live_page()->status()->text(), QStringLiteral(" status : idle FTP failed"));
    QTest::mouseClick(s.Find("id1031"), Qt::LeftButton);
    s.window->live_page()->Refresh();
    QCOMPARE(s.window->live_page()->status()->text(), QStringLiteral(" activating "));
    QCOMPARE(s.holdoffs, 1);
  }

  void RecToggleCaptions() {
    Station s;
    s.window->ShowAtSavedPlacement();
    QTest::mouseClick(s.Find("id1030"), Qt::LeftButton);
    s.posted.clear();
    QTest::mouseClick(s.Find("id1034"), Qt::LeftButton);
    QCOMPARE(s.RecCaption(), QStringLiteral("RecOff"));
    QTest::mouseClick(s.Find("id1034"), Qt::LeftButton);
    QCOMPARE(s.RecCaption(), QStringLiteral("Rec"));
    QCOMPARE(s.posted, (std::vector<int>{cmd::kForceRecOn, cmd::kForceRecOff}));
    // Stop during a forced recording ends the recording first.
    QTest::mouseClick(s.Find("id1034"), Qt::LeftButton);
    s.posted.clear();
    QTest::mouseClick(s.Find("id1032"), Qt::LeftButton);
    QCOMPARE(s.RecCaption(), QStringLiteral("REC"));
    QCOMPARE(s.posted, (std::vector<int>{cmd::kForceRecOff, cmd::kDetectOff, cmd::kStopGraph}));
  }

  // The schedule on the GUI thread and the live thread (after a failure) perform the same
  // actions; the buttons follow them.
  void ButtonsFollowTheScheduleAndTheLiveThread() {
    Station s;
    s.window->ShowAtSavedPlacement();
    using B = std::vector<bool>;
    orvanta::schedule::ScheduleActions actions;
    actions.live_state = [&] { return s.controller->live_state(); };
    actions.detect = [&] { s.controller->Detect(); };
    actions.stop = [&] { s.controller->Stop(); };
    actions.wait = [](int) {};
    s.app->ap.md_autorun = 1;
    s.app->ap.sd[0].on = 1;
    s.app->ap.sd[0].h1 = 20, s.app->ap.sd[0].m1 = 0, s.app->ap.sd[0].h2 = 4, s.app->ap.sd[0].m2 = 0;
    orvanta::schedule::LocalTime now{2024, 6, 21, 21, 0, 0};
    orvanta::schedule::DetectionSchedule plan(
        s.app->ap, s.app->state, s.app->ib, [&] { return now; }, std::move(actions));
    plan.AutorunAtStart();
    QCOMPARE(s.Buttons(), (B{false, true, true, true}));

    std::thread live([&] { s.controller->Stop(); });
    live.join();
    QTRY_COMPARE(s.Buttons(), (B{true, true, false, false}));
    QTRY_VERIFY(!s.window->live_page()->refresh_timer().isActive());
  }

  void DetectSizeUsesTheCompressedScale() {
    Station s;
    s.window->ShowAtSavedPlacement();
    auto* edit = s.Find<QLineEdit>("id1059");
    auto* track = s.Find<QSlider>("id1066");
    edit->clear();
    QTest::keyClicks(edit, "12345");
    QCOMPARE(track->value(), 420);
    QCOMPARE(s.app->ib.dsize, 12345);
    track->setValue(421);
    QCOMPARE(s.app->ib.dsize, 12400);
    QCOMPARE(edit->text(), QStringLiteral("12400"));
    // Typed beyond the range: clamped and rewritten.
    edit->clear();
    QTest::keyClicks(edit, "2000000");
    QCOMPARE(edit->text(), QStringLiteral("1310720"));
    QCOMPARE(s.app->ib.dsize, 1310720);
    QCOMPARE(track->value(), 512);  // the trackbar ends at 21500
    // The up-down steps by one.
    dynamic_cast<orvanta::ui::UpDown*>(s.Find("id1060"))->down()->click();
    QCOMPARE(s.app->ib.dsize, 1310719);
    // Leaving the field rewrites what it holds.
    edit->setText(QStringLiteral("junk"));
    emit edit->editingFinished();
    QCOMPARE(edit->text(), QStringLiteral("1310719"));
  }

  void DetectLevelClampsAndFollowsNoiseTracking() {
    Station s;
    s.window->ShowAtSavedPlacement();
    auto* edit = s.Find<QLineEdit>("id1061");
    auto* track = s.Find<QSlider>("id1064");
    edit->clear();
    QTest::keyClicks(edit, "300");
    QCOMPARE(edit->text(), QStringLiteral("255"));
    QCOMPARE(track->value(), 255);
    edit->clear();
    QTest::keyClicks(edit, "0");
    QCOMPARE(s.app->ib.dlev, 1);
    // The filter moves dlev while noise tracking is on: the next refresh shows it.
    orvanta::StoreShared(s.app->ib.dlev, 77);
    s.window->live_page()->Refresh();
    QCOMPARE(edit->text(), QStringLiteral("77"));
    QCOMPARE(track->value(), 77);
    s.Find<QSlider>("id1174")->setValue(1234);
    QCOMPARE(s.app->ib.alev, 1234);
  }

  void OneToNFitsTheWindow() {
    Station s(320, 240);
    s.window->ShowAtSavedPlacement();
    QWidget* video = s.Find("id1035");
    const QPoint at = video->mapTo(s.window.get(), QPoint(0, 0));
    QTest::mouseClick(s.Find("id1033"), Qt::LeftButton);
    QTRY_COMPARE(s.window->size(), QSize(std::max(790, at.x() + 652), std::max(480, at.y() + 492)));
  }

  void CloseAsksOnlyWhileDetecting() {
    Station s;
    s.window->ShowAtSavedPlacement();
    bool asked = false;
    AnswerNextBox(QMessageBox::Cancel, &asked);
    QVERIFY(s.window->close());  // idle: nothing asked
    QVERIFY(!asked);

    Station d;
    d.window->ShowAtSavedPlacement();
    QTest::mouseClick(d.Find("id1031"), Qt::LeftButton);
    AnswerNextBox(QMessageBox::Cancel, &asked);
    QVERIFY(d.window->close());  // previewing: nothing asked
    QVERIFY(!asked);

    Station r;
    r.window->ShowAtSavedPlacement();
    QTest::mouseClick(r.Find("id1030"), Qt::LeftButton);
    AnswerNextBox(QMessageBox::Cancel, &asked);
    QVERIFY(!r.window->close());
    QVERIFY(asked);
    QVERIFY(r.window->isVisible());
    QVERIFY(r.window->live_page()->refresh_timer().isActive());
    asked = false;
    AnswerNextBox(QMessageBox::Ok, &asked);
    QVERIFY(r.window->close());
    QVERIFY(asked);
    QVERIFY(!r.window->live_page()->refresh_timer().isActive());
  }

  // A signal to end closes the window while detecting and while a message waits.
  void CloseWithoutAskingEndsOpenBoxes() {
    Station s;
    s.window->ShowAtSavedPlacement();
    QTest::mouseClick(s.Find("id1030"), Qt::LeftButton);
    QPointer<QWidget> owner(s.window.get());
    const orvanta::MessageHandler before =
        orvanta::SetMessageHandler(orvanta::ui::WindowMessageHandler(&owner));
    QTimer::singleShot(50, s.window.get(), [&] { s.window->CloseWithoutAsking(); });
    QTemporaryDir log_dir;
    orvanta::TheApp().state.startupDir = log_dir.path().toStdString();
    orvanta::ReportMessage("UM999: waiting");  // returns once the box is closed
    orvanta::SetMessageHandler(before);
    orvanta::TheApp().state.startupDir.clear();
    QVERIFY(!s.window->isVisible());
    QVERIFY(!QApplication::activeModalWidget());

    // The signal comes while the quit question waits.
    Station t;
    t.window->ShowAtSavedPlacement();
    QTest::mouseClick(t.Find("id1030"), Qt::LeftButton);
    QTimer::singleShot(50, t.window.get(), [&] { t.window->CloseWithoutAsking(); });
    t.window->close();
    QVERIFY(!t.window->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(!t.window->live_page()->refresh_timer().isActive());
  }

  void EscapeDoesNotClose() {
    Station s;
    s.window->ShowAtSavedPlacement();
    QTest::keyClick(s.window.get(), Qt::Key_Escape);
    QTest::keyClick(s.Find("id1059"), Qt::Key_Escape);
    QVERIFY(s.window->isVisible());
  }

  void MaximisedWindowReopensMaximised() {
    Station s;
    s.window->ShowAtSavedPlacement();
    QTRY_VERIFY(s.window->isVisible());
    const QRect normal = s.window->geometry();
    s.window->showMaximized();
    QTRY_VERIFY(s.window->isMaximized());
    QVERIFY(s.window->close());
    QCOMPARE(s.app->ap.showcmd, 3);
    QCOMPARE(s.app->ap.dlgrect.left, normal.left());
    QCOMPARE(s.app->ap.dlgrect.right - s.app->ap.dlgrect.left, normal.width());

    MainWindow again(*s.app, s.state);
    again.ShowAtSavedPlacement();
    QTRY_VERIFY(again.isMaximized());
    QCOMPARE(again.normalGeometry(), normal);
    again.showNormal();
    QTRY_COMPARE(again.geometry(), normal);
  }

  // A worker thread's report waits for the box the GUI thread shows, owned by the window.
  void ReportFromAWorkerShowsItsBoxOnTheGuiThread() {
    QTemporaryDir log_dir;
    orvanta::TheApp().state.startupDir = log_dir.path().toStdString();
    Station s;
    s.window->ShowAtSavedPlacement();
    QPointer<QWidget> owner(s.window.get());
    const orvanta::MessageHandler before =
        orvanta::SetMessageHandler(orvanta::ui::WindowMessageHandler(&owner));
    std::atomic<int> pressed{0};
    QString text, title;
    QWidget* parent = nullptr;
    int waiting_when_shown = -1;
    // The box runs its own loop on this thread; a timer inside that loop answers it.
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      text = box->text();
      title = box->windowTitle();
      parent = box->parentWidget();
      waiting_when_shown = pressed.load();
      answer.stop();
      box->button(QMessageBox::Ok)->click();
    });
    answer.start(10);
    std::thread worker([&] { pressed = orvanta::ReportMessage("UE123: test %d", 5); });
    QTRY_COMPARE(pressed.load(), 1);
    worker.join();
    QCOMPARE(text, QStringLiteral("UE123: test 5"));
    QCOMPARE(title, QStringLiteral("Orvanta"));
    QCOMPARE(parent, s.window.get());
    QCOMPARE(waiting_when_shown, 0);  // the worker waited for the box
    orvanta::SetMessageHandler(before);
    orvanta::TheApp().state.startupDir.clear();
  }

  // Screen readers and outside checks find every control by its caption or label.
  void EveryControlIsNamed() {
    Station s;
    s.window->ShowAtSavedPlacement();
    int controls = 0;
    for (QWidget* w : s.window->live_page()->findChildren<QWidget*>()) {
      const bool control = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                           qobject_cast<QSlider*>(w) || qobject_cast<QProgressBar*>(w) ||
                           dynamic_cast<orvanta::ui::UpDown*>(w);
      if (!control) continue;
      ++controls;
      const auto* button = qobject_cast<QAbstractButton*>(w);
      const QString name =
          w->accessibleName().isEmpty() && button ? button->text() : w->accessibleName();
      QVERIFY2(!name.isEmpty(), qPrintable(w->objectName()));
    }
    QVERIFY(controls >= 16);
    QCOMPARE(s.window->windowTitle(), QStringLiteral("OrvantaIP"));
    QStringList left, right;
    for (int i = 0; i < s.window->left_sheet()->count(); ++i)
      left << s.window->left_sheet()->tabText(i);
    for (int i = 0; i < s.window->right_sheet()->count(); ++i)
      right << s.window->right_sheet()->tabText(i);
    QCOMPARE(left, (QStringList{"Input", "Operation", "Profile", "DB"}));
    QCOMPARE(right, (QStringList{"Live", "Replay"}));
  }
};

QTEST_MAIN(UiWindowTest)
#include "ui_window_test.moc"
