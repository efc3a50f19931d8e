// The replay page in the main window under the offscreen platform, over a clip the station
// wrote from a simulated sky and a real replay thread: the still with its hit marks, then the
// video stepped and saved frame by frame; leaving the page while the video plays; the replay
// cache's copy. With ORVANTA_SHOTS set, the window is saved there as PNG at each stage.
#include <gst/gst.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/messages.h"
#include "app/text_utf.h"
#include "capture/capture_state.h"
#include "replay/replay_thread.h"
#include "tests/replay/station_clips.h"
#include "ui/main_window.h"

namespace fs = std::filesystem;
using orvanta::AppContext;
using orvanta::replay::CReplayThread;
using orvanta::ui::MainWindow;
using orvanta::ui::ReplayClipInfo;
using orvanta::ui::ReplayPage;
namespace rp = orvanta::replay;

namespace {

constexpr int kWaitMs = 20000;

// Pure cyan: what "+Hit mark" paints; a frame of the night sky never has it.
int CyanPixels(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  int n = 0;
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x)
      if (rgb.pixel(x, y) == qRgb(0, 255, 255)) ++n;
  return n;
}

void Shot(QWidget* window, const char* name) {
  const QByteArray dir = qgetenv("ORVANTA_SHOTS");
  if (!dir.isEmpty()) window->grab().save(QString::fromUtf8(dir) + "/" + name + ".png");
}

// The window with its replay thread as the station wires them; the clip list is a table of
// the test's own.
struct Station {
  std::unique_ptr<AppContext> app = std::make_unique<AppContext>();
  orvanta::capture::CaptureState state;
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<CReplayThread> thread;
  std::vector<ReplayClipInfo> clips;
  std::vector<std::string> messages;
  orvanta::MessageHandler before;

  Station() {
    orvanta::SetDefaults(*app);
    app->ib.cx = 480;
    app->ib.cy = 270;
    app->ib.fps = 25;
    app->ib.fs_head = 20;
    app->ap.r_hmark = 1;
    app->state.startupDir = ZAVIPRF_DIR;
    state.live_image.Resize(480, 270);
    before = orvanta::SetMessageHandler({[this](const std::string& text) {
                                           messages.push_back(text);
                                           return 1;
                                         },
                                         [](const std::string&) {}});
    window = std::make_unique<MainWindow>(*app, state);
    rp::ReplayHooks hooks;
    page()->FillHooks(hooks);
    hooks.with_sound = false;
    thread = std::make_unique<CReplayThread>(*app, hooks, page());
    page()->SetReplayThread(thread.get());
    thread->Start();
    page()->clip_info = [this](int index) -> std::optional<ReplayClipInfo> {
      if (index < 0 || index >= static_cast<int>(clips.size())) return std::nullopt;
      return clips[index];
    };
    window->ShowAtSavedPlacement();
    window->right_sheet()->setCurrentIndex(1);
  }
  ~Station() {
    thread->Post(rp::kShutdown);
    thread->Wait();
    page()->SetReplayThread(nullptr);
    orvanta::SetMessageHandler(before);
  }
  ReplayPage* page() { return window->replay_page(); }
  void Click(const char* id) {
    // Control ids are the page's own: other pages use some of the same numbers.
    auto* b = page()->findChild<QAbstractButton*>(QString::fromLatin1(id));
    if (!b) qFatal("no control %s", id);
    b->click();
  }
  // Waits until the thread has carried out every command the page has posted so far.
  bool Settle() {
    return QTest::qWaitFor([&] { return page()->commands_done() >= page()->commands_posted(); },
                           kWaitMs);
  }
  QSlider* slider() { return page()->findChild<QSlider*>(QStringLiteral("id1174")); }
  QString play_text() { return page()->findChild<QPushButton*>("id1227")->text(); }
};

std::string ClipPath(const fs::path& dir) {
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.path().extension() == ".avi" && e.path().filename().string()[0] == 'M')
      return e.path().string();
  return "";
}

}  // namespace

class UiReplayPageTest : public QObject {
  Q_OBJECT

  QTemporaryDir tmp_;
  std::string clip_;  // M....avi with its P.jpg and M.bmp beside it

  ReplayClipInfo Info(const std::string& clip) {
    ReplayClipInfo info;
    info.directory = fs::path(clip).parent_path().string();
    info.has_video = true;
    info.stills.p_jpg = true;
    info.stills.map = true;
    return info;
  }
  QString Name(const std::string& clip) {
    return QString::fromStdString(fs::path(clip).stem().string());
  }

 private slots:
  void initTestCase() {
    const fs::path dir = tmp_.path().toStdString();
    std::string out;
    using rp::testing::RunTool;
    QCOMPARE(RunTool(dir,
                     {"simulate", "--out", "sky.avi", "--width", "480", "--height", "270", "--fps",
                      "25", "--seconds", "8", "--seed", "5", "--format", "YUY2"},
                     &out),
             0);
    RunTool(dir, {"settings", "defaults", "s.zvi"});
    RunTool(dir, {"settings", "set", "s.zvi", "IF.cx=480", "IF.cy=270", "AP.limit_MB=10"});
    QCOMPARE(RunTool(dir,
                     {"detect", "--source", "sky.avi", "--out", "clips", "--start",
                      "2024-01-02T02:10:00", "--settings", "s.zvi"},
                     &out),
             0);
    clip_ = ClipPath(dir / "clips");
    QVERIFY2(!clip_.empty(), out.c_str());
    const std::string base = clip_.substr(0, clip_.size() - 4);
    QVERIFY(fs::exists(base + "P.jpg"));
    QVERIFY(fs::exists(base + "M.bmp"));
  }

  void StillWithHitMarksThenSteppedFrames() {
    Station s;
    s.app->ap.jpg = 1;
    s.clips = {Info(clip_)};
    s.page()->SelectClip(0, Name(clip_));
    const QImage still = s.page()->video()->CurrentPicture();
    QCOMPARE(still.size(), QSize(480, 270));
    QVERIFY(CyanPixels(still) > 0);
    QVERIFY(s.messages.empty());
    Shot(s.window.get(), "replay_still_hits");
    // "+Hit mark" off: the peak-hold picture alone.
    s.Click("id1223");
    QCOMPARE(s.app->ap.r_hmark, 0);
    QCOMPARE(CyanPixels(s.page()->video()->CurrentPicture()), 0);
    s.Click("id1223");

    // The first step builds the graph and stands on frame 1.
    s.Click("id1171");
    QVERIFY(s.Settle());
    QCOMPARE(s.page()->replay_state(), int(rp::kPausedAtChosen));
    QTRY_COMPARE_WITH_TIMEOUT(s.slider()->value(), 40, kWaitMs);
    QVERIFY(s.slider()->maximum() > 1000);
    QTRY_VERIFY_WITH_TIMEOUT(CyanPixels(s.page()->video()->CurrentPicture()) == 0 &&
                                 !s.page()->video()->CurrentPicture().isNull(),
                             kWaitMs);
    const QImage frame1 = s.page()->video()->CurrentPicture();
    // SnapShot+: frame 1 saved, then on to frame 2.
    s.Click("id1229");
    QVERIFY(s.Settle());
    QTRY_COMPARE_WITH_TIMEOUT(s.slider()->value(), 80, kWaitMs);
    const std::string saved = fs::path(clip_).parent_path().string() + "/z" +
                              fs::path(clip_).stem().string().substr(1) + "_001s.jpg";
    QVERIFY2(fs::exists(saved), saved.c_str());
    QTRY_VERIFY_WITH_TIMEOUT(s.page()->video()->CurrentPicture() != frame1, kWaitMs);
    Shot(s.window.get(), "replay_stepped_frame2");
    // Back to frame 1, then "|| H": the head, 20 frames at 25 fps.
    s.Click("id1172");
    QVERIFY(s.Settle());
    QTRY_COMPARE_WITH_TIMEOUT(s.slider()->value(), 40, kWaitMs);
    s.Click("id1191");
    QVERIFY(s.Settle());
    QTRY_COMPARE_WITH_TIMEOUT(s.slider()->value(), 800, kWaitMs);
    // On from the head frame by frame: the meteor comes into the picture.
    for (int i = 1; i <= 6; ++i) {
      s.Click("id1171");
      QVERIFY(s.Settle());
      QTRY_COMPARE_WITH_TIMEOUT(s.slider()->value(), 800 + 40 * i, kWaitMs);
    }
    QTest::qWait(100);
    Shot(s.window.get(), "replay_stepped_meteor");
    // "Still" closes the video and shows the marked still again.
    s.Click("id1170");
    QTRY_COMPARE_WITH_TIMEOUT(s.page()->replay_state(), int(rp::kNoGraph), kWaitMs);
    QVERIFY(CyanPixels(s.page()->video()->CurrentPicture()) > 0);
    QVERIFY2(s.messages.empty(), s.messages.empty() ? "" : s.messages[0].c_str());
  }

  void LeavingThePageWhilePlayingStopsAndShowsTheStill() {
    Station s;
    s.clips = {Info(clip_)};
    s.page()->SelectClip(0, Name(clip_));
    s.Click("id1227");
    QCOMPARE(s.play_text(), QStringLiteral("||"));
    QVERIFY(s.page()->replay_timer().isActive());
    QTRY_COMPARE_WITH_TIMEOUT(s.page()->replay_state(), int(rp::kRunning), kWaitMs);
    s.window->right_sheet()->setCurrentIndex(0);  // the live page
    QCOMPARE(s.play_text(), QStringLiteral(">"));
    QVERIFY(!s.page()->replay_timer().isActive());
    QTRY_COMPARE_WITH_TIMEOUT(s.page()->replay_state(), int(rp::kNoGraph), kWaitMs);
    // No frame of the closed video comes after the still.
    QTest::qWait(200);
    QVERIFY(CyanPixels(s.page()->video()->CurrentPicture()) > 0);
    // Played to its end, ">" reads ">" again.
    s.window->right_sheet()->setCurrentIndex(1);
    s.Click("id1167");
    QTRY_COMPARE_WITH_TIMEOUT(s.page()->replay_state(), int(rp::kStopped), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(s.play_text(), QStringLiteral(">"), kWaitMs);
  }

  void FieldStepsAreSavedInTheOrderShown() {
    Station s;
    s.app->ap.jpg = 1;
    s.app->ap.bbf = 0;
    const fs::path dir = fs::path(clip_).parent_path();
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string()[0] == 'z') fs::remove(e.path());
    // A clip without a still shows grey, not the still of the clip before it.
    ReplayClipInfo bare = Info(clip_);
    bare.stills = {};
    s.clips = {Info(clip_), bare};
    s.page()->SelectClip(0, Name(clip_));
    s.page()->SelectClip(1, Name(clip_));
    QCOMPARE(s.page()->video()->CurrentPicture().pixel(10, 10), qRgb(150, 150, 150));

    s.Click("id1228");
    QCOMPARE(s.app->rib.deinterace, 1);
    // Without a graph nothing is saved; the step builds it and shows field 1 of frame 0, the
    // next field 0 of frame 1 (fields 1 and 2 in the order they are shown).
    for (int i = 0; i < 3; ++i) {
      s.Click("id1229");
      QVERIFY(s.Settle());
    }
    QCOMPARE(s.app->rib.field_step, 1);
    QCOMPARE(s.app->rib.field_odd, 1);
    QCOMPARE(s.slider()->value(), 40);
    std::vector<std::string> saved;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string()[0] == 'z') saved.push_back(e.path().filename().string());
    std::sort(saved.begin(), saved.end());
    const std::string stem = "z" + Name(clip_).toStdString().substr(1);
    QCOMPARE(saved, (std::vector<std::string>{stem + "_001s.jpg", stem + "_002s.jpg"}));
  }

  void CacheCopyGoesWhenAnotherClipIsChosen() {
    Station s;
    const fs::path cache = fs::path(tmp_.path().toStdString()) / "cache";
    fs::create_directories(cache);
    // A second clip: the same files under another clip's name, in a directory of its own.
    const fs::path other_dir = fs::path(tmp_.path().toStdString()) / "other";
    fs::create_directories(other_dir);
    const std::string other = (other_dir / "M20240102_031000__.avi").string();
    fs::copy_file(clip_, other, fs::copy_options::overwrite_existing);
    const std::string base = clip_.substr(0, clip_.size() - 4);
    fs::copy_file(base + "P.jpg", (other_dir / "M20240102_031000__P.jpg").string(),
                  fs::copy_options::overwrite_existing);
    fs::copy_file(base + "M.bmp", (other_dir / "M20240102_031000__M.bmp").string(),
                  fs::copy_options::overwrite_existing);
    s.clips = {Info(clip_), Info(other)};
    orvanta::SetField(s.app->ap.cache_dir, orvanta::Utf8ToUtf16(cache.string()));
    s.page()->SelectClip(0, Name(clip_));
    s.Click("id1171");
    QVERIFY(s.Settle());
    const std::string copy = (cache / (Name(clip_).toStdString() + ".avi")).string();
    QCOMPARE(s.page()->replay_cache_file(), copy);
    QVERIFY(fs::exists(copy));
    QCOMPARE(s.thread->engine().replay_file(), copy);
    QCOMPARE(s.page()->replay_state(), int(rp::kPausedAtChosen));

    s.page()->SelectClip(1, Name(other));
    QVERIFY(!fs::exists(copy));
    QVERIFY(s.page()->replay_cache_file().empty());
    QVERIFY(fs::exists(clip_));

    // A cache that is the clip's own directory: played in place, never deleted.
    orvanta::SetField(s.app->ap.cache_dir, orvanta::Utf8ToUtf16(other_dir.string()));
    s.Click("id1171");
    QVERIFY(s.Settle());
    QCOMPARE(s.thread->engine().replay_file(), other);
    s.page()->SelectClip(0, Name(clip_));
    QVERIFY(fs::exists(other));

    // A copy that fails is reported, and the clip itself is played.
    orvanta::SetField(s.app->ap.cache_dir, orvanta::Utf8ToUtf16((cache / "missing").string()));
    s.Click("id1171");
    QVERIFY(s.Settle());
    QCOMPARE(s.messages.size(), size_t{1});
    QVERIFY(s.messages[0].starts_with("Cache copy failed\n"));
    QCOMPARE(s.thread->engine().replay_file(), clip_);
    QCOMPARE(s.page()->replay_state(), int(rp::kPausedAtChosen));
  }
};

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  QApplication app(argc, argv);
  UiReplayPageTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ui_replay_page_test.moc"
