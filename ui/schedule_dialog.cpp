#include "ui/schedule_dialog.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/text_utf.h"
#include "schedule/housekeeping.h"
#include "ui/setting_controls.h"
#include "ui/station_page_rules.h"

namespace orvanta::ui {
namespace {

QLabel* Line(const char* id, const char* name, QWidget* parent) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(id));
  l->setAccessibleName(QString::fromLatin1(name));
  // The lines line up their times in columns.
  l->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return l;
}

}  // namespace

ScheduleDialog::ScheduleDialog(AppContext& app, std::function<schedule::SunTimes()> sun_today,
                               QWidget* parent)
    : QDialog(parent), app_(app), sun_today_(std::move(sun_today)) {
  setObjectName(QStringLiteral("id141"));
  setWindowTitle(QStringLiteral("Orvanta Detect Schedule Adjust Settings"));

  site_ = Line("id1324", "Longitude", this);
  today_ = Line("id1325", "Today  sunrise sunset", this);
  window_[0] = Line("id1326", "Schedule 1 ", this);
  window_[1] = Line("id1327", "Schedule 2", this);

  auto* offsets = new QGridLayout;
  struct Offset {
    const char *key, *id, *ud, *caption;
  };
  const Offset rows[] = {{"AP.sd[0].o1", "id1329", "id1330", "Sunrise +"},
                         {"AP.sd[0].o2", "id1331", "id1332", "To  Sunset +"},
                         {"AP.sd[1].o1", "id1333", "id1334", "Sunset +"},
                         {"AP.sd[1].o2", "id1335", "id1336", "To  Sunrise +"}};
  for (int i = 0; i < 4; ++i) {
    const Offset& o = rows[i];
    const QString name =
        QStringLiteral("Schedule%1 %2").arg(i / 2 + 1).arg(QString::fromLatin1(o.caption));
    auto* edit = new IntEdit(app_, o.key, o.id, name, false, this);
    edit->setFixedWidth(56);
    edit->Load();
    edit->changed = [this] { RefreshDisplay(); };
    const int column = (i % 2) * 4;
    offsets->addWidget(Caption(QString::fromLatin1(o.caption), edit, this), i / 2, column);
    offsets->addWidget(edit, i / 2, column + 1);
    offsets->addWidget(AttachUpDown(edit, o.ud, false, this), i / 2, column + 2);
    offsets->addWidget(new QLabel(QStringLiteral("min"), this), i / 2, column + 3);
  }
  offsets->setColumnMinimumWidth(4, 20);

  auto* after = new QGroupBox(QStringLiteral("After detect end"), this);
  auto* ag = new QGridLayout(after);
  auto* replay = new FlagBox(app_, "AP.startreplay", "id1353",
                             QStringLiteral("Start with Replay sheet (power save)"), this);
  auto* move = new FlagBox(app_, "AP.moveclips", "id1355",
                           QStringLiteral("Move clips after detect end"), this);
  auto* shutdown =
      new FlagBox(app_, "AP.shutdown", "id1354", QStringLiteral("Shutdown after detect end"), this);
  for (FlagBox* f : {replay, move, shutdown}) f->Load();
  db2_dir_ = new QLineEdit(this);
  db2_dir_->setObjectName(QStringLiteral("id1368"));
  db2_dir_->setReadOnly(true);
  db2_dir_->setMinimumWidth(220);
  db2_dir_->setText(QString::fromStdU16String(FieldText(app_.ap.db2_dir)));
  auto* choose = new QPushButton(QStringLiteral("..."), this);
  choose->setObjectName(QStringLiteral("id1191"));
  choose->setAccessibleName(QStringLiteral("Clip Save Directory ..."));
  choose->setAutoDefault(false);
  choose->setFixedWidth(28);
  auto* test = new QPushButton(QStringLiteral("test"), this);
  test->setObjectName(QStringLiteral("id1283"));
  test->setAccessibleName(QStringLiteral("test"));
  test->setAutoDefault(false);
  connect(choose, &QPushButton::clicked, this, [this] {
    const std::optional<QString> dir =
        ChooseFolder(this, QStringLiteral("Clip Save Directory"), db2_dir_->text());
    if (!dir) return;
    SetField(app_.ap.db2_dir, dir->toStdU16String());
    db2_dir_->setText(QString::fromStdU16String(FieldText(app_.ap.db2_dir)));
  });
  connect(test, &QPushButton::clicked, this, [this] {
    // Its failures are reported, unlike the scheduled move's.
    QApplication::setOverrideCursor(Qt::BusyCursor);
    schedule::MoveClipsAfterDetect(app_.ap, true, reread_clip_list);
    QApplication::restoreOverrideCursor();
  });
  ag->addWidget(replay, 0, 0, 1, 4);
  ag->addWidget(move, 1, 0, 1, 4);
  ag->addWidget(Caption(QStringLiteral("To "), db2_dir_, this), 2, 0);
  ag->addWidget(db2_dir_, 2, 1);
  ag->addWidget(choose, 2, 2);
  ag->addWidget(test, 2, 3);
  ag->addWidget(shutdown, 3, 0, 1, 4);
  ag->setColumnStretch(1, 1);

  auto* page = new QVBoxLayout(this);
  for (QLabel* l : {site_, today_, window_[0], window_[1]}) page->addWidget(l);
  page->addLayout(offsets);
  page->addWidget(after);
  RefreshDisplay();
}

void ScheduleDialog::RefreshDisplay() {
  const schedule::SunTimes sun = sun_today_();
  site_->setText(QString::fromStdString(SiteLine(app_.ap.lng, app_.ap.lat)));
  today_->setText(QString::fromStdString(SunLine(sun)));
  for (int w = 0; w < 2; ++w) window_[w]->setText(QString::fromStdString(WindowLine(w, sun)));
}

void ScheduleDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace orvanta::ui
