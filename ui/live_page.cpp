#include "ui/live_page.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QMetaObject>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "app/text_utf.h"
#include "capture/live_graph_steps.h"
#include "capture/media/sound_player.h"
#include "detectfilter/shared_field.h"
#include "ui/controls.h"
#include "ui/live_values.h"
#include "ui/status_strip_rules.h"

namespace orvanta::ui {
namespace {

QProgressBar* Meter(int max, const char* id, const char* name, QWidget* parent) {
  auto* m = new QProgressBar(parent);
  m->setObjectName(QString::fromLatin1(id));
  m->setAccessibleName(QString::fromLatin1(name));
  m->setRange(0, max);
  m->setValue(0);
  m->setTextVisible(false);
  m->setMaximumHeight(12);
  return m;
}

QSlider* Track(int lo, int hi, const char* id, const QString& name, QWidget* parent) {
  auto* t = new QSlider(Qt::Horizontal, parent);
  t->setObjectName(QString::fromLatin1(id));
  t->setAccessibleName(name);
  t->setRange(lo, hi);
  return t;
}

}  // namespace

LivePage::LivePage(AppContext& app, capture::CaptureState& state, QWidget* parent)
    : QWidget(parent), app_(app), state_(state) {
  setObjectName(QStringLiteral("id129"));
  const QString size_name = QStringLiteral("Detect Size");
  const QString lev_name = QStringLiteral("Detect Lev");
  const QString audio_name = QStringLiteral("Audio");

  detect_ = Button("Detect", "id1030", this);
  preview_ = Button("Preview", "id1031", this);
  stop_ = Button("Stop", "id1032", this);
  rec_ = Button("Rec", "id1034", this);
  one_to_n_ = Button("1:N", "id1033", this);
  stop_->setEnabled(false);
  rec_->setEnabled(false);
  video_ = new VideoArea(this);
  video_->setObjectName(QStringLiteral("id1035"));
  video_->setAccessibleName(QStringLiteral("Video"));
  status_ = new StatusStrip(this);
  status_->setObjectName(QStringLiteral("status"));

  dsize_edit_ = NumberEdit("id1059", size_name, 72, this);
  dsize_updown_ = new UpDown(
      size_name,
      [this](int d) {
        SetDsize(std::clamp(LoadShared(app_.ib.dsize) + d, kDsizeMin, kDsizeMax), true);
      },
      this);
  dsize_updown_->setObjectName(QStringLiteral("id1060"));
  dsize_track_ = Track(kDsizeTrackMin, kDsizeTrackMax, "id1066", size_name, this);
  hits_ = Meter(kHitsMeterMax, "id1063", "Hits", this);
  dlev_edit_ = NumberEdit("id1061", lev_name, 72, this);
  dlev_updown_ = new UpDown(
      lev_name,
      [this](int d) {
        SetDlev(std::clamp(LoadShared(app_.ib.dlev) + d, kDlevMin, kDlevMax), true);
      },
      this);
  dlev_updown_->setObjectName(QStringLiteral("id1062"));
  dlev_track_ = Track(0, kDlevTrackMax, "id1064", lev_name, this);
  level_ = Meter(255, "id1065", "Level", this);
  alev_track_ = Track(0, kAlevMax, "id1174", audio_name, this);
  apeak_ = Meter(kAlevMax, "id1271", "Audio peak", this);

  auto* size_label = new QLabel(size_name, this);
  size_label->setBuddy(dsize_edit_);
  auto* lev_label = new QLabel(lev_name, this);
  lev_label->setBuddy(dlev_edit_);
  auto* audio_label = new QLabel(audio_name, this);
  audio_label->setBuddy(alev_track_);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {detect_, preview_, stop_, rec_}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(one_to_n_);
  auto* strip = new QHBoxLayout;
  strip->addWidget(status_);
  strip->addStretch(1);

  auto* values = new QGridLayout;
  values->setHorizontalSpacing(6);
  values->setVerticalSpacing(2);
  values->addWidget(size_label, 0, 0);
  values->addWidget(dsize_edit_, 0, 1);
  values->addWidget(dsize_updown_, 0, 2);
  values->addWidget(dsize_track_, 0, 3);
  values->addWidget(hits_, 1, 3);
  values->addWidget(lev_label, 2, 0);
  values->addWidget(dlev_edit_, 2, 1);
  values->addWidget(dlev_updown_, 2, 2);
  values->addWidget(dlev_track_, 2, 3);
  values->addWidget(level_, 3, 3);
  auto* audio = new QHBoxLayout;
  audio->addWidget(alev_track_, 1);
  audio->addWidget(apeak_, 1);
  values->addWidget(audio_label, 4, 0);
  values->addLayout(audio, 4, 1, 1, 3);
  values->setColumnStretch(3, 1);

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(6, 6, 6, 6);
  page->setSpacing(4);
  page->addLayout(strip);
  page->addLayout(buttons);
  page->addWidget(video_, 1);
  page->addLayout(values);

  connect(detect_, &QPushButton::clicked, this, [this] { OnDetect(); });
  connect(preview_, &QPushButton::clicked, this, [this] { OnPreview(); });
  connect(stop_, &QPushButton::clicked, this, [this] { OnStop(); });
  connect(rec_, &QPushButton::clicked, this, [this] { OnRec(); });
  connect(one_to_n_, &QPushButton::clicked, this, [this] {
    if (fit_window) fit_window();
  });

  connect(dsize_edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const std::string typed = text.toStdString();
    const int v = ClampEditText(typed, kDsizeMin, kDsizeMax, LoadShared(app_.ib.dsize));
    SetDsize(v, ClampEditText(typed, INT_MIN, INT_MAX, v) != v);
  });
  connect(dsize_edit_, &QLineEdit::editingFinished, this,
          [this] { dsize_edit_->setText(QString::number(LoadShared(app_.ib.dsize))); });
  connect(dsize_track_, &QSlider::valueChanged, this, [this](int position) {
    if (!loading_) SetDsize(std::clamp(FromCompressed(position), kDsizeMin, kDsizeMax), true);
  });
  connect(dlev_edit_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const std::string typed = text.toStdString();
    const int v = ClampEditText(typed, kDlevMin, kDlevMax, LoadShared(app_.ib.dlev));
    SetDlev(v, ClampEditText(typed, INT_MIN, INT_MAX, v) != v);
  });
  connect(dlev_edit_, &QLineEdit::editingFinished, this,
          [this] { dlev_edit_->setText(QString::number(LoadShared(app_.ib.dlev))); });
  connect(dlev_track_, &QSlider::valueChanged, this, [this](int position) {
    if (!loading_) SetDlev(position, true);
  });
  connect(alev_track_, &QSlider::valueChanged, this, [this](int value) {
    if (!loading_) StoreShared(app_.ib.alev, value);
  });
  connect(&refresh_, &QTimer::timeout, this, [this] { Refresh(); });

  video_->SetVideoSize(app_.ib.cx, app_.ib.cy);
  video_->ShowIdleImage(&state_.live_image);
  LoadControls();
  RefreshStatus();
}

void LivePage::OnGui(std::function<void()> work) {
  QMetaObject::invokeMethod(this, std::move(work), Qt::AutoConnection);
}

void LivePage::FillHooks(capture::LivePageHooks& hooks) {
  hooks.reset_audio_meter = [this] { OnGui([this] { apeak_->setValue(0); }); };
  hooks.start_refresh = [this](int period_ms) {
    OnGui([this, period_ms] {
      wake_ticks_ = 0;
      refresh_.start(period_ms);
    });
  };
  hooks.stop_refresh = [this] { OnGui([this] { refresh_.stop(); }); };
  hooks.refresh_status = [this] { OnGui([this] { RefreshStatus(); }); };
  auto input_page = hooks.input_page_running;
  hooks.input_page_running = [this, input_page](bool running) {
    if (input_page) input_page(running);
    OnGui([this] { SyncControls(); });
  };
}

void LivePage::OnDetect() {
  if (controller_) controller_->Detect();
  SyncControls();
}

void LivePage::OnPreview() {
  if (controller_) controller_->Preview();
  SyncControls();
}

void LivePage::OnStop() {
  if (controller_) controller_->Stop();
  SyncControls();
}

void LivePage::OnRec() {
  if (controller_) controller_->ToggleRec(false);
  SyncControls();
}

void LivePage::SyncControls() {
  if (!controller_) return;
  const capture::LiveButtons b = controller_->buttons();
  detect_->setEnabled(b.detect);
  preview_->setEnabled(b.preview);
  stop_->setEnabled(b.stop);
  rec_->setEnabled(b.rec);
  rec_->setText(QString::fromStdString(controller_->rec_caption()));
}

void LivePage::SetDsize(int value, bool rewrite_edit) {
  StoreShared(app_.ib.dsize, value);
  const bool was = loading_;
  loading_ = true;
  dsize_track_->setValue(ToCompressed(value));
  if (rewrite_edit) dsize_edit_->setText(QString::number(value));
  loading_ = was;
}

void LivePage::SetDlev(int value, bool rewrite_edit) {
  StoreShared(app_.ib.dlev, value);
  last_dlev_set_ = value;
  const bool was = loading_;
  loading_ = true;
  dlev_track_->setValue(value);
  if (rewrite_edit) dlev_edit_->setText(QString::number(value));
  loading_ = was;
}

void LivePage::LoadControls() {
  SetDsize(std::clamp(LoadShared(app_.ib.dsize), kDsizeMin, kDsizeMax), true);
  SetDlev(LoadShared(app_.ib.dlev), true);
  loading_ = true;
  alev_track_->setValue(LoadShared(app_.ib.alev));
  loading_ = false;
}

void LivePage::RefreshStatus() {
  DetectionBlock& ib = app_.ib;
  StatusInputs in;
  in.rec_remain = LoadShared(ib.rec_remain);
  in.warmup = LoadShared(ib.warmup);
  in.live_state = controller_ ? controller_->live_state() : 0;
  in.force_rec = LoadShared(ib.force_rec);
  in.detect_on = LoadShared(ib.detect_on);
  in.deliver_errors = LoadShared(ib.deliver_errors);
  in.late_frames = LoadShared(ib.late_frames);
  // The text is chosen again only when the state changes; the uploader's suffix is read
  // at every drawing.
  const int code = StatusCode(in);
  const bool changed = code != last_status_code_;
  if (changed) {
    last_status_code_ = code;
    status_choice_ = ChooseStatus(in);
  }
  const StatusChoice& choice = status_choice_;
  const std::string suffix = controller_ ? controller_->status_suffix() : std::string();
  status_->Set(QString::fromStdString(choice.text + suffix),
               QColor(choice.red, choice.green, choice.blue));
  if (changed && choice.plays_record_sound && app_.ap.beep) {
    const std::string sound = FieldUtf8(app_.ap.snd);
    if (sound.empty() || !media::PlaySoundFile(sound)) QApplication::beep();
  }
}

void LivePage::Refresh() {
  DetectionBlock& ib = app_.ib;
  RefreshStatus();
  hits_->setValue(std::clamp(ToCompressed(LoadShared(ib.hits)), 0, kHitsMeterMax));
  level_->setValue(std::clamp(LoadShared(ib.level), 0, 255));
  if (capture::Named(FieldUtf8(app_.ap.dv_audio_device)))
    apeak_->setValue(std::clamp(LoadShared(ib.apeak), 0, kAlevMax));
  // Noise tracking moves dlev in the filter; the controls follow.
  const int dlev = LoadShared(ib.dlev);
  if (dlev != last_dlev_set_) SetDlev(dlev, true);
  if (isVisible() && app_.ap.onesecwakeup && wake_ticks_++ % 11 == 0) video_->update();
  SyncControls();
}

void LivePage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  StoreShared(app_.ib.preview_off, 0);
  StoreShared(app_.ib.live_shown, 1);
  video_->SetVideoSize(app_.ib.cx, app_.ib.cy);
  if (!(resizing && resizing())) LoadControls();
}

void LivePage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // Minimising the window is not leaving the page.
  if (!event->spontaneous()) StoreShared(app_.ib.preview_off, 1);
}

}  // namespace orvanta::ui
