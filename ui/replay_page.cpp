#include "ui/replay_page.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <filesystem>
#include <system_error>

#include "app/messages.h"
#include "app/text_utf.h"
#include "detectfilter/shared_field.h"
#include "products/bmp_file.h"
#include "products/jpeg_file.h"
#include "replay/replay_picture_sink.h"
#include "replay/replay_thread.h"
#include "ui/controls.h"
#include "ui/replay_rules.h"

namespace fs = std::filesystem;

namespace orvanta::ui {
namespace {

constexpr uint8_t kNoClipGrey = 150;
constexpr int kPlayTimerMs = 33;
constexpr int kPauseTimerMs = 100;

// The page's buttons are named by their captions (the play button's name follows its text).
QPushButton* NamedButton(const char* caption, const char* id, QWidget* parent) {
  QPushButton* b = Button(caption, id, parent);
  b->setAccessibleName(QString::fromLatin1(caption));
  return b;
}

// The same file under two names (a cache directory that is the clip's own directory).
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

}  // namespace

ReplayClipInfo ReplayClipInfo::FromMarks(std::string directory, std::string_view marks) {
  ReplayClipInfo info;
  info.directory = std::move(directory);
  info.has_video = !marks.empty() && marks[0] == 'A';
  info.stills = StillsFromMarks(marks);
  return info;
}

ReplayPage::ReplayPage(AppContext& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName(QStringLiteral("id130"));
  setAccessibleName(QStringLiteral("Replay"));
  prev_ = NamedButton("Prev", "id1249", this);
  next_ = NamedButton("Next", "id1248", this);
  still_ = NamedButton("Still", "id1170", this);
  one_to_n_ = NamedButton("1:N", "id1173", this);
  area_mask_ = Check("+Area mask", "id1224", this);
  scl_mask_ = Check("+SCL mask", "id1225", this);
  hit_mark_ = Check("+Hit mark", "id1223", this);
  deinterlace_ = Check("DeInterlace Stepping", "id1228", this);
  base_field_ = new QLineEdit(this);
  base_field_->setObjectName(QStringLiteral("id1221"));
  base_field_->setAccessibleName(QStringLiteral("Clip"));
  base_field_->setReadOnly(true);
  video_ = new VideoArea(this);
  video_->setObjectName(QStringLiteral("id1180"));
  video_->setAccessibleName(QStringLiteral("Picture"));
  video_->installEventFilter(this);
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName(QStringLiteral("id1174"));
  slider_->setAccessibleName(QStringLiteral("Position"));
  slider_->setRange(0, 0);
  play_start_ = NamedButton("| >", "id1167", this);
  step_back_ = NamedButton("||<", "id1172", this);
  play_ = NamedButton(">", "id1227", this);
  step_forward_ = NamedButton(">||", "id1171", this);
  head_ = NamedButton("|| H", "id1191", this);
  snapshot_ = NamedButton("SnapShot+", "id1229", this);

  auto* top = new QHBoxLayout;
  for (QPushButton* b : {prev_, next_, still_}) top->addWidget(b);
  top->addStretch(1);
  top->addWidget(one_to_n_);
  auto* checks = new QHBoxLayout;
  for (QCheckBox* c : {area_mask_, scl_mask_, hit_mark_, deinterlace_}) checks->addWidget(c);
  checks->addStretch(1);
  auto* transport = new QHBoxLayout;
  for (QPushButton* b : {play_start_, step_back_, play_, step_forward_, head_, snapshot_})
    transport->addWidget(b);
  transport->addStretch(1);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(6, 6, 6, 6);
  page->setSpacing(4);
  page->addLayout(top);
  page->addLayout(checks);
  page->addWidget(base_field_);
  page->addWidget(video_, 1);
  page->addWidget(slider_);
  page->addLayout(transport);

  connect(prev_, &QPushButton::clicked, this, [this] {
    if (prev_clip) prev_clip();
  });
  connect(next_, &QPushButton::clicked, this, [this] {
    if (next_clip) next_clip();
  });
  connect(still_, &QPushButton::clicked, this, [this] { ShowStill(); });
  connect(one_to_n_, &QPushButton::clicked, this, [this] {
    if (fit_window) fit_window();
  });
  auto toggle = [this](QCheckBox* box, int32_t& setting) {
    connect(box, &QCheckBox::toggled, this, [this, &setting](bool on) {
      setting = on ? 1 : 0;
      ShowStill();
    });
  };
  toggle(area_mask_, app_.ap.r_amask);
  toggle(scl_mask_, app_.ap.r_smask);
  toggle(hit_mark_, app_.ap.r_hmark);
  connect(deinterlace_, &QCheckBox::toggled, this, [this](bool on) {
    StoreShared(app_.rib.deinterace, on ? 1 : 0);
    // The field view needs RGB frames, chosen when the graph is built: the next command
    // builds it again for the new choice.
    if (VideoOpen()) ShowStill();
  });
  connect(play_start_, &QPushButton::clicked, this, [this] { PlayFromStart(); });
  connect(step_back_, &QPushButton::clicked, this, [this] { StepBack(); });
  connect(play_, &QPushButton::clicked, this, [this] { PlayPause(); });
  connect(step_forward_, &QPushButton::clicked, this, [this] { StepForward(); });
  connect(head_, &QPushButton::clicked, this, [this] { SeekHead(); });
  connect(snapshot_, &QPushButton::clicked, this, [this] { SaveSnapshot(); });
  connect(slider_, &QSlider::valueChanged, this, [this](int ms) {
    if (setting_slider_ || !clip_has_video_) return;
    if (!PrepareReplayFile()) return;
    Post(replay::kReplaySeek, ms);
  });
  connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });

  video_->SetVideoSize(app_.ib.cx, app_.ib.cy);
  LoadChecks();
}

ReplayPage::~ReplayPage() {
  // The replay thread may still hand a frame over: it finds the picture closed.
  std::lock_guard lock(frame_mu_);
  frames_on_ = false;
}

void ReplayPage::FillHooks(replay::ReplayHooks& hooks) {
  hooks.make_video_sink = [this] {
    return replay::MakeReplayPictureSink([this](const media::PreviewFrame& frame) {
      std::lock_guard lock(frame_mu_);
      if (frames_on_) video_->OnFrame(frame);
    });
  };
  hooks.set_slider_range = [this](int64_t duration_ms) {
    QMetaObject::invokeMethod(
        this,
        [this, duration_ms] {
          setting_slider_ = true;
          slider_->setRange(0, static_cast<int>(duration_ms));
          setting_slider_ = false;
        },
        Qt::QueuedConnection);
  };
  hooks.set_slider = [this](int64_t ms) {
    QMetaObject::invokeMethod(
        this, [this, ms] { SetSlider(ms); }, Qt::QueuedConnection);
  };
  hooks.set_play_text = [this](const char* text) {
    const QString caption = QString::fromLatin1(text);
    QMetaObject::invokeMethod(
        this, [this, caption] { SetPlayText(caption); }, Qt::QueuedConnection);
  };
  hooks.command_done = [this](int) { commands_done_.fetch_add(1); };
}

int ReplayPage::replay_state() const {
  return thread_ ? thread_->replay_state() : replay::kNoGraph;
}

bool ReplayPage::VideoOpen() const {
  return video_posted_ || replay_state() != replay::kNoGraph;
}

void ReplayPage::Post(int command, int64_t value) {
  if (!thread_) return;
  ++commands_posted_;
  if (command != replay::kReplayClose) {
    video_posted_ = true;
    std::lock_guard lock(frame_mu_);
    frames_on_ = true;
  }
  thread_->Post(command, value);
}

void ReplayPage::SetPlayText(const QString& text) {
  play_->setText(text);
  play_->setAccessibleName(text);
}

void ReplayPage::SetSlider(int64_t ms) {
  setting_slider_ = true;
  slider_->setValue(static_cast<int>(ms));
  setting_slider_ = false;
}

void ReplayPage::LoadChecks() {
  const QSignalBlocker b1(area_mask_), b2(scl_mask_), b3(hit_mark_), b4(deinterlace_);
  area_mask_->setChecked(app_.ap.r_amask != 0);
  scl_mask_->setChecked(app_.ap.r_smask != 0);
  hit_mark_->setChecked(app_.ap.r_hmark != 0);
  deinterlace_->setChecked(LoadShared(app_.rib.deinterace) != 0);
}

void ReplayPage::StopReplay() {
  timer_.stop();
  {
    std::lock_guard lock(frame_mu_);
    frames_on_ = false;
  }
  if (VideoOpen()) {
    Post(replay::kReplayClose);
    video_posted_ = false;
  }
  SetPlayText(QStringLiteral(">"));
}

void ReplayPage::DeleteCacheCopy() {
  if (!cache_file_.empty()) {
    std::error_code ec;
    fs::remove(cache_file_, ec);
    cache_file_.clear();
  }
  cache_failed_ = false;
}

bool ReplayPage::PrepareReplayFile() {
  if (!clip_has_video_ || !thread_) return false;
  const std::string cache_dir = FieldUtf8(app_.ap.cache_dir);
  std::string file = clip_video_path_;
  if (!cache_dir.empty() && !cache_failed_) {
    if (cache_file_.empty()) {
      const std::string copy = ReplayCachePath(cache_dir, clip_name_);
      if (!SameFile(copy, clip_video_path_)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::error_code ec;
        fs::copy_file(clip_video_path_, copy, fs::copy_options::overwrite_existing, ec);
        QApplication::restoreOverrideCursor();
        if (ec) {
          // A short copy would play as a broken clip: the clip itself is played instead.
          std::error_code ignored;
          fs::remove(copy, ignored);
          cache_failed_ = true;
          ReportMessage("Cache copy failed\n %s\n %s", copy.c_str(), clip_video_path_.c_str());
        } else {
          cache_file_ = copy;
        }
      }
    }
    if (!cache_file_.empty()) file = cache_file_;
  }
  thread_->SetReplayFile(file);
  return true;
}

void ReplayPage::SelectClip(int index, const QString& name) {
  if (!showing_) return;
  StopReplay();
  DeleteCacheCopy();
  std::optional<ReplayClipInfo> info = clip_info ? clip_info(index) : std::nullopt;
  if (index < 0 || !info) {
    clip_selected_ = false;
    clip_name_.clear();
    base_path_.clear();
    clip_video_path_.clear();
    clip_has_video_ = false;
    stills_ = {};
    if (thread_) thread_->SetReplayFile("");
    FillGrey();
    ShowImage();
  } else {
    clip_selected_ = true;
    clip_name_ = name.toStdString();
    clip_has_video_ = info->has_video;
    stills_ = info->stills;
    base_path_ = info->directory + "/" + clip_name_;
    clip_video_path_ = base_path_ + ".avi";
    if (thread_) thread_->SetReplayFile("");
    ShowStill();
  }
  base_field_->setText(QString::fromStdString(base_path_));
}

void ReplayPage::ShowStill() {
  if (VideoOpen()) StopReplay();
  if (!clip_selected_) {
    ShowImage();
    return;
  }
  StillOverlays overlays;
  overlays.area_mask = app_.ap.r_amask != 0;
  overlays.scl_mask = app_.ap.r_smask != 0;
  overlays.hit_mark = app_.ap.r_hmark != 0;
  const StillLoad load = LoadStill(base_path_, stills_, overlays, image_);
  // A clip without a readable still shows grey, not the picture of the clip before it.
  if (!load.shown) FillGrey();
  ShowImage();
  for (const std::string& text : load.messages) ReportMessage("%s", text.c_str());
}

void ReplayPage::FillGrey() {
  if (!image_.valid()) image_.Resize(std::max(1, app_.ib.cx), std::max(1, app_.ib.cy));
  std::fill(image_.bgr.begin(), image_.bgr.end(), kNoClipGrey);
}

void ReplayPage::ShowImage() {
  video_->ShowIdleImage(image_.valid() ? &image_ : nullptr);
}

void ReplayPage::StartTimer(int period_ms) {
  if (!timer_.isActive()) timer_.start(period_ms);
}

void ReplayPage::OnTimer() {
  if (!thread_ || thread_->replay_state() != replay::kRunning) return;
  // The frame last handed to the picture is where the clip stands.
  const int64_t shown = thread_->engine().shown_frame();
  if (shown >= 0 && !slider_->isSliderDown()) SetSlider(shown / 10000);
}

void ReplayPage::PlayFromStart() {
  if (!PrepareReplayFile()) return;
  Post(replay::kReplayStepForward);
  SetPlayText(QStringLiteral("||"));
  StartTimer(kPlayTimerMs);
  Post(replay::kReplayPlay);
}

void ReplayPage::PlayPause() {
  if (!PrepareReplayFile()) return;
  if (replay_state() == replay::kRunning) {
    SetPlayText(QStringLiteral(">"));
  } else {
    Post(replay::kReplayStepForward);
    SetPlayText(QStringLiteral("||"));
  }
  StartTimer(kPauseTimerMs);
  Post(replay::kReplayPause);
}

void ReplayPage::StepForward() {
  if (!PrepareReplayFile()) return;
  SetPlayText(QStringLiteral(">"));
  Post(replay::kReplayStepForward);
}

void ReplayPage::StepBack() {
  if (!PrepareReplayFile()) return;
  SetPlayText(QStringLiteral(">"));
  Post(replay::kReplayStepBack);
}

void ReplayPage::SeekHead() {
  if (!PrepareReplayFile()) return;
  SetPlayText(QStringLiteral(">"));
  Post(replay::kReplaySeek, HeadSeekMs(app_.ib.fps, app_.ib.fs_head));
}

void ReplayPage::SaveSnapshot() {
  if (!PrepareReplayFile()) return;
  // Saved on the replay thread after the commands before it: the snapshot buffer then
  // holds the frame they left on show, and the graph cannot go away meanwhile.
  AppContext* app = &app_;
  replay::CReplayThread* thread = thread_;
  const std::string stem = SnapshotStem(clip_video_path_);
  QMetaObject::invokeMethod(
      thread_,
      [app, thread, stem] {
        replay::ReplayEngine& engine = thread->engine();
        const ReplayBlock& rb = engine.block();
        const uint8_t* pixels = rb.replay_snapshot;  // set and cleared on this thread only
        if (engine.state() == replay::kNoGraph || !pixels || rb.clip_pixels <= 0) return;
        const int64_t at = engine.shown_frame() >= 0 ? engine.shown_frame() : rb.replay_pos;
        const int n =
            SnapshotNumber(at, rb.clip_fps, rb.deinterace != 0, app->ap.bbf, rb.field_odd);
        Image24 frame;
        frame.Resize(rb.clip_width, rb.clip_height);
        std::copy_n(pixels, frame.bgr.size(), frame.bgr.begin());
        if (app->ap.jpg) {
          const std::string path = SnapshotPath(stem, n, "jpg");
          if (Status s = SaveImageAsJpeg(path, frame); !s)
            ReportMessage(
                "%s", s.message().empty() ? ("cannot write " + path).c_str() : s.message().c_str());
        }
        if (app->ap.bmp) {
          const std::string path = SnapshotPath(stem, n, "bmp");
          if (Status s = WriteBmp24(path, frame); !s)
            ReportMessage(
                "%s", s.message().empty() ? ("cannot write " + path).c_str() : s.message().c_str());
        }
      },
      Qt::QueuedConnection);
  StepForward();
}

void ReplayPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;  // the window coming back is not entering the page
  showing_ = true;
  video_->SetVideoSize(app_.ib.cx, app_.ib.cy);
  LoadChecks();
  if (db_page_showing && db_page_showing()) {
    if (focus_db_list) focus_db_list();
  } else if (show_db_page) {
    show_db_page();
  }
}

void ReplayPage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous()) return;  // minimising the window is not leaving the page
  showing_ = false;
  if (VideoOpen()) ShowStill();
}

void ReplayPage::customEvent(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(replay::kReplayGraphEvent) && thread_)
    thread_->HandleGraphEvents();
}

bool ReplayPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched != video_) return QWidget::eventFilter(watched, event);
  if (event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    PlayPause();
    return true;
  }
  if (event->type() == QEvent::Wheel) {
    // Towards the user: on; away: back.
    const int turn = static_cast<QWheelEvent*>(event)->angleDelta().y();
    if (turn < 0) StepForward();
    if (turn > 0) StepBack();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orvanta::ui
