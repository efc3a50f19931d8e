#include "ui/input_page.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "app/font_size.h"
#include "app/text_utf.h"
#include "capture/device_catalogue.h"
#include "capture/host_sizing.h"
#include "capture/live_graph_steps.h"
#include "detectfilter/shared_field.h"
#include "ui/source_dialog.h"

namespace orvanta::ui {
namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QGroupBox* Group(const char* title, QGridLayout** grid, QWidget* parent) {
  auto* box = new QGroupBox(QString::fromLatin1(title), parent);
  *grid = new QGridLayout(box);
  (*grid)->setContentsMargins(4, 2, 4, 4);
  (*grid)->setHorizontalSpacing(3);
  (*grid)->setVerticalSpacing(2);
  return box;
}

QComboBox* Combo(const char* id, const QString& name, QWidget* parent) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QString::fromLatin1(id));
  c->setAccessibleName(name);
  c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  c->setMinimumContentsLength(8);
  return c;
}

// Fills a page picture with mid grey at the new size, as the pages show it until a frame
// comes.
void ResetImage(Image24& image, int cx, int cy) {
  image.Resize(cx, cy);
  std::fill(image.bgr.begin(), image.bgr.end(), uint8_t{128});
}

}  // namespace

InputPage::InputPage(AppContext& app, capture::CaptureState& state, QWidget* parent)
    : QWidget(parent), app_(app), state_(state) {
  setObjectName(QStringLiteral("id131"));
  DetectionBlock& ib = app_.ib;
  AppParams& ap = app_.ap;
  body_ = new QWidget;
  body_->setObjectName(QStringLiteral("input_body"));

  // Source.
  QGridLayout* g = nullptr;
  QGroupBox* source = Group("Source", &g, body_);
  video_name_ = AddText("id1384", QStringLiteral("Video"), 1023);
  audio_name_ = AddText("id1385", QStringLiteral("Audio"), 1023);
  video_name_->setReadOnly(true);
  audio_name_->setReadOnly(true);
  source_settings_ = AddButton("Source settings", "id1283", QStringLiteral("Source settings"));
  video_pins_ = Combo("id1006", QStringLiteral("Video input"), body_);
  audio_pins_ = Combo("id1007", QStringLiteral("Audio input"), body_);
  video_props_ = AddButton("set", "id1008", QStringLiteral("Video device properties"));
  audio_props_ = AddButton("set", "id1010", QStringLiteral("Audio source properties"));
  g->addWidget(Label("Video", video_name_), 0, 0);
  g->addWidget(video_name_, 0, 1, 1, 2);
  g->addWidget(Label("Audio", audio_name_), 1, 0);
  g->addWidget(audio_name_, 1, 1, 1, 2);
  g->addWidget(source_settings_, 2, 0, 1, 3);
  g->addWidget(video_pins_, 3, 0, 1, 2);
  g->addWidget(video_props_, 3, 2);
  g->addWidget(audio_pins_, 4, 0, 1, 2);
  g->addWidget(audio_props_, 4, 2);
  g->setColumnStretch(1, 1);

  // Frame size, rate and format; the recording.
  QGroupBox* frame = Group("Frame and recording", &g, body_);
  Number& xi = AddNumber(g, 0, 0, "Xi", "id1186", nullptr, &ib.cx, "IF.cx");
  xi.step = 16;
  xi.after = [this] { OnFrameSize(); };
  Number& yi = AddNumber(g, 0, 1, "Yi", "id1187", nullptr, &ib.cy, "IF.cy");
  yi.step = 4;
  yi.after = [this] { OnFrameSize(); };
  fps_ = AddText("id1190", QStringLiteral("Fps"), 16);
  fps_->setFixedWidth(xi.edit->width());
  fps_->setAlignment(Qt::AlignRight);
  g->addWidget(Label("Fps", fps_), 1, 0, Qt::AlignRight);
  g->addWidget(fps_, 1, 1);
  fourcc_ = Combo("id1002", QStringLiteral("Fourcc"), body_);
  for (int i = 0; i < kInputFormatCount; ++i)
    fourcc_->addItem(QString::fromStdU16String(kInputFormatNames[i]));
  g->addWidget(Label("Fourcc", fourcc_), 1, 3, Qt::AlignRight);
  g->addWidget(fourcc_, 1, 4, 1, 2);
  Check& interlace = AddCheck("Interlace", "id1352", &ap.interlace);
  interlace_ = interlace.box;
  bbf_ = AddCheck("BottomFieldFirst", "id1351", &ap.bbf).box;
  interlace.after = [this] { SyncDependentControls(); };
  Row(g, 2, {interlace_, bbf_});
  codec_ = Combo("id1004", QStringLiteral("Codec"), body_);
  codec_->view()->setMinimumWidth(400);
  codec_props_ = AddButton("set", "id1011", QStringLiteral("Compressor properties"));
  g->addWidget(Label("Codec", codec_), 3, 0, Qt::AlignRight);
  g->addWidget(codec_, 3, 1, 1, 4);
  g->addWidget(codec_props_, 3, 5);
  suffix_ = AddText("id1356", QStringLiteral("suffix"), int(std::size(app_.state.out_ext)) - 1);
  suffix_->setFixedWidth(xi.edit->width());
  g->addWidget(Label("suffix", suffix_), 4, 0, Qt::AlignRight);
  g->addWidget(suffix_, 4, 1);
  Number& head = AddNumber(g, 5, 0, "Head", "id1012", "id1013", &ib.fs_head, "IF.fs_head");
  AddNumber(g, 5, 1, "Tail", "id1014", "id1015", &ib.fs_tail, "IF.fs_tail");
  Number& diff = AddNumber(g, 6, 0, "Diff", "id1016", "id1017", &ib.fs_diff, "IF.fs_diff");

  // The video trigger and its masks.
  QGroupBox* trigger = Group("Video trigger", &g, body_);
  Number& dmin = AddNumber(g, 0, 0, "Min(frm)", "id1053", "id1054", &ib.dmin, "IF.dmin");
  AddNumber(g, 0, 1, "Max(sec)", "id1057", "id1058", &ib.dmaxsec, "IF.dmaxsec");
  AddNumber(g, 1, 0, "EXsize", "id1055", "id1056", &ib.dminsize, "IF.dminsize");
  auto head_limit = [this] {
    DetectionBlock& b = app_.ib;
    const int limit = HeadLimit(b.fs_diff, b.dmin);
    if (b.fs_head <= limit) return;
    StoreShared(b.fs_head, limit);
    NumberOf("id1012")->edit->setText(QString::number(limit));
  };
  head.after = head_limit;
  diff.after = head_limit;
  dmin.after = head_limit;
  Row(g, 2, {AddCheck("Detect Level Noise Tracking", "id1037", &ib.nt_on).box});
  AddNumber(g, 3, 0, "DLratio (%)", "id1038", "id1039", &ib.nt_ratio, "IF.nt_ratio");
  AddNumber(g, 3, 1, "MinDL", "id1255", "id1256", &ib.nt_min, "IF.nt_min");
  AddNumber(g, 4, 0, "MinL-N", "id1040", "id1041", &ib.nt_delta, "IF.nt_delta");
  g->addWidget(AddCheck("ignore blackout", "id1061", &ib.ignoredf).box, 4, 3, 1, 3);
  Row(g, 5,
      {AddCheck("Scintillation Mask", "id1043", &ib.sm_on).box,
       AddCheck("4pix", "id1060", &ib.sm_on2).box});
  AddNumber(g, 6, 0, "SMlevel", "id1044", "id1045", &ib.sm_level, "IF.sm_level");
  Number& smspeed = AddNumber(g, 6, 1, "SMspeed", "id1241", "id1242", &ap.smspeed, "AP.smspeed");
  smspeed.after = [this] {
    int32_t keep = 0;
    int32_t take = 0;
    if (!capture::AveragingWeights(app_.ap.smspeed, &keep, &take)) return;
    StoreShared(app_.ib.avr_keep, keep);
    StoreShared(app_.ib.avr_take, take);
  };
  AddNumber(g, 7, 0, "SMsize", "id1046", "id1047", &ib.sm_size, "IF.sm_size");
  g->addWidget(AddCheck("DarkObjMask", "id1254", &ib.brightonly).box, 8, 0, 1, 3);
  AddNumber(g, 8, 1, "DOlevel", "id1243", "id1244", &ib.bolevel, "IF.bolevel");
  g->addWidget(AddCheck("SlowObjMask   Pix/s", "id1048", &ib.so_on).box, 9, 0, 1, 3);
  Number& so_vel = AddNumber(g, 9, 1, "Pix/s", "id1049", "id1050", &ib.so_vel, "IF.so_vel");
  // The check's caption names the speed; the label beside the edit would say it twice.
  g->itemAtPosition(9, 3)->widget()->hide();
  so_vel.edit->setAccessibleName(QStringLiteral("Pix/s"));
  AddNumber(g, 10, 1, "SOsize", "id1051", "id1052", &ib.so_size, "IF.so_size");
  area_name_ = AddText("id1072", QStringLiteral("Detect Area"), 1023);
  area_name_->setReadOnly(true);
  area_file_ = AddButton("....", "id1073", QStringLiteral("Choose Detect Area file"));
  area_edit_ = AddButton("Edit", "id1074", QStringLiteral("Edit Detect Area"));
  area_file_->setFixedWidth(area_file_->fontMetrics().horizontalAdvance(QStringLiteral("....")) +
                            16);
  g->addWidget(Label("Detect Area", area_name_), 11, 0, 1, 2);
  auto* area_row = new QHBoxLayout;
  area_row->addWidget(area_name_, 1);
  area_row->addWidget(area_file_);
  area_row->addWidget(area_edit_);
  g->addLayout(area_row, 12, 0, 1, 6);

  // Optional triggers.
  QGroupBox* optional = Group("Optional Triggers", &g, body_);
  Row(g, 0, {AddCheck("Audio", "id1272", &ib.atrigger).box});
  Check& ttrig_on = AddCheck("Interval (still only", "id1295", &ap.ttrig_on);
  Check& sonly = AddCheck(") Min", "id1355", &ap.tt_sonly);
  sonly.box->setAccessibleName(QStringLiteral("still only"));
  sonly_ = sonly.box;
  ttrig_ = &AddNumber(g, 1, 1, "Interval Min", "id1210", "id1211", &ap.ttrig, "AP.ttrig");
  // The up-down reaches 0, which the edit raises to its least value.
  ttrig_->updown_lo = 0;
  ttrig_on.after = [this] { SyncDependentControls(); };
  auto* interval = new QHBoxLayout;
  interval->setSpacing(0);
  interval->addWidget(ttrig_on.box);
  interval->addWidget(sonly_);
  interval->addStretch(1);
  g->addLayout(interval, 1, 0, 1, 4);
  // The checks' captions name the interval; a label beside its edit would say it again.
  QWidget* no_label = g->itemAtPosition(1, 3)->widget();
  g->removeWidget(no_label);
  no_label->hide();

  // Superimposed text.
  QGroupBox* text = Group("Superimpose", &g, body_);
  si_format_ = AddText("id1182", QStringLiteral("Format"), 255);
  g->addWidget(Label("Format", si_format_), 0, 0, Qt::AlignRight);
  g->addWidget(si_format_, 0, 1, 1, 5);
  font_ = new QButtonGroup(this);
  std::vector<QWidget*> on_row{AddCheck("On", "id1199", &ib.si_on).box};
  int size = 0;
  for (auto [caption, id] : {std::pair{"s", "id1202"}, std::pair{"m", "id1203"},
                             std::pair{"l", "id1204"}, std::pair{"x", "id1205"}}) {
    auto* r = new QRadioButton(QString::fromLatin1(caption), body_);
    r->setObjectName(QString::fromLatin1(id));
    r->setAccessibleName(QStringLiteral("Font ") + QString::fromLatin1(caption));
    font_->addButton(r, size++);
    on_row.push_back(r);
  }
  Row(g, 1, on_row);
  connect(font_, &QButtonGroup::idClicked, this, [this](int id) { OnFont(id); });
  Number& y0 = AddNumber(g, 2, 0, "Y-Pos", "id1026", "id1027", &ib.si_y0, "IF.si_y0");
  y0.dynamic_range = [this] {
    const IntRange r = KeyIntRange("IF.si_y0");
    return IntRange{r.lo, std::min(r.hi, app_.ib.cy)};
  };
  y0.after = [this] { OnFont(app_.ap.si_fontsize); };
  AddNumber(g, 2, 1, "+msec", "id1348", nullptr, &ib.si_offset, "IF.si_offset");
  date_pair_ = AddText("id1029", QStringLiteral("ChangeDate time"), 15);
  Row(g, 3,
      {AddCheck("UTC", "id1198", &ib.si_utc).box,
       AddCheck("ChangeDate", "id1028", &ib.si_cdate).box, date_pair_});
  Check& area = AddCheck("Area", "id1024", &ib.si_area);
  Check& smw = AddCheck("SMw", "id1070", &ib.si_maskw);
  Check& smb = AddCheck("SMb", "id1071", &ib.si_maskb);
  Check& so = AddCheck("SO", "id1059", &ib.so_on2);
  Row(g, 4, {new QLabel(QStringLiteral("Preview opt"), body_), area.box, smw.box, smb.box, so.box});
  // The white and the black star mask cannot both be shown.
  smw.after = [this, other = smb.box] {
    if (!app_.ib.si_maskw || !app_.ib.si_maskb) return;
    StoreShared(app_.ib.si_maskb, 0);
    other->setChecked(false);
  };
  smb.after = [this, other = smw.box] {
    if (!app_.ib.si_maskw || !app_.ib.si_maskb) return;
    StoreShared(app_.ib.si_maskw, 0);
    other->setChecked(false);
  };

  auto* column = new QVBoxLayout(body_);
  column->setContentsMargins(4, 4, 4, 4);
  column->setSpacing(4);
  for (QGroupBox* box : {source, frame, trigger, optional, text}) column->addWidget(box);
  column->addStretch(1);

  scroll_ = new QScrollArea(this);
  scroll_->setObjectName(QStringLiteral("input_scroll"));
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(true);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll_->setWidget(body_);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(0, 0, 0, 0);
  page->addWidget(scroll_);

  // Text controls.
  connect(fps_, &QLineEdit::textEdited, this, [this](const QString& t) {
    if (const std::optional<double> v = DoubleEditValue(t.toStdString(), "IF.fps"))
      app_.ib.fps = *v;
  });
  connect(fps_, &QLineEdit::editingFinished, this,
          [this] { fps_->setText(QString::asprintf("%.3f", app_.ib.fps)); });
  connect(si_format_, &QLineEdit::textEdited, this,
          [this](const QString& t) { SetField(app_.ib.si_format, t.toStdU16String()); });
  connect(suffix_, &QLineEdit::textEdited, this,
          [this](const QString& t) { SetField(app_.state.out_ext, t.toStdU16String()); });
  connect(date_pair_, &QLineEdit::textEdited, this, [this](const QString& t) {
    if (const auto pair = ReadDatePair(t.toStdString())) {
      app_.ap.si_yyyymmdd = pair->first;
      app_.ap.si_hhmmss = pair->second;
    }
  });
  connect(date_pair_, &QLineEdit::editingFinished, this,
          [this] { date_pair_->setText(Q(DatePairText(app_.ap.si_yyyymmdd, app_.ap.si_hhmmss))); });
  connect(fourcc_, &QComboBox::activated, this, [this](int index) {
    SetField(app_.ap.forcc, kInputFormatNames[index]);
    app_.state.forcc_index = index;
  });
  connect(codec_, &QComboBox::activated, this, [this](int index) {
    SetField(app_.ap.dv_out_codec, codec_->itemText(index).toStdU16String());
    FillCodecs();
    SetField(app_.state.out_ext, u".avi");
    suffix_->setText(QStringLiteral(".avi"));
  });
  connect(video_pins_, &QComboBox::activated, this, [this](int i) { OnPinChosen(true, i); });
  connect(audio_pins_, &QComboBox::activated, this, [this](int i) { OnPinChosen(false, i); });
  for (auto [button, which] :
       {std::pair{video_props_, 0}, std::pair{audio_props_, 1}, std::pair{codec_props_, 2}}) {
    connect(button, &QPushButton::clicked, this, [this, which] {
      // The video device's properties stand in for the sound it delivers itself.
      const bool own_sound = FieldUtf8(app_.ap.dv_audio_device).starts_with('=');
      if (show_properties) show_properties(which == 1 && own_sound ? 0 : which);
    });
  }
  connect(source_settings_, &QPushButton::clicked, this, [this] { OnSourceSettings(); });
  connect(area_file_, &QPushButton::clicked, this, [this] { OnChooseAreaFile(); });
  connect(area_edit_, &QPushButton::clicked, this, [this] { OnEditArea(); });

  fourcc_->setCurrentIndex(0);
  FillCodecs();
  LoadControls();
}

QLabel* InputPage::Label(const char* caption, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(caption), body_);
  label->setBuddy(buddy);
  return label;
}

void InputPage::Row(QGridLayout* grid, int row, const std::vector<QWidget*>& widgets) {
  auto* line = new QHBoxLayout;
  line->setSpacing(6);
  for (QWidget* w : widgets) line->addWidget(w);
  line->addStretch(1);
  grid->addLayout(line, row, 0, 1, 6);
}

InputPage::Number& InputPage::AddNumber(QGridLayout* grid, int row, int col, const char* caption,
                                        const char* id, const char* updown_id, int32_t* field,
                                        const char* key) {
  auto owned = std::make_unique<Number>();
  Number& n = *owned;
  numbers_.push_back(std::move(owned));
  const QString name = QString::fromLatin1(caption);
  n.field = field;
  n.range = KeyIntRange(key);
  n.updown_lo = n.range.lo;
  n.edit = new QLineEdit(body_);
  n.edit->setObjectName(QString::fromLatin1(id));
  n.edit->setAccessibleName(name);
  n.edit->setAlignment(Qt::AlignRight);
  n.edit->setFixedWidth(n.edit->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 6);
  auto* label = new QLabel(name, body_);
  label->setBuddy(n.edit);
  grid->addWidget(label, row, col * 3, Qt::AlignRight);
  grid->addWidget(n.edit, row, col * 3 + 1);
  if (updown_id) {
    n.updown = new UpDown(
        name,
        [this, &n](int d) {
          const IntRange r = n.dynamic_range ? n.dynamic_range() : n.range;
          const int v = std::clamp(LoadShared(*n.field) + d, std::min(n.updown_lo, r.lo), r.hi);
          n.edit->setText(QString::number(v));
          OnNumberText(n, n.edit->text());
          // What the edit raised the step to is shown at once.
          if (LoadShared(*n.field) != v) n.edit->setText(QString::number(LoadShared(*n.field)));
        },
        body_);
    n.updown->setObjectName(QString::fromLatin1(updown_id));
    grid->addWidget(n.updown, row, col * 3 + 2);
  }
  connect(n.edit, &QLineEdit::textEdited, this,
          [this, &n](const QString& t) { OnNumberText(n, t); });
  connect(n.edit, &QLineEdit::editingFinished, this,
          [&n] { n.edit->setText(QString::number(LoadShared(*n.field))); });
  return n;
}

InputPage::Check& InputPage::AddCheck(const char* caption, const char* id, int32_t* field) {
  auto owned = std::make_unique<Check>();
  Check& c = *owned;
  checks_.push_back(std::move(owned));
  c.field = field;
  c.box = new QCheckBox(QString::fromLatin1(caption), body_);
  c.box->setObjectName(QString::fromLatin1(id));
  c.box->setAccessibleName(c.box->text());
  connect(c.box, &QCheckBox::clicked, this, [&c](bool checked) {
    StoreShared(*c.field, checked ? 1 : 0);
    if (c.after) c.after();
  });
  return c;
}

QLineEdit* InputPage::AddText(const char* id, const QString& name, int max_chars) {
  auto* e = new QLineEdit(body_);
  e->setObjectName(QString::fromLatin1(id));
  e->setAccessibleName(name);
  e->setMaxLength(max_chars);
  return e;
}

QPushButton* InputPage::AddButton(const char* caption, const char* id, const QString& name) {
  auto* b = new QPushButton(QString::fromLatin1(caption), body_);
  b->setObjectName(QString::fromLatin1(id));
  b->setAccessibleName(name);
  b->setAutoDefault(false);
  return b;
}

void InputPage::OnNumberText(Number& n, const QString& text) {
  const IntRange r = n.dynamic_range ? n.dynamic_range() : n.range;
  if (const std::optional<int> v = StepEditValue(text.toStdString(), r, n.step)) StoreNumber(n, *v);
}

void InputPage::StoreNumber(Number& n, int value) {
  if (LoadShared(*n.field) == value) return;
  StoreShared(*n.field, value);
  if (n.after) n.after();
}

InputPage::Number* InputPage::NumberOf(const char* id) {
  for (auto& n : numbers_)
    if (n->edit->objectName() == QLatin1String(id)) return n.get();
  return nullptr;
}

int InputPage::RightEdge() const {
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  return body_->sizeHint().width() + bar + 6;
}

void InputPage::OnGui(std::function<void()> work) {
  QMetaObject::invokeMethod(this, std::move(work), Qt::AutoConnection);
}

void InputPage::FillHooks(capture::LivePageHooks& hooks) {
  auto running = hooks.input_page_running;
  hooks.input_page_running = [this, running](bool on) {
    if (running) running(on);
    OnGui([this, on] { SetRunning(on); });
  };
  auto codecs = hooks.refill_codec_list;
  hooks.refill_codec_list = [this, codecs] {
    if (codecs) codecs();
    OnGui([this] { FillCodecs(); });
  };
}

void InputPage::FillCodecs() {
  const capture::CodecList list = capture::FillCodecList(FieldUtf8(app_.ap.dv_out_codec));
  codec_->clear();
  for (const std::string& e : list.entries) codec_->addItem(Q(e));
  codec_->setCurrentIndex(list.selected);
}

void InputPage::ShowSourceNames() {
  video_name_->setText(Q(FieldUtf8(app_.ap.inputname)));
  audio_name_->setText(Q(FieldUtf8(app_.ap.dv_audio_device)));
  video_name_->setCursorPosition(0);
  audio_name_->setCursorPosition(0);
}

void InputPage::LoadControls() {
  for (auto& n : numbers_) n->edit->setText(QString::number(LoadShared(*n->field)));
  for (auto& c : checks_) c->box->setChecked(LoadShared(*c->field) != 0);
  fps_->setText(QString::asprintf("%.3f", app_.ib.fps));
  date_pair_->setText(Q(DatePairText(app_.ap.si_yyyymmdd, app_.ap.si_hhmmss)));
  if (QAbstractButton* b = font_->button(std::clamp(app_.ap.si_fontsize, 0, 3)))
    b->setChecked(true);
  si_format_->setText(QString::fromStdU16String(FieldText(app_.ib.si_format)));
  suffix_->setText(QString::fromStdU16String(FieldText(app_.state.out_ext)));
  area_name_->setText(QString::fromStdU16String(FieldText(app_.ap.dareafname)));
  ShowSourceNames();
  fourcc_->setCurrentIndex(std::clamp(app_.state.forcc_index, 0, kInputFormatCount - 1));
  SetRunning(controller_ && controller_->live_state() != capture::kIdle);
}

void InputPage::SetRunning(bool running) {
  running_ = running;
  const bool audio = capture::Named(FieldUtf8(app_.ap.dv_audio_device));
  video_pins_->setEnabled(running);
  video_props_->setEnabled(running);
  audio_pins_->setEnabled(running && audio);
  audio_props_->setEnabled(running && audio);
  codec_props_->setEnabled(running);
  for (const char* id : {"id1186", "id1187", "id1012", "id1014", "id1016"}) {
    Number* n = NumberOf(id);
    n->edit->setEnabled(!running);
    if (n->updown) n->updown->setEnabled(!running);
  }
  for (QWidget* w : std::initializer_list<QWidget*>{source_settings_, codec_, fps_, area_file_,
                                                    area_edit_, date_pair_, interlace_, suffix_,
                                                    fourcc_, Find("id1028"), Find("id1198")})
    w->setEnabled(!running);
  SyncDependentControls();
  if (running) {
    FillCaptureInputs();
  } else if (on_live_thread) {
    // The pictures take the frame size (a no-op unless it changed).
    const int cx = app_.ib.cx;
    const int cy = app_.ib.cy;
    on_live_thread([this, cx, cy] {
      state_.live_image.Resize(cx, cy);
      state_.work_image.Resize(cx, cy);
    });
  }
}

void InputPage::SyncDependentControls() {
  bbf_->setEnabled(!running_ && app_.ap.interlace != 0);
  const bool interval = app_.ap.ttrig_on != 0;
  ttrig_->edit->setEnabled(interval);
  ttrig_->updown->setEnabled(interval);
  sonly_->setEnabled(interval);
}

QWidget* InputPage::Find(const char* id) const {
  return body_->findChild<QWidget*>(QString::fromLatin1(id));
}

void InputPage::FillCaptureInputs() {
  video_pins_->clear();
  audio_pins_->clear();
  if (app_.ib.filterinmode) return;  // a source element has no capture inputs
  std::string name = FieldUtf8(app_.ap.dv_video_device);
  int counter = 1;
  GstElement* device = nullptr;
  capture::FindFilterByName(capture::DeviceCategory::VideoInput, nullptr, &name, &device, &counter);
  if (!device) return;
  const capture::CaptureInputs inputs =
      capture::ListCrossbarInputs(device, nullptr, app_.ap.vpin, app_.ap.apin);
  gst_object_unref(device);
  for (const std::string& v : inputs.video) video_pins_->addItem(Q(v));
  for (const std::string& a : inputs.audio) audio_pins_->addItem(Q(a));
  video_pins_->setCurrentIndex(app_.ap.vpin < video_pins_->count() ? app_.ap.vpin : -1);
  audio_pins_->setCurrentIndex(app_.ap.apin < audio_pins_->count() ? app_.ap.apin : -1);
}

void InputPage::OnPinChosen(bool video, int index) {
  (video ? app_.ap.vpin : app_.ap.apin) = index;
  std::string name = FieldUtf8(app_.ap.dv_video_device);
  int counter = 1;
  GstElement* device = nullptr;
  capture::FindFilterByName(capture::DeviceCategory::VideoInput, nullptr, &name, &device, &counter);
  if (!device) return;
  capture::RouteCrossbars(device, nullptr, app_.ap.vpin, app_.ap.apin);
  gst_object_unref(device);
}

void InputPage::OnFont(int size) {
  app_.ap.si_fontsize = size;
  ApplyFontSize(size, app_.ib);
  NumberOf("id1026")->edit->setText(QString::number(app_.ib.si_y0));
}

void InputPage::OnFrameSize() {
  const int cx = app_.ib.cx;
  const int cy = app_.ib.cy;
  auto reset = [this, cx, cy] {
    ResetImage(state_.live_image, cx, cy);
    ResetImage(state_.work_image, cx, cy);
  };
  if (on_live_thread) {
    on_live_thread(reset);
  } else {
    reset();
  }
  if (frame_size_changed) frame_size_changed();
}

void InputPage::OnSourceSettings() {
  SourceDialog dialog(app_, this);
  if (dialog.exec() == QDialog::Accepted) {
    ShowSourceNames();
    SetRunning(running_);
  }
}

void InputPage::OnChooseAreaFile() {
  const QString dir = Q(app_.state.startupDir);
  const QString start =
      dir + QLatin1Char('/') + QString::fromStdU16String(FieldText(app_.ap.dareafname));
  QFileDialog picker(this, QStringLiteral("Detect Area"), start,
                     QStringLiteral("Detect Area BMP(DA-*.bmp) (*.bmp)"));
  picker.setObjectName(QStringLiteral("area_file_picker"));
  picker.setFileMode(QFileDialog::ExistingFile);
  picker.setDefaultSuffix(QStringLiteral("bmp"));
  picker.setOption(QFileDialog::DontUseNativeDialog);
  if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) return;
  const QFileInfo chosen(picker.selectedFiles().first());
  // The setting holds a bare name that the station reads from its own directory: a file
  // elsewhere would never be read.
  if (!dir.isEmpty() && chosen.absolutePath() != QFileInfo(dir).absoluteFilePath()) {
    QMessageBox::information(
        this, QStringLiteral("Orvanta"),
        QStringLiteral("Detect Area files are read from the station's directory %1; copy %2 "
                       "there and choose it again.")
            .arg(dir, chosen.fileName()));
    return;
  }
  SetField(app_.ap.dareafname, chosen.fileName().toStdU16String());
  area_name_->setText(chosen.fileName());
}

void InputPage::OnEditArea() {
  if (open_detect_area) open_detect_area();
  area_name_->setText(QString::fromStdU16String(FieldText(app_.ap.dareafname)));
}

void InputPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!(resizing && resizing())) LoadControls();
}

}  // namespace orvanta::ui
