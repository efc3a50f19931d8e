// The station with its window, as a user runs it, under Xvfb: a simulated sky played from
// a file with autorun on shows in the video area, gives a finished clip, and SIGTERM during
// a recording closes the window with that clip finished and the settings saved.
#include <gst/gst.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>

#include "app/app_params.h"
#include "app/startup.h"
#include "capture/capture_state.h"
#include "capture/media/cnv2yu_element.h"
#include "tests/support/clip_files.h"
#include "ui/main_window.h"
#include "ui/window_station.h"

namespace fs = std::filesystem;

namespace {

const QString kTool = QStringLiteral(ORVANTA_TOOL_PATH);

QString Run(const QStringList& args) {
  QProcess p;
  p.start(kTool, args);
  if (!p.waitForFinished(120000) || p.exitCode() != 0)
    qWarning("zavip-tool %s: %s", qPrintable(args.join(' ')), p.readAllStandardError().data());
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

std::vector<fs::path> Named(const fs::path& dir, const std::string& first, const std::string& ext) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(first, 0) == 0 && e.path().extension() == ext) found.push_back(e.path());
  }
  return found;
}

// The file's first frame as the window would show it.
QImage FirstFrame(const QString& video) {
  const std::string line = "filesrc location=" + video.toStdString() +
                           " ! avidemux ! videoconvert ! video/x-raw,format=BGRx ! appsink name=s";
  GstElement* pipeline = gst_parse_launch(line.c_str(), nullptr);
  GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "s");
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  GstSample* sample = nullptr;
  g_signal_emit_by_name(sink, "pull-preroll", &sample);
  QImage image;
  if (sample) {
    GstCaps* caps = gst_sample_get_caps(sample);
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    int w = 0, h = 0;
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &h);
    GstMapInfo map;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
      image = QImage(map.data, w, h, w * 4, QImage::Format_RGB32).copy();
      gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
  }
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(sink);
  gst_object_unref(pipeline);
  return image;
}

// Mean difference per colour channel of two pictures seen at a coarse size, so that the
// sensor noise and the preview's scaling do not count. The bottom eighth, where the preview
// carries the burnt-in time, is left out.
double Difference(const QImage& a, const QImage& b) {
  const QSize coarse(48, 27);
  auto sky = [&](const QImage& image) {
    return image.copy(0, 0, image.width(), image.height() * 7 / 8)
        .scaled(coarse, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
  };
  const QImage x = sky(a);
  const QImage y = sky(b);
  double sum = 0;
  for (int r = 0; r < coarse.height(); ++r)
    for (int c = 0; c < coarse.width(); ++c) {
      const QRgb p = x.pixel(c, r), q = y.pixel(c, r);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
             std::abs(qBlue(p) - qBlue(q));
    }
  return sum / (3.0 * coarse.width() * coarse.height());
}

}  // namespace

class UiWindowStationTest : public QObject {
  Q_OBJECT

 private slots:
  void WindowShowsTheSkyWritesAClipAndClosesOnSigterm() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const fs::path dir = tmp.path().toStdString();
    QVERIFY(QDir::setCurrent(tmp.path()));
    const QString video = tmp.filePath("sky.avi");
    Run({"simulate", "--out", video, "--truth", tmp.filePath("sky.json"), "--width", "480",
         "--height", "270", "--fps", "25", "--seconds", "20", "--seed", "5", "--format", "YUY2"});
    fs::create_directories(dir / "clips");
    const QString settings = tmp.filePath("S.zvi");
    Run({"settings", "defaults", settings});
    Run({"settings", "set", settings, "IF.cx=480", "IF.cy=270", "IF.fps=25", "IF.sm_on=0",
         "IF.filterinmode=1", "IF.rtspinmode=0", "AP.dv_v_s_filter=filesrc", "AP.infname=" + video,
         "AP.db_dir=" + tmp.filePath("clips"), "AP.db_ymddir=0", "AP.limit_MB=10",
         "AP.md_autorun=1", "AP.dlgrect.left=40", "AP.dlgrect.top=30", "AP.dlgrect.right=1040",
         "AP.dlgrect.bottom=730"});

    orvanta::AppContext& app = orvanta::TheApp();
    orvanta::StartUpSettings(app, settings.toStdString());
    orvanta::media::RegisterCnv2yu();
    orvanta::capture::CaptureState state;
    state.live_image.Resize(app.ib.cx, app.ib.cy);

    QImage shown;
    QRect window_rect;
    bool clip_seen = false;
    QString status_answer;
    std::string cut_short;  // the recording under way when the stop came
    size_t clips_at_stop = 0;
    orvanta::ui::WindowStationOptions options;
    options.started = [&](orvanta::ui::MainWindow& window) {
      auto* poll = new QTimer(&window);
      auto* waited = new QElapsedTimer;
      waited->start();
      QObject::connect(poll, &QTimer::timeout, &window, [&, poll, waited] {
        orvanta::ui::VideoArea* area = window.live_page()->video();
        if (shown.isNull() && area->painted_frames() > 10) {
          shown = area->grab(area->PictureRect()).toImage();
          window_rect = window.geometry();
        }
        clip_seen = !Named(dir / "clips", "M", ".xml").empty();
        if ((clip_seen && !shown.isNull()) || waited->elapsed() > 40000) {
          poll->stop();
          delete waited;
          // The status query on the session bus, answered while the window runs (the tool
          // runs beside the event loop that serves the query), then the stop.
          auto* status = new QProcess(&window);
          QObject::connect(status, &QProcess::finished, &window, [&, status] {
            status_answer = QString::fromUtf8(status->readAllStandardOutput());
            // The stop comes while a clip is being recorded (Rec forces one).
            window.live_page()->controller()->ToggleRec(false);
            auto* recording = new QTimer(&window);
            QObject::connect(recording, &QTimer::timeout, &window, [&, recording] {
              // The next recording's file is opened ahead of its clip: one with frames in it.
              const auto left = Named(dir / "clips", "T", ".avi");
              std::error_code ec;
              if (left.empty() || fs::file_size(left.front(), ec) < 200000) return;
              recording->stop();
              cut_short = left.front().filename().string();
              clips_at_stop = Named(dir / "clips", "M", ".avi").size();
              ::kill(::getpid(), SIGTERM);
            });
            recording->start(20);
          });
          status->start(kTool, {"status"});
        }
      });
      poll->start(100);
    };
    QCOMPARE(orvanta::ui::RunWindowStation(app, state, options), 0);

    // The window answered the status query while detecting.
    qInfo("status: %s", qPrintable(status_answer.simplified()));
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) {
      QVERIFY2(status_answer.contains("live detecting"), qPrintable(status_answer));
      QVERIFY2(status_answer.contains("level "), qPrintable(status_answer));
    }

    // The sky was in the video area.
    QVERIFY(!shown.isNull());
    const QImage frame = FirstFrame(video);
    QVERIFY(!frame.isNull());
    QImage black(frame.size(), QImage::Format_RGB32);
    black.fill(Qt::black);
    const double to_sky = Difference(shown, frame);
    const double black_to_sky = Difference(black, frame);
    qInfo("video area vs frame %.2f, black vs frame %.2f", to_sky, black_to_sky);
    QVERIFY(to_sky < black_to_sky / 4);

    // A finished clip, nothing left half-written; the clip being recorded at the stop kept.
    QVERIFY(clip_seen);
    QVERIFY(Named(dir / "clips", "T", ".avi").empty());
    QVERIFY(!cut_short.empty());
    const auto clips = Named(dir / "clips", "M", ".avi");
    QCOMPARE(clips.size(), clips_at_stop + 1);
    QVERIFY(!clips.empty());
    for (const fs::path& m : clips) {
      fs::path xml = m;
      xml.replace_extension(".xml");
      const orvanta::testing::AviFacts avi = orvanta::testing::ReadAvi(m);
      QVERIFY(avi.has_index);
      QCOMPARE(static_cast<int>(avi.total_frames), orvanta::testing::XmlFrames(xml));
    }
    // The settings were saved with the window's placement.
    QCOMPARE(Run({"settings", "get", settings, "AP.dlgrect.left"}).toInt(), window_rect.left());
    QCOMPARE(Run({"settings", "get", settings, "AP.dlgrect.bottom"}).toInt(),
             window_rect.top() + window_rect.height());
    QCOMPARE(Run({"settings", "get", settings, "AP.md_autorun"}).toInt(), 1);
  }
};

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  QApplication app(argc, argv);
  UiWindowStationTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ui_window_station_test.moc"
