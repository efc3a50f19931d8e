#include "ui/operation_page.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QShowEvent>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "app/profiles.h"
#include "app/text_utf.h"
#include "clipnaming/disk_space.h"
#include "products/ftp_upload.h"
#include "ui/ftp_dialog.h"
#include "ui/schedule_dialog.h"
#include "ui/station_page_rules.h"

namespace orvanta::ui {
namespace {

constexpr int kClockWidth = 30;

QGroupBox* Group(const char* title, QWidget* parent) {
  auto* g = new QGroupBox(QString::fromLatin1(title), parent);
  g->setAccessibleName(QString::fromLatin1(title));
  return g;
}

QGridLayout* Grid(QWidget* group) {
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(4, 2, 4, 2);
  grid->setHorizontalSpacing(3);
  grid->setVerticalSpacing(1);
  return grid;
}

QLineEdit* ReadOnly(const char* id, const QString& name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(id));
  e->setAccessibleName(name);
  e->setReadOnly(true);
  return e;
}

}  // namespace

FlagBox* OperationPage::Flag(const char* key, const char* id, const char* caption) {
  auto* f = new FlagBox(app_, key, id, QString::fromLatin1(caption), this);
  flags_.push_back(f);
  return f;
}

IntEdit* OperationPage::Number(const char* key, const char* id, const QString& name, bool rewrite,
                               int width) {
  auto* e = new IntEdit(app_, key, id, name, rewrite, this);
  e->setFixedWidth(width);
  numbers_.push_back(e);
  return e;
}

QPushButton* OperationPage::Button(const char* caption, const char* id, const QString& name) {
  auto* b = new QPushButton(QString::fromLatin1(caption), this);
  b->setObjectName(QString::fromLatin1(id));
  b->setAccessibleName(name);
  b->setAutoDefault(false);
  return b;
}

OperationPage::OperationPage(AppContext& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName(QStringLiteral("id133"));
  setAccessibleName(QStringLiteral("Operation"));

  // The page holds more controls than any other in the narrow left sheet: a point smaller.
  QFont small = font();
  small.setPointSizeF(std::max(7.0, small.pointSizeF() - 1));
  setFont(small);

  // Start, files and preview.
  auto* general = new QGridLayout;
  general->setVerticalSpacing(0);
  general->addWidget(Flag("AP.md_autorun", "id1082", "Start Detect at Activation"), 0, 0);
  general->addWidget(Flag("AP.onesecwakeup", "id1350", "1sec forground"), 0, 1);
  general->addWidget(Flag("AP.nottrash", "id1349", "Do Not Use Trash Box"), 1, 0);
  general->addWidget(Flag("AP.VMR9", "id1351", "use VMR9"), 1, 1);
  general->setColumnStretch(2, 1);

  // Still images.
  QGroupBox* images = Group("Images", this);
  QGridLayout* ig = Grid(images);
  FlagBox* snap = Flag("IF.im_snap", "id1205", "SnapShot(*)");
  FlagBox* peak = Flag("IF.im_peak", "id1207", "PeakHold(*)");
  // A clip keeps one full-size still: the snapshot or the peak hold, not both.
  snap->changed = [peak](bool on) {
    if (on && peak->isChecked()) peak->click();
  };
  peak->changed = [snap](bool on) {
    if (on && snap->isChecked()) snap->click();
  };
  auto* kinds = new QHBoxLayout;
  kinds->setSpacing(4);
  kinds->addWidget(snap);
  kinds->addWidget(peak);
  kinds->addWidget(Flag("IF.im_map", "id1080", "Map bmp"));
  kinds->addStretch(1);
  ig->addLayout(kinds, 0, 0);
  auto* files = new QHBoxLayout;
  files->setSpacing(4);
  files->addWidget(Flag("AP.bmp", "id1077", "*bmp"));
  files->addWidget(Flag("AP.jpg", "id1296", "*jpg"));
  files->addWidget(Flag("AP.leavelong", "id1081", "Leave Image of Long Clip"));
  files->addStretch(1);
  ig->addLayout(files, 1, 0);
  auto* thumb = new QHBoxLayout;
  thumb->setSpacing(2);
  thumb->addWidget(Flag("AP.thumbnail", "id1294", "Thumbnail"));
  IntEdit* sj_cx = Number("AP.sj_cx", "id1300", QStringLiteral("X:"), false, 36);
  IntEdit* sj_cy = Number("AP.sj_cy", "id1302", QStringLiteral("Y:"), false, 36);
  thumb->addWidget(Caption(QStringLiteral("X:"), sj_cx, this));
  thumb->addWidget(sj_cx);
  thumb->addWidget(AttachUpDown(sj_cx, "id1301", false, this));
  thumb->addWidget(Caption(QStringLiteral("Y:"), sj_cy, this));
  thumb->addWidget(sj_cy);
  thumb->addWidget(AttachUpDown(sj_cy, "id1303", false, this));
  thumb->addWidget(Flag("AP.tmark", "id1305", "+Mark"));
  thumb->addStretch(1);
  ig->addLayout(thumb, 2, 0);

  // The two schedule windows.
  QGroupBox* sched = Group("Detect Schedule (LT)", this);
  QGridLayout* sg = Grid(sched);
  struct Edge {
    const char *h, *hid, *hud, *m, *mid, *mud;
  };
  const char* on_ids[2] = {"id1083", "id1094"};
  const char* zvi_ids[2] = {"id1092", "id1103"};
  const char* choose_ids[2] = {"id1093", "id1104"};
  const Edge edges[2][2] = {
      {{"AP.sd[0].h1", "id1084", "id1085", "AP.sd[0].m1", "id1086", "id1087"},
       {"AP.sd[0].h2", "id1088", "id1089", "AP.sd[0].m2", "id1090", "id1091"}},
      {{"AP.sd[1].h1", "id1095", "id1096", "AP.sd[1].m1", "id1097", "id1098"},
       {"AP.sd[1].h2", "id1099", "id1100", "AP.sd[1].m2", "id1101", "id1102"}}};
  for (int w = 0; w < 2; ++w) {
    const QString window = QStringLiteral("Schedule%1").arg(w + 1);
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    FlagBox* on = Flag(w == 0 ? "AP.sd[0].on" : "AP.sd[1].on", on_ids[w], w == 0 ? "1" : "2");
    on->setAccessibleName(window + QStringLiteral(" on"));
    row->addWidget(on);
    for (int e = 0; e < 2; ++e) {
      const Edge& edge = edges[w][e];
      const QString at = window + (e == 0 ? QStringLiteral(" from") : QStringLiteral(" to"));
      if (e == 1) row->addWidget(new QLabel(QStringLiteral("to"), this));
      IntEdit* h = Number(edge.h, edge.hid, at + QStringLiteral(" h"), true, kClockWidth);
      IntEdit* m = Number(edge.m, edge.mid, at + QStringLiteral(" m"), true, kClockWidth);
      UpDown* hud = AttachUpDown(h, edge.hud, true, this);
      UpDown* mud = AttachUpDown(m, edge.mud, true, this);
      row->addWidget(h);
      row->addWidget(hud);
      row->addWidget(new QLabel(QStringLiteral("h"), this));
      row->addWidget(m);
      row->addWidget(mud);
      row->addWidget(new QLabel(QStringLiteral("m"), this));
      schedule_times_.insert(schedule_times_.end(), {h, hud, m, mud});
    }
    row->addStretch(1);
    sg->addLayout(row, w * 2, 0, 1, 3);
    profile_[w] = ReadOnly(zvi_ids[w], window + QStringLiteral(" Settings"), this);
    QPushButton* choose = Button("...", choose_ids[w], window + QStringLiteral(" Settings ..."));
    choose->setFixedWidth(28);
    connect(choose, &QPushButton::clicked, this, [this, w] { ChooseProfile(w); });
    sg->addWidget(Caption(QStringLiteral("Settings"), profile_[w], this), w * 2 + 1, 0);
    sg->addWidget(profile_[w], w * 2 + 1, 1);
    sg->addWidget(choose, w * 2 + 1, 2);
  }
  auto* sun = new QHBoxLayout;
  FlagBox* follow_sun = Flag("AP.sunset", "id1322", "Auto Adjust to Sun");
  follow_sun->changed = [this](bool) { RefreshSchedule(); };
  QPushButton* sun_settings = Button("settings", "id1323", QStringLiteral("settings"));
  connect(sun_settings, &QPushButton::clicked, this, [this] { OpenScheduleDialog(); });
  sun->addWidget(follow_sun);
  sun->addWidget(sun_settings);
  sun->addStretch(1);
  sg->addLayout(sun, 4, 0, 1, 3);

  // Free space on the clip drive.
  QGroupBox* disk = Group("HDD/SSD", this);
  QGridLayout* dg = Grid(disk);
  free_mb_edit_ = Number("AP.limit_MB", "id1109", QStringLiteral("Minimum Free Space"), true, 70);
  free_now_ = new QLabel(this);
  free_now_->setObjectName(QStringLiteral("id1209"));
  free_now_->setAccessibleName(QStringLiteral("Free space now"));
  auto* limit = new QHBoxLayout;
  limit->setSpacing(3);
  limit->addWidget(Caption(QStringLiteral("Minimum Free Space"), free_mb_edit_, this));
  limit->addWidget(free_mb_edit_);
  limit->addWidget(new QLabel(QStringLiteral("MB"), this));
  limit->addStretch(1);
  dg->addLayout(limit, 0, 0, 1, 3);
  FlagBox* stop = Flag("AP.limit_stop", "id1110", "Stop");
  FlagBox* del = Flag("AP.limit_delday", "id1111", "Delete Oldest in dir");
  stop->changed = [del](bool on) {
    if (on && del->isChecked()) del->click();
  };
  del->changed = [stop](bool on) {
    if (on && stop->isChecked()) stop->click();
  };
  auto* rule = new QHBoxLayout;
  rule->addWidget(stop);
  rule->addWidget(del);
  rule->addStretch(1);
  rule->addWidget(free_now_);
  dg->addLayout(rule, 1, 0, 1, 3);
  dg->addWidget(Flag("AP.timestamp", "id1366", "5min Interval TimeStamp (keep spin up)"), 2, 0, 1,
                3);
  cache_dir_ = ReadOnly("id1119", QStringLiteral("Replay Cache Dir"), this);
  QPushButton* cache = Button("...", "id1120", QStringLiteral("Replay Cache Dir ..."));
  cache->setFixedWidth(28);
  connect(cache, &QPushButton::clicked, this, [this] { ChooseCacheDir(); });
  dg->addWidget(Caption(QStringLiteral("Replay Cache Dir"), cache_dir_, this), 3, 0);
  dg->addWidget(cache_dir_, 3, 1);
  dg->addWidget(cache, 3, 2);

  // The sound at a capture's start and the command at its end.
  QGroupBox* action = Group("Action", this);
  QGridLayout* ag = Grid(action);
  auto* snd =
      new TextEdit(app_, "AP.snd", "id1114", QStringLiteral("Beep at Capture Start .wav"), this);
  auto* bat =
      new TextEdit(app_, "AP.bat", "id1117", QStringLiteral("Action at Capture End .bat"), this);
  texts_ = {snd, bat};
  QPushButton* choose_snd = Button("...", "id1115", QStringLiteral("Sound file ..."));
  QPushButton* choose_bat = Button("...", "id1118", QStringLiteral("Action command ..."));
  choose_snd->setFixedWidth(28);
  choose_bat->setFixedWidth(28);
  connect(choose_snd, &QPushButton::clicked, this, [this] { ChooseSound(); });
  connect(choose_bat, &QPushButton::clicked, this, [this] { ChooseCommand(); });
  ag->addWidget(Flag("AP.beep", "id1113", "Beep at Capture Start .wav"), 0, 0);
  ag->addWidget(snd, 1, 0);
  ag->addWidget(choose_snd, 1, 1);
  ag->addWidget(Flag("AP.action", "id1116", "Action at Capture End .bat"), 2, 0);
  ag->addWidget(bat, 3, 0);
  ag->addWidget(choose_bat, 3, 1);

  // FTP upload of the clips' images.
  QGroupBox* ftp = Group("FTP Transfer", this);
  QGridLayout* fg = Grid(ftp);
  auto* switches = new QHBoxLayout;
  switches->setSpacing(3);
  switches->addWidget(Flag("AP.ftp_on", "id1273", "FTP"));
  switches->addWidget(Flag("AP.ftp_jpg", "id1297", "S/Pjpeg"));
  switches->addWidget(Flag("AP.ftp_small", "id1298", "Tjpeg"));
  IntEdit* rc = Number("AP.ftp_rc", "id1274", QStringLiteral("+no."), false, 40);
  switches->addWidget(Caption(QStringLiteral("+no."), rc, this));
  switches->addWidget(rc);
  switches->addWidget(AttachUpDown(rc, "id1275", false, this));
  switches->addStretch(1);
  fg->addLayout(switches, 0, 0);
  auto* server = new QHBoxLayout;
  server->setSpacing(3);
  QPushButton* ftp_settings = Button("FTP Settings", "id1304", QStringLiteral("FTP Settings"));
  connect(ftp_settings, &QPushButton::clicked, this, [this] { OpenFtpDialog(); });
  clear_ = Button("Clear", "id1345", QStringLiteral("Clear"));
  connect(clear_, &QPushButton::clicked, this, [this] { ClearServerImages(); });
  clear_result_ = new QLabel(this);
  clear_result_->setObjectName(QStringLiteral("ftp_clear_result"));
  clear_result_->setAccessibleName(QStringLiteral("Clear result"));
  // A long server error must not widen the page: the whole text is in the tooltip and on
  // the live status line.
  clear_result_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  server->addWidget(ftp_settings);
  server->addWidget(clear_);
  server->addWidget(clear_result_, 1);
  fg->addLayout(server, 1, 0);

  // Settings files.
  QGroupBox* upkeep = Group("Maintenance", this);
  QGridLayout* mg = Grid(upkeep);
  version_ = new QLabel(this);
  version_->setObjectName(QStringLiteral("id1291"));
  QPushButton* read = Button("Read Settings", "id1068", QStringLiteral("Read Settings"));
  QPushButton* save = Button("Save Settings", "id1069", QStringLiteral("Save Settings"));
  connect(read, &QPushButton::clicked, this, [this] { ReadSettings(); });
  connect(save, &QPushButton::clicked, this, [this] { SaveSettingsAs(); });
  as_template_ = new QCheckBox(QStringLiteral("as template"), this);
  as_template_->setObjectName(QStringLiteral("id1321"));
  as_template_->setAccessibleName(QStringLiteral("as template"));
  connect(as_template_, &QCheckBox::clicked, this,
          [this](bool on) { app_.state.saveAsTemplate = on ? 1 : 0; });
  auto* about = new QHBoxLayout;
  about->setSpacing(3);
  about->addWidget(new QLabel(QStringLiteral("OrvantaIP"), this));
  about->addWidget(version_);
  about->addStretch(1);
  mg->addLayout(about, 0, 0);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(3);
  buttons->addWidget(read);
  buttons->addWidget(save);
  buttons->addWidget(as_template_);
  buttons->addStretch(1);
  mg->addLayout(buttons, 1, 0);

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(4, 4, 4, 4);
  page->setSpacing(2);
  page->addLayout(general);
  for (QGroupBox* g : {images, sched, disk, action, ftp, upkeep}) page->addWidget(g);
  page->addStretch(1);

  LoadControls();
}

void OperationPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!(resizing && resizing())) LoadControls();
}

void OperationPage::LoadControls() {
  for (FlagBox* f : flags_) f->Load();
  for (IntEdit* e : numbers_) e->Load();
  for (TextEdit* t : texts_) t->Load();
  as_template_->setChecked(app_.state.saveAsTemplate != 0);
  LoadPathFields();
  RefreshSchedule();
  ShowFreeSpace(FreeDiskMB(app_.uty.ResolvePath(FieldUtf8(app_.ap.db_dir))));
  version_->setText(QString::fromStdString(VersionText(kSettingsVersion)));
}

void OperationPage::LoadPathFields() {
  for (int w = 0; w < 2; ++w)
    profile_[w]->setText(QString::fromStdU16String(FieldText(app_.ap.sd[w].zvi)));
  cache_dir_->setText(QString::fromStdU16String(FieldText(app_.ap.cache_dir)));
}

schedule::SunTimes OperationPage::SunTimesToday() {
  const schedule::LocalTime now = clock();
  AppParams& ap = app_.ap;
  return schedule::ComputeSunSchedule(ap, app_.state.tz_bias, {now.year, now.month, now.day},
                                      false);
}

void OperationPage::RefreshSchedule() {
  const bool follow = app_.ap.sunset != 0;
  if (follow) {
    const schedule::LocalTime now = clock();
    schedule::ComputeSunSchedule(app_.ap, app_.state.tz_bias, {now.year, now.month, now.day}, true);
    for (QWidget* w : schedule_times_) {
      if (auto* e = dynamic_cast<IntEdit*>(w)) e->Load();
    }
  }
  for (QWidget* w : schedule_times_) w->setEnabled(!follow);
}

void OperationPage::ShowFreeSpace(int free_mb) {
  free_now_->setText(QStringLiteral("(now %1 MB)").arg(free_mb));
}

void OperationPage::OpenScheduleDialog() {
  ScheduleDialog dialog(
      app_, [this] { return SunTimesToday(); }, this);
  dialog.reread_clip_list = reread_clip_list;
  dialog.exec();
  RefreshSchedule();
}

void OperationPage::OpenFtpDialog() {
  FtpDialog dialog(app_, this);
  dialog.exec();
}

void OperationPage::ClearServerImages() {
  if (clearing_) return;
  clearing_ = true;
  clear_->setEnabled(false);
  clear_result_->setText(QStringLiteral("clearing..."));
  // The server may take up to the time-outs to answer; the window keeps answering meanwhile.
  // The worker has its own copy of the account and hands the rotation number back.
  auto account = std::make_shared<AppParams>(app_.ap);
  auto outcome = std::make_shared<ftp::FtpOutcome>();
  QThread* worker = QThread::create([account, outcome, timeouts = ftp_timeouts] {
    *outcome = ftp::ClearServerImages(*account, timeouts);
  });
  connect(worker, &QThread::finished, this, [this, account, outcome] {
    clearing_ = false;
    clear_->setEnabled(true);
    if (outcome->result == ftp::FtpResult::Done) app_.ap.ftp_cn = account->ftp_cn;
    const QString shown =
        outcome->result == ftp::FtpResult::Done
            ? QStringLiteral("cleared")
            : QString::fromStdString(outcome->status_suffix.empty() ? std::string("-FTP:ERROR")
                                                                    : outcome->status_suffix);
    clear_result_->setText(shown);
    clear_result_->setToolTip(shown);
    if (ftp_status) ftp_status(outcome->status_suffix);
  });
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
  worker->start();
}

void OperationPage::ChooseProfile(int window) {
  const QString start = QString::fromStdString(app_.uty.ResolvePath(app_.state.settingsFileName));
  const QString chosen = ChooseFile(
      this, false, window == 0 ? QStringLiteral("Schedule1 zvi") : QStringLiteral("Schedule2 zvi"),
      start, QStringLiteral("Orvanta profile (*.zvi)"), QStringLiteral("zvi"));
  if (chosen.isEmpty()) return;
  // Profiles are looked up in the start-up directory: only the name is kept.
  SetField(app_.ap.sd[window].zvi, chosen.mid(chosen.lastIndexOf(u'/') + 1).toStdU16String());
  LoadControls();
}

void OperationPage::ChooseSound() {
  const QString snd = QString::fromStdU16String(FieldText(app_.ap.snd));
  const QString start = snd.isEmpty() ? QString::fromStdString(app_.state.startupDir) : snd;
  const QString chosen = ChooseFile(this, false, QStringLiteral("Sound"), start,
                                    QStringLiteral("Alarm Sound (*.wav)"), QStringLiteral("wav"));
  if (chosen.isEmpty()) return;
  SetField(app_.ap.snd, chosen.toStdU16String());
  LoadControls();
}

void OperationPage::ChooseCommand() {
  const QString bat = QString::fromStdU16String(FieldText(app_.ap.bat));
  const QString start = bat.isEmpty() ? QString::fromStdString(app_.state.startupDir) : bat;
  const QString chosen = ChooseFile(this, false, QStringLiteral("Executables"), start,
                                    QStringLiteral("Capture Action(*.bat) (*)"), QString());
  if (chosen.isEmpty()) return;
  SetField(app_.ap.bat, chosen.toStdU16String());
  LoadControls();
}

void OperationPage::ChooseCacheDir() {
  const std::optional<QString> chosen =
      ChooseFolder(this, QStringLiteral("Replay Cache Directory"),
                   QString::fromStdU16String(FieldText(app_.ap.cache_dir)));
  // Cancelling turns the replay cache off.
  SetField(app_.ap.cache_dir, chosen ? chosen->toStdU16String() : std::u16string());
  LoadPathFields();
}

void OperationPage::ReadSettings() {
  const QString start = QString::fromStdString(app_.uty.ResolvePath(app_.state.settingsFileName));
  const QString chosen =
      ChooseFile(this, false, QStringLiteral("Load zvi"), start,
                 QStringLiteral("Orvanta profile (*.zvi)"), QStringLiteral("zvi"));
  if (chosen.isEmpty()) return;
  if (before_read_settings) before_read_settings();
  LoadProfile(app_, chosen.toStdString());
  LoadControls();
}

void OperationPage::SaveSettingsAs() {
  const QString start = QString::fromStdString(app_.uty.ResolvePath("save.zvi"));
  const QString chosen =
      ChooseFile(this, true, QStringLiteral("Save zvi"), start,
                 QStringLiteral("Orvanta profile (*.zvi)"), QStringLiteral("zvi"));
  if (chosen.isEmpty()) return;
  SaveProfile(app_, chosen.toStdString());
}

}  // namespace orvanta::ui
