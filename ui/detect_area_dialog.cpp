#include "ui/detect_area_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "app/messages.h"
#include "app/text_utf.h"
#include "products/area_mask.h"
#include "products/auto_mask.h"
#include "ui/live_values.h"
#include "ui/mask_image_area.h"
#include "ui/up_down.h"
#include "ui/window_layout.h"

namespace orvanta::ui {
namespace {

constexpr int kLevelMin = 0;
constexpr int kLevelMax = 255;
constexpr int kMinEditorWidth = 480;
constexpr int kMinEditorHeight = 360;

QPushButton* Button(const char* caption, const char* id, QWidget* parent, bool checkable = false) {
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(id));
  b->setAutoDefault(false);
  b->setCheckable(checkable);
  return b;
}

// A group of push-like buttons of which the one of the current value is shown pressed.
QGroupBox* RadioGroup(const char* title,
                      std::initializer_list<std::pair<const char*, const char*>> buttons,
                      int columns, int checked, QWidget* parent, std::function<void(int)> chosen) {
  auto* box = new QGroupBox(QString::fromLatin1(title), parent);
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(4, 4, 4, 4);
  grid->setSpacing(2);
  auto* group = new QButtonGroup(box);
  int i = 0;
  for (auto [caption, id] : buttons) {
    QPushButton* b = Button(caption, id, box, true);
    b->setMinimumWidth(10);
    group->addButton(b, i);
    grid->addWidget(b, i / columns, i % columns);
    ++i;
  }
  group->button(checked)->setChecked(true);
  QObject::connect(group, &QButtonGroup::idClicked, box, std::move(chosen));
  return box;
}

QLineEdit* NumberEdit(const char* id, const QString& name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(id));
  e->setAccessibleName(name);
  e->setFixedWidth(44);
  e->setAlignment(Qt::AlignRight);
  return e;
}

// Bottom-up blue, green, red rows into an upright picture.
QImage Upright(const Image24& image) {
  if (!image.valid()) return {};
  return QImage(image.bgr.data(), image.width, image.height, static_cast<int>(image.row_bytes()),
                QImage::Format_BGR888)
      .mirrored();
}

bool Ask(QWidget* parent, const QString& text, const char* id) {
  QMessageBox ask(QMessageBox::NoIcon, QStringLiteral("Orvanta"), text,
                  QMessageBox::Ok | QMessageBox::Cancel, parent);
  ask.setObjectName(QString::fromLatin1(id));
  return ask.exec() == QMessageBox::Ok;
}

}  // namespace

DetectAreaDialog::DetectAreaDialog(AppContext& app, capture::CaptureState& state, QWidget* parent)
    : QDialog(parent), app_(app), state_(state), work_(state.work_image) {
  setObjectName(QStringLiteral("id136"));
  setWindowTitle(QStringLiteral("Orvanta Detect Area Editor"));
  const int cx = app_.ib.cx, cy = app_.ib.cy;
  if (work_.width != cx || work_.height != cy || !work_.valid()) work_ = WholePictureMask(cx, cy);

  area_ = new MaskImageArea(this);
  area_->setObjectName(QStringLiteral("id1231"));
  area_->setAccessibleName(QStringLiteral("Detect area"));
  area_->pressed = [this](std::optional<PicturePoint> p, Qt::MouseButton b) {
    if (p)
      Press(*p, b);
    else
      line_started_ = false;
  };
  area_->moved = [this](PicturePoint p, Qt::MouseButtons b) { Move(p, b); };
  area_->released = [this](PicturePoint p, Qt::MouseButton b) { Release(p, b); };
  area_->rect_dragged = [this](PicturePoint a, PicturePoint b, Qt::MouseButton button) {
    RectDragged(a, b, button);
  };

  auto* side = new QVBoxLayout;
  side->setSpacing(6);
  QPushButton* all_detect = Button("All Detect", "id1232", this);
  QPushButton* all_mask = Button("All Mask", "id1191", this);
  side->addWidget(all_detect);
  side->addWidget(all_mask);

  auto* auto_box = new QGroupBox(QStringLiteral("Auto Set"), this);
  auto* auto_grid = new QGridLayout(auto_box);
  auto_grid->setContentsMargins(4, 4, 4, 4);
  auto_grid->setSpacing(2);
  set_ = Button("set", "id1343", auto_box);
  set_->setToolTip(
      QStringLiteral("Masks the dark parts of the picture; with Ctrl held, the "
                     "pixels hot in the clips ticked on the DB page"));
  lev_edit_ = NumberEdit("id1339", QStringLiteral("Lev"), auto_box);
  ratio_edit_ = NumberEdit("id1341", QStringLiteral("Ratio"), auto_box);
  auto* lev_label = new QLabel(QStringLiteral("Lev"), auto_box);
  lev_label->setBuddy(lev_edit_);
  auto* ratio_label = new QLabel(QStringLiteral("Ratio"), auto_box);
  ratio_label->setBuddy(ratio_edit_);
  auto* lev_updown = new UpDown(
      QStringLiteral("Lev"),
      [this](int d) {
        SetLevel(lev_edit_, app_.ap.me_lev, std::clamp(app_.ap.me_lev + d, kLevelMin, kLevelMax),
                 true);
      },
      auto_box);
  lev_updown->setObjectName(QStringLiteral("id1340"));
  auto* ratio_updown = new UpDown(
      QStringLiteral("Ratio"),
      [this](int d) {
        SetLevel(ratio_edit_, app_.ap.me_ratio,
                 std::clamp(app_.ap.me_ratio + d, kLevelMin, kLevelMax), true);
      },
      auto_box);
  ratio_updown->setObjectName(QStringLiteral("id1342"));
  auto_grid->addWidget(set_, 0, 0, 1, 3);
  auto_grid->addWidget(lev_label, 1, 0);
  auto_grid->addWidget(lev_edit_, 1, 1);
  auto_grid->addWidget(lev_updown, 1, 2);
  auto_grid->addWidget(ratio_label, 2, 0);
  auto_grid->addWidget(ratio_edit_, 2, 1);
  auto_grid->addWidget(ratio_updown, 2, 2);
  side->addWidget(auto_box);

  side->addWidget(RadioGroup("Color", {{"Detect", "id1233"}, {"Mask", "id1234"}}, 2, 1, this,
                             [this](int id) { colour_ = static_cast<MaskColour>(id); }));
  side->addWidget(RadioGroup("Shape", {{"Rect", "id1235"}, {"Line", "id1251"}, {"Pen", "id1252"}},
                             3, 1, this, [this](int id) {
                               shape_ = id;
                               line_started_ = false;
                               area_->SetRubber(id == 0   ? MaskImageArea::Rubber::Rect
                                                : id == 1 ? MaskImageArea::Rubber::Line
                                                          : MaskImageArea::Rubber::None);
                             }));
  area_->SetRubber(MaskImageArea::Rubber::Line);
  side->addWidget(RadioGroup(
      "Brush Size", {{"S", "id1236"}, {"M", "id1238"}, {"L", "id1239"}, {"LL", "id1240"}}, 4, 2,
      this, [this](int id) { brush_ = static_cast<MaskBrush>(id + 1); }));
  side->addStretch(1);
  QPushButton* save = Button("Save", "id1", this);
  QPushButton* cancel = Button("Cancel", "id2", this);
  side->addWidget(save);
  side->addWidget(cancel);

  auto* side_panel = new QWidget(this);
  side_panel->setLayout(side);
  side_panel->setFixedWidth(150);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(6, 6, 6, 6);
  row->addWidget(side_panel);
  row->addWidget(area_, 1);

  connect(all_detect, &QPushButton::clicked, this, [this] {
    FillMask(work_, MaskColour::Detect);
    Changed();
  });
  connect(all_mask, &QPushButton::clicked, this, [this] {
    FillMask(work_, MaskColour::Mask);
    Changed();
  });
  connect(set_, &QPushButton::clicked, this, [this] { OnSet(); });
  for (auto [edit, field] :
       {std::pair{lev_edit_, &app_.ap.me_lev}, std::pair{ratio_edit_, &app_.ap.me_ratio}}) {
    edit->setText(QString::number(*field));
    // Every change is taken at once; the text is not rewritten when the edit loses focus.
    connect(edit, &QLineEdit::textEdited, this, [this, edit, field](const QString& text) {
      const std::string typed = text.toStdString();
      const int v = ClampEditText(typed, kLevelMin, kLevelMax, *field);
      SetLevel(edit, *field, v, ClampEditText(typed, INT_MIN, INT_MAX, v) != v);
    });
  }
  connect(save, &QPushButton::clicked, this, [this] { OnSave(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });

  // The background is read afresh at each composition: a still the live thread composed
  // meanwhile shows.
  area_->SetPicture(work_.width, work_.height,
                    [this] { return Upright(ComposeMaskDisplay(state_.live_image, work_)); });
  PlaceAtSavedRect();
}

void DetectAreaDialog::PlaceAtSavedRect() {
  const WindowRect& r = app_.ap.me_dlgrect;
  PixelRect place{r.left, r.top, std::max(r.right - r.left, kMinEditorWidth),
                  std::max(r.bottom - r.top, kMinEditorHeight)};
  // A rectangle saved on a larger screen must not open the editor out of reach.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect room = screen->availableGeometry();
    place = PlaceOnScreen(place, {room.x(), room.y(), room.width(), room.height()},
                          {kMinEditorWidth, kMinEditorHeight});
  }
  setGeometry(place.left, place.top, place.width, place.height);
}

void DetectAreaDialog::StoreRect() {
  const QRect r =
      (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) ? normalGeometry() : geometry();
  if (!r.isValid()) return;
  app_.ap.me_dlgrect.left = r.left();
  app_.ap.me_dlgrect.top = r.top();
  app_.ap.me_dlgrect.right = r.left() + r.width();
  app_.ap.me_dlgrect.bottom = r.top() + r.height();
}

MaskColour DetectAreaDialog::ColourOf(Qt::MouseButton button) const {
  return button == Qt::RightButton ? OtherColour(colour_) : colour_;
}

void DetectAreaDialog::Changed() {
  changed_ = true;
  area_->Invalidate();
}

void DetectAreaDialog::Press(PicturePoint p, Qt::MouseButton button) {
  if (shape_ == 1) {
    line_started_ = true;
    line_start_ = p;
  } else if (shape_ == 2) {
    PaintPoint(work_, p, ColourOf(button), brush_);
    Changed();
  }
}

void DetectAreaDialog::Move(PicturePoint p, Qt::MouseButtons buttons) {
  if (shape_ != 2) return;
  if (buttons & Qt::LeftButton) {
    PaintPoint(work_, p, colour_, brush_);
    Changed();
  } else if (buttons & Qt::RightButton) {
    PaintPoint(work_, p, OtherColour(colour_), brush_);
    Changed();
  }
}

void DetectAreaDialog::Release(PicturePoint p, Qt::MouseButton button) {
  if (shape_ != 1 || !line_started_) return;
  line_started_ = false;
  if (p == line_start_) return;  // a click without movement paints nothing
  PaintLine(work_, line_start_, p, ColourOf(button), brush_);
  Changed();
}

void DetectAreaDialog::RectDragged(PicturePoint a, PicturePoint b, Qt::MouseButton button) {
  if (shape_ != 0) return;
  PaintRect(work_, a, b, ColourOf(button));
  Changed();
}

void DetectAreaDialog::SetLevel(QLineEdit* edit, int32_t& field, int value, bool rewrite) {
  if (rewrite) edit->setText(QString::number(value));
  if (field == value) return;
  field = value;
  AutoSet(false);  // a new level or ratio masks afresh, the hand painting discarded
}

void DetectAreaDialog::OnSet() {
  if (QGuiApplication::keyboardModifiers() & Qt::ControlModifier)
    HotPixels();
  else
    AutoSet(true);
}

void DetectAreaDialog::AutoSet(bool tell_without_picture) {
  const Image24& picture = state_.live_image;
  if (!picture.valid() || picture.width != work_.width || picture.height != work_.height) {
    if (tell_without_picture)
      ReportMessage(
          "There is no picture of the frame size to set the mask from yet: run Preview "
          "or Detect once, then try again");
    return;
  }
  work_ = AutoSetMask(picture, {app_.ap.me_lev, app_.ap.me_ratio, brush_});
  Changed();
}

void DetectAreaDialog::HotPixels() {
  if (!Ask(this, QStringLiteral("Area mask will be added hot pixel mask from listed clips OK?"),
           "hot_pixel_prompt"))
    return;
  if (!ticked_clip_maps) {
    ReportMessage("Please listup clips in DB sheet");
    return;
  }
  const std::vector<std::string> maps = ticked_clip_maps();
  if (maps.empty()) {
    ReportMessage("Please check more than 1 clip in DB sheet");
    return;
  }
  const HotPixelOutcome outcome = HotPixelMask(maps, work_);
  if (!outcome.message.empty()) {
    ReportMessage("%s", outcome.message.c_str());
    return;
  }
  Changed();
}

void DetectAreaDialog::OnSave() {
  const std::string current = FieldUtf8(app_.ap.dareafname);
  const std::string proposed =
      current == kWholePictureMaskName ? ProposedAreaMaskName(work_.width, work_.height) : current;
  const QString startup = QString::fromStdString(app_.state.startupDir);
  QFileDialog ask(this, QStringLiteral("Save"),
                  QDir(startup).filePath(QString::fromStdString(proposed)),
                  QStringLiteral("Detect Area BMP(*.bmp)"));
  ask.setObjectName(QStringLiteral("save_mask"));
  ask.setAcceptMode(QFileDialog::AcceptSave);
  ask.setFileMode(QFileDialog::AnyFile);
  ask.setDefaultSuffix(QStringLiteral("bmp"));
  ask.selectFile(QString::fromStdString(proposed));
  if (ask.exec() != QDialog::Accepted || ask.selectedFiles().isEmpty()) return;
  const QFileInfo chosen(ask.selectedFiles().front());
  const std::string name = chosen.fileName().toStdString();
  if (name == kWholePictureMaskName) {
    ReportMessage("%s", kReservedMaskName);
    return;
  }
  // The station reads its mask by name from the start-up directory only; a mask saved
  // anywhere else would never be used.
  if (QDir(chosen.absolutePath()).canonicalPath() != QDir(startup).canonicalPath()) {
    ReportMessage(
        "The detect area mask must be saved in the start-up directory %s, where the "
        "station reads it",
        app_.state.startupDir.c_str());
    return;
  }
  if (Status saved = SaveAreaMask(app_.state.startupDir, name, work_); !saved) {
    ReportMessage("Cannot write the detect area mask %s", chosen.filePath().toUtf8().constData());
    return;
  }
  SetField(app_.ap.dareafname, Utf8ToUtf16(name));
  state_.work_image = work_;
  StoreRect();
  accept();
}

void DetectAreaDialog::reject() {
  if (changed_ && !Ask(this, QStringLiteral("Not Saved OK?"), "not_saved_prompt")) return;
  // The edits stay in memory: editing again with no file to load starts from them.
  state_.work_image = work_;
  StoreRect();
  QDialog::reject();
}

bool EditDetectArea(AppContext& app, capture::CaptureState& state, QWidget* parent,
                    std::function<std::vector<std::string>()> ticked_clip_maps) {
  const AreaMaskRequest request{app.state.startupDir, FieldUtf8(app.ap.dareafname), app.ib.cx,
                                app.ib.cy};
  const AreaMaskLoad load = LoadAreaMask(request, state.work_image, nullptr);
  if (!load.message.empty()) ReportMessage("%s", load.message.c_str());
  if (load.use_whole_picture) SetField(app.ap.dareafname, Utf8ToUtf16(kWholePictureMaskName));
  // A file that could not be read leaves nothing of it to edit: the whole picture.
  if (load.outcome == AreaMaskOutcome::CannotRead || load.outcome == AreaMaskOutcome::SizeMismatch)
    state.work_image = WholePictureMask(app.ib.cx, app.ib.cy);
  DetectAreaDialog editor(app, state, parent);
  editor.ticked_clip_maps = std::move(ticked_clip_maps);
  return editor.exec() == QDialog::Accepted;
}

}  // namespace orvanta::ui
