#include "ui/db_page.h"

#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

#include "app/messages.h"
#include "app/text_utf.h"
#include "schedule/housekeeping.h"
#include "schedule/latest_date.h"
#include "ui/controls.h"
#include "ui/live_values.h"
#include "ui/up_down.h"

namespace orvanta::ui {
namespace {

// The page's own limits of the date and the days (within what the settings file keeps).
constexpr int kDateLo[3] = {1970, 1, 1};
constexpr int kDateHi[3] = {3000, 12, 31};
constexpr const char* kDateNames[3] = {"Date year", "Date month", "Date day"};
constexpr int kDaysMax = 10000;

UpDown* Stepper(const char* id, const QString& name, std::function<void(int)> step,
                QWidget* parent) {
  auto* u = new UpDown(name, std::move(step), parent);
  u->setObjectName(QString::fromLatin1(id));
  return u;
}

bool Ask(QWidget* parent, const QString& text, const char* id) {
  QMessageBox ask(QMessageBox::NoIcon, QStringLiteral("Orvanta"), text,
                  QMessageBox::Ok | QMessageBox::Cancel, parent);
  ask.setObjectName(QString::fromLatin1(id));
  return ask.exec() == QMessageBox::Ok;
}

// Characters the list swallows, so that typing does not jump to a row by its name.
bool Swallowed(const QString& text) {
  if (text.size() != 1) return false;
  static const QString kChars = QStringLiteral(" %'.12345ABCGMTVgmtv");
  return kChars.contains(text[0]);
}

}  // namespace

DbPage::DbPage(AppContext& app, QWidget* parent) : QWidget(parent), app_(app) {
  setObjectName(QStringLiteral("id134"));
  setAccessibleName(QStringLiteral("DB"));

  model_ = new ClipListModel(list_, this);
  view_ = new QTreeView(this);
  view_->setObjectName(QStringLiteral("id1135"));
  view_->setAccessibleName(QStringLiteral("Clips"));
  view_->setModel(model_);
  view_->setRootIsDecorated(false);
  view_->setItemsExpandable(false);
  view_->setUniformRowHeights(true);
  view_->setSortingEnabled(false);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->header()->setSectionsClickable(false);
  view_->header()->setStretchLastSection(false);
  view_->header()->resizeSection(0, 170);
  // The marks are shown in a fixed-width font: their column holds ten of its letters.
  const QFontMetrics marks_font(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  view_->header()->resizeSection(1,
                                 std::max(70, marks_font.horizontalAdvance(QString(10, 'M')) + 12));
  view_->header()->resizeSection(2, 48);
  view_->installEventFilter(this);

  dir_edit_ = new QLineEdit(this);
  dir_edit_->setObjectName(QStringLiteral("id1119"));
  dir_edit_->setReadOnly(true);
  auto* dir_label = new QLabel(QStringLiteral("DB dir"), this);
  dir_label->setBuddy(dir_edit_);
  auto* choose = Button("...", "id1120", this);
  choose->setAccessibleName(QStringLiteral("Choose DB dir"));
  choose->setFixedWidth(28);
  ymd_check_ = Check("+ Y/M/D dir", "id1196", this);
  night_check_ = Check("pm-am/day", "id1130", this);
  latest_days_check_ = Check("Set Latest days", "id1220", this);

  static constexpr const char* kDateIds[3][2] = {
      {"id1212", "id1213"}, {"id1214", "id1215"}, {"id1216", "id1217"}};
  auto* date_row = new QHBoxLayout;
  date_row->setSpacing(1);
  auto* date_label = new QLabel(QStringLiteral("Date"), this);
  date_row->addWidget(date_label);
  for (int f = 0; f < 3; ++f) {
    const QString name = QString::fromLatin1(kDateNames[f]);
    date_edits_[f] = NumberEdit(kDateIds[f][0], name, f == 0 ? 44 : 28, this);
    connect(date_edits_[f], &QLineEdit::textEdited, this,
            [this, f](const QString& text) { DateEdited(f, text); });
    date_row->addWidget(date_edits_[f]);
    date_row->addWidget(Stepper(
        kDateIds[f][1], name, [this, f](int d) { StepDate(f, d); }, this));
  }
  date_label->setBuddy(date_edits_[0]);
  date_row->addStretch(1);

  days_edit_ = NumberEdit("id1218", QStringLiteral("days"), 44, this);
  auto* days_label = new QLabel(QStringLiteral("days"), this);
  days_label->setBuddy(days_edit_);
  connect(days_edit_, &QLineEdit::textEdited, this, [this](const QString& t) { DaysEdited(t); });
  auto* days_step = Stepper(
      "id1219", QStringLiteral("days"),
      [this](int d) {
        StoreDays(std::clamp(app_.ap.db_days + d, 1, kDaysMax));
        days_edit_->setText(QString::number(app_.ap.db_days));
      },
      this);

  auto* reread = Button("re-read", "id1191", this);
  auto* delete_ticked = Button("Delete Cs", "id1134", this);
  auto* delete_one = Button("Delete a clip", "id1133", this);
  auto* clean = Button("clean dir", "id1192", this);
  count_label_ = new QLabel(QStringLiteral("0 clips"), this);
  count_label_->setObjectName(QStringLiteral("id1346"));
  auto* all_on = Button("allCon", "id1357", this);
  auto* all_off = Button("allCoff", "id1358", this);
  auto* timer_on = Button("=Con", "id1359", this);
  auto* c_on = Button("C on", "id1360", this);
  auto* c_off = Button("C off", "id1361", this);
  auto* next = Button("Next", "id1362", this);
  auto* prev = Button("Prev", "id1363", this);
  latest_button_ = Button("latest", "id1364", this);
  latest_button_->setCheckable(true);

  // The list takes the page but a band of controls below it.
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(3, 3, 3, 3);
  page->setSpacing(3);
  page->addWidget(view_, 1);
  auto* dir_row = new QHBoxLayout;
  dir_row->addWidget(dir_label);
  dir_row->addWidget(dir_edit_, 1);
  dir_row->addWidget(choose);
  page->addLayout(dir_row);
  auto* checks = new QHBoxLayout;
  checks->addWidget(ymd_check_);
  checks->addWidget(night_check_);
  checks->addStretch(1);
  page->addLayout(checks);
  page->addLayout(date_row);
  auto* days_row = new QHBoxLayout;
  days_row->setSpacing(1);
  days_row->addWidget(days_label);
  days_row->addWidget(days_edit_);
  days_row->addWidget(days_step);
  days_row->addSpacing(8);
  days_row->addWidget(latest_days_check_);
  days_row->addStretch(1);
  page->addLayout(days_row);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(2);
  grid->setVerticalSpacing(2);
  const std::vector<std::vector<QWidget*>> rows = {
      {reread, delete_ticked, delete_one, clean},
      {all_on, all_off, timer_on, count_label_},
      {c_on, c_off, prev, next},
  };
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    for (int c = 0; c < static_cast<int>(rows[r].size()); ++c) grid->addWidget(rows[r][c], r, c);
  }
  grid->addWidget(latest_button_, 3, 3);
  page->addLayout(grid);

  connect(view_, &QAbstractItemView::clicked, this, [this] {
    ClearLatest();
    PlaySelectedClip();
  });
  connect(choose, &QPushButton::clicked, this, [this] { ChooseDir(); });
  connect(ymd_check_, &QCheckBox::clicked, this, [this] {
    ClearLatest();
    app_.ap.db_ymddir = !app_.ap.db_ymddir;
    ymd_check_->setChecked(app_.ap.db_ymddir);
  });
  connect(latest_days_check_, &QCheckBox::clicked, this, [this] {
    ClearLatest();
    SetLatestDays();
  });
  connect(night_check_, &QCheckBox::clicked, this, [this] {
    ClearLatest();
    ToggleNight();
  });
  connect(reread, &QPushButton::clicked, this, [this] { ReReadClipList(); });
  connect(delete_ticked, &QPushButton::clicked, this, [this] {
    ClearLatest();
    DeleteTicked();
  });
  connect(delete_one, &QPushButton::clicked, this, [this] {
    ClearLatest();
    DeleteSelected();
  });
  connect(clean, &QPushButton::clicked, this, [this] {
    ClearLatest();
    CleanDir();
  });
  connect(all_on, &QPushButton::clicked, this, [this] { TickAll(true); });
  connect(all_off, &QPushButton::clicked, this, [this] { TickAll(false); });
  connect(timer_on, &QPushButton::clicked, this, [this] { TickTimerClips(); });
  connect(c_on, &QPushButton::clicked, this, [this] { TickSelected(true); });
  connect(c_off, &QPushButton::clicked, this, [this] { TickSelected(false); });
  connect(next, &QPushButton::clicked, this, [this] { Next(); });
  connect(prev, &QPushButton::clicked, this, [this] { Prev(); });
  connect(latest_button_, &QPushButton::clicked, this, [this] { ToggleFollowLatest(); });
}

void DbPage::ClearLatest() {
  follow_latest_ = false;
  latest_button_->setChecked(false);
}

void DbPage::FocusList() {
  view_->setFocus(Qt::OtherFocusReason);
}

void DbPage::ShowCount() {
  count_label_->setText(QStringLiteral("%1 clips").arg(list_.row_count()));
}

void DbPage::ShowDate() {
  const int values[3] = {app_.ap.db_y, app_.ap.db_m, app_.ap.db_d};
  for (int f = 0; f < 3; ++f) date_edits_[f]->setText(QString::number(values[f]));
}

void DbPage::ShowSettings() {
  dir_edit_->setText(QString::fromStdU16String(FieldText(app_.ap.db_dir)));
  night_check_->setChecked(app_.ap.db_night);
  ymd_check_->setChecked(app_.ap.db_ymddir);
  if (app_.ap.db_latest) schedule::SetLatestDate(app_.ap, app_.ib.si_utc != 0, std::time(nullptr));
  ShowDate();
  latest_days_check_->setChecked(app_.ap.db_latest);
  days_edit_->setText(QString::number(app_.ap.db_days));
}

int DbPage::SelectedRow() const {
  const QModelIndex current = view_->selectionModel()->currentIndex();
  if (!current.isValid() || !view_->selectionModel()->isRowSelected(current.row(), {})) return -1;
  return current.row();
}

void DbPage::SelectRow(int row) {
  if (row < 0 || row >= list_.row_count()) return;
  const QModelIndex at = model_->index(row, 0);
  view_->selectionModel()->setCurrentIndex(
      at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view_->scrollTo(at);
}

void DbPage::Rebuild() {
  ShowDate();
  ClipListSpan span;
  span.year = app_.ap.db_y;
  span.month = app_.ap.db_m;
  span.day = app_.ap.db_d;
  span.days = std::clamp(app_.ap.db_days, 1, kDaysMax);
  span.night = app_.ap.db_night != 0;
  model_->BeginRebuild();
  list_.Reset(span);
  const ScanReport report = list_.Scan(FieldUtf8(app_.ap.db_dir), app_.ap.db_ymddir != 0);
  model_->EndRebuild();
  ShowCount();
  if (!report.unreadable.empty()) {
    std::string text = "Cannot read the clip directory";
    for (const std::string& dir : report.unreadable) text += "\n" + dir;
    ReportMessage("%s", text.c_str());
  }
}

void DbPage::ReReadClipList() {
  ClearLatest();
  Rebuild();
  SelectRow(0);
  PlaySelectedClip();
  FocusList();
}

void DbPage::PlaySelectedClip() {
  const bool replay_up = replay_showing && replay_showing();
  int row = SelectedRow();
  if (row < 0) {
    if (list_.row_count() == 0) {
      if (replay_up && select_clip) select_clip(-1, std::string());
      return;
    }
    SelectRow(0);
    row = 0;
  }
  if (!replay_up && show_replay_page) show_replay_page();
  if (select_clip) select_clip(list_.row(row).entry, list_.row(row).name);
}

void DbPage::Next() {
  ClearLatest();
  const int row = SelectedRow();
  if (list_.row_count() > 0 && row >= 0 && row < list_.row_count() - 1) {
    SelectRow(row + 1);
    PlaySelectedClip();
  }
  FocusList();
}

void DbPage::Prev() {
  ClearLatest();
  const int row = SelectedRow();
  if (list_.row_count() > 0 && row > 0) {
    SelectRow(row - 1);
    PlaySelectedClip();
  }
  FocusList();
}

void DbPage::TickSelected(bool ticked) {
  model_->SetTicked(SelectedRow(), ticked);
  Next();
}

void DbPage::TickAll(bool ticked) {
  for (int r = 0; r < list_.row_count(); ++r) model_->SetTicked(r, ticked);
  SelectRow(0);
  PlaySelectedClip();
  FocusList();
}

void DbPage::TickTimerClips() {
  for (int r = 0; r < list_.row_count(); ++r) {
    if (list_.row(r).name.find('=') != std::string::npos) model_->SetTicked(r, true);
  }
  FocusList();
}

void DbPage::OpenLastRow() {
  SelectRow(list_.row_count() - 1);
  PlaySelectedClip();
}

void DbPage::ToggleFollowLatest() {
  follow_latest_ = !follow_latest_;
  latest_button_->setChecked(follow_latest_);
  if (follow_latest_) OpenLastRow();
}

void DbPage::DeleteClipRow(int row) {
  for (const std::string& file : list_.RowFiles(row)) schedule::DiscardFile(file, app_.ap.nottrash);
  model_->RemoveRow(row);
  ShowCount();
}

void DbPage::DeleteSelected() {
  if (close_replay) close_replay();
  const int row = SelectedRow();
  if (row < 0) return;
  DeleteClipRow(row);
  SelectRow(std::min(row, list_.row_count() - 1));
  PlaySelectedClip();
  FocusList();
}

void DbPage::DeleteTicked() {
  if (close_replay) close_replay();
  int ticked = 0;
  for (const ClipRow& r : list_.rows()) ticked += r.ticked ? 1 : 0;
  if (ticked == 0) {
    ReportMessage("0 clip is checked. please set checks");
  } else {
    const QString question = ticked == 1
                                 ? QStringLiteral("DELETE A CKECKED 1 CLIP OK?")
                                 : QStringLiteral("DELETE ALL CKECKED %1 CLIPS OK?").arg(ticked);
    if (Ask(this, question, "delete_prompt")) {
      for (int r = list_.row_count() - 1; r >= 0; --r) {
        if (list_.row(r).ticked) DeleteClipRow(r);
      }
      ReReadClipList();  // which opens the first row
      return;
    }
  }
  SelectRow(0);
  PlaySelectedClip();
  FocusList();
}

void DbPage::CleanDir() {
  if (!Ask(this, QStringLiteral("Delete Thumb.db, T2*.avi and empty subdirs OK?"), "clean_prompt"))
    return;
  schedule::CleanClipTree(FieldUtf8(app_.ap.db_dir), true);
}

void DbPage::ChooseDir() {
  const QString chosen =
      QFileDialog::getExistingDirectory(this, QStringLiteral("DataBase Directory"),
                                        QString::fromStdU16String(FieldText(app_.ap.db_dir)));
  if (chosen.isEmpty()) return;
  SetField(app_.ap.db_dir, chosen.toStdU16String());
  dir_edit_->setText(chosen);
  ReReadClipList();
}

void DbPage::SetLatestDays() {
  if (app_.ap.db_latest) {
    app_.ap.db_latest = 0;
  } else {
    schedule::SetLatestDate(app_.ap, app_.ib.si_utc != 0, std::time(nullptr));
    app_.ap.db_latest = 1;
  }
  latest_days_check_->setChecked(app_.ap.db_latest);
  ReReadClipList();
}

void DbPage::ToggleNight() {
  app_.ap.db_night = !app_.ap.db_night;
  night_check_->setChecked(app_.ap.db_night);
  if (app_.ap.db_latest) {
    app_.ap.db_latest = 0;
    SetLatestDays();
  }
}

void DbPage::DateEdited(int field, const QString& text) {
  int32_t* values[3] = {&app_.ap.db_y, &app_.ap.db_m, &app_.ap.db_d};
  *values[field] =
      ClampEditText(text.toStdString(), kDateLo[field], kDateHi[field], *values[field]);
  if (app_.ap.db_latest) {
    app_.ap.db_latest = 0;
    latest_days_check_->setChecked(false);
  }
}

void DbPage::StepDate(int field, int delta) {
  int32_t* values[3] = {&app_.ap.db_y, &app_.ap.db_m, &app_.ap.db_d};
  const int stepped = std::clamp(*values[field] + delta, kDateLo[field], kDateHi[field]);
  DateEdited(field, QString::number(stepped));
  date_edits_[field]->setText(QString::number(*values[field]));
}

void DbPage::DaysEdited(const QString& text) {
  StoreDays(ClampEditText(text.toStdString(), 1, kDaysMax, app_.ap.db_days));
}

void DbPage::StoreDays(int days) {
  const bool changed = days != app_.ap.db_days;
  app_.ap.db_days = days;
  if (app_.ap.db_latest) {
    app_.ap.db_latest = 0;
    SetLatestDays();
  } else if (changed) {
    ReReadClipList();
  }
}

void DbPage::AddNewClip(const std::string& path) {
  if (!shown_once_) return;
  NewClipMarks marks;
  marks.snap = app_.ib.im_snap != 0;
  marks.peak = app_.ib.im_peak != 0;
  marks.map = app_.ib.im_map != 0;
  marks.thumbnail = app_.ap.thumbnail != 0;
  marks.bmp = app_.ap.bmp != 0;
  const ClipList::Added added = model_->AddNewClip(path, marks);
  if (added.inserted) view_->scrollTo(model_->index(added.row, 0));
  ShowCount();
}

void DbPage::OpenLatestClip() {
  if (follow_latest_ && showing_) OpenLastRow();
}

std::vector<std::string> DbPage::TickedClipMaps() const {
  std::vector<std::string> maps;
  for (const ClipRow& r : list_.rows()) {
    if (!r.ticked || list_.entry(r.entry).marks[7] != 'M') continue;
    maps.push_back(list_.DirectoryOf(r.entry) + "/" + r.name + "M.bmp");
  }
  return maps;
}

void DbPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FocusList();
  showing_ = true;
  if (!(window_resizing && window_resizing())) {
    ShowSettings();
    latest_button_->setChecked(follow_latest_);
    if (follow_latest_) OpenLastRow();
  }
  // The first look finds the clips listed, without taking the right sheet from the live
  // picture; later showings keep the list as it stands.
  if (!shown_once_) {
    Rebuild();
    SelectRow(0);
  }
  shown_once_ = true;
}

void DbPage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  showing_ = false;
}

bool DbPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched != view_ || event->type() != QEvent::KeyPress)
    return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Space:
      if (replay_play_pause) replay_play_pause();
      return true;
    case Qt::Key_Left:
      TickSelected(false);
      return true;
    case Qt::Key_Right:
      TickSelected(true);
      return true;
    case Qt::Key_Up:
      Prev();
      return true;
    case Qt::Key_Down:
      Next();
      return true;
    case Qt::Key_Delete:
      ClearLatest();
      DeleteTicked();
      return true;
    default:
      return Swallowed(key->text());
  }
}

}  // namespace orvanta::ui
