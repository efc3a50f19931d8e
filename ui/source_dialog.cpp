#include "ui/source_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "app/user_dirs.h"
#include "capture/device_catalogue.h"

namespace orvanta::ui {
namespace {

// Text fields hold what the settings' path fields take.
constexpr int kTextChars = 511;

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QRadioButton* Radio(const char* caption, const char* id, QWidget* parent) {
  auto* r = new QRadioButton(QString::fromLatin1(caption), parent);
  r->setObjectName(QString::fromLatin1(id));
  r->setAccessibleName(QString::fromLatin1(caption));
  return r;
}

// The names of a category as its list shows them, after the fixed entries.
std::vector<std::string> Listing(capture::DeviceCategory category, std::vector<std::string> first,
                                 int counter) {
  std::string wanted = kNoneEntry;
  capture::FindFilterByName(category, &first, &wanted, nullptr, &counter);
  return first;
}

}  // namespace

SourceDialog::SourceDialog(AppContext& app, QWidget* parent)
    : QDialog(parent), app_(app), choice_(LoadSourceChoice(app)) {
  setObjectName(QStringLiteral("id144"));
  setWindowTitle(QStringLiteral("Source settings"));
  setAccessibleName(windowTitle());

  device_mode_ = Radio("DEVICE", "id1382", this);
  filter_mode_ = Radio("FILTER", "id1381", this);
  auto* kind = new QButtonGroup(this);
  kind->addButton(device_mode_);
  kind->addButton(filter_mode_);
  rtsp_ = Radio("RTSP", "id1379", this);
  file_ = Radio("FILE", "id1380", this);
  auto* stream = new QButtonGroup(this);
  stream->addButton(rtsp_);
  stream->addButton(file_);

  video_device_ = List("id1377", QStringLiteral("Video device"));
  device_decoder_ = List("id1378", QStringLiteral("Device decoder"));
  source_filter_ = List("id1372", QStringLiteral("Source filter"));
  filter_decoder_ = List("id1373", QStringLiteral("Filter decoder"));
  audio_device_ = List("id1384", QStringLiteral("Audio device"));
  audio_decoder_ = List("id1385", QStringLiteral("Audio decoder"));
  uname_ = Edit("id1374", QStringLiteral("User name"));
  pword_ = Edit("id1376", QStringLiteral("Password"));
  // The camera's password is never shown, typed or stored.
  pword_->setEchoMode(QLineEdit::Password);
  ip_ = Edit("id1375", QStringLiteral("ip:port/stream"));
  file_edit_ = Edit("id1383", QStringLiteral("Video file"));
  pick_file_ = new QPushButton(QStringLiteral("..."), this);
  pick_file_->setObjectName(QStringLiteral("id1191"));
  pick_file_->setAccessibleName(QStringLiteral("Choose video file"));
  pick_file_->setAutoDefault(false);
  pick_file_->setFixedWidth(32);
  continuous_ = new QCheckBox(QStringLiteral("continuous detection mode"), this);
  continuous_->setObjectName(QStringLiteral("id1365"));
  continuous_->setAccessibleName(continuous_->text());
  input_name_ = new QLabel(this);
  input_name_->setObjectName(QStringLiteral("input_name"));
  input_name_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto label = [this](const char* caption, QWidget* buddy) {
    auto* l = new QLabel(QString::fromLatin1(caption), this);
    l->setBuddy(buddy);
    return l;
  };
  auto* video = new QGroupBox(QStringLiteral("Video source"), this);
  auto* grid = new QGridLayout(video);
  grid->addWidget(device_mode_, 0, 0);
  grid->addWidget(label("Device", video_device_), 0, 1);
  grid->addWidget(video_device_, 0, 2, 1, 3);
  grid->addWidget(label("Decoder", device_decoder_), 1, 1);
  grid->addWidget(device_decoder_, 1, 2, 1, 3);
  grid->addWidget(filter_mode_, 2, 0);
  grid->addWidget(label("Filter", source_filter_), 2, 1);
  grid->addWidget(source_filter_, 2, 2, 1, 3);
  grid->addWidget(label("Decoder", filter_decoder_), 3, 1);
  grid->addWidget(filter_decoder_, 3, 2, 1, 3);
  grid->addWidget(rtsp_, 4, 0);
  grid->addWidget(label("User", uname_), 4, 1);
  grid->addWidget(uname_, 4, 2);
  grid->addWidget(label("Password", pword_), 4, 3);
  grid->addWidget(pword_, 4, 4);
  grid->addWidget(label("ip:port/stream", ip_), 5, 1);
  grid->addWidget(ip_, 5, 2, 1, 3);
  grid->addWidget(file_, 6, 0);
  grid->addWidget(label("File", file_edit_), 6, 1);
  auto* file_row = new QHBoxLayout;
  file_row->addWidget(file_edit_, 1);
  file_row->addWidget(pick_file_);
  grid->addLayout(file_row, 6, 2, 1, 3);
  grid->addWidget(continuous_, 7, 0, 1, 5);
  grid->setColumnStretch(2, 1);
  grid->setColumnStretch(4, 1);

  auto* audio = new QGroupBox(QStringLiteral("Audio source"), this);
  auto* agrid = new QGridLayout(audio);
  agrid->addWidget(label("Device", audio_device_), 0, 0);
  agrid->addWidget(audio_device_, 0, 1);
  agrid->addWidget(label("Decoder", audio_decoder_), 1, 0);
  agrid->addWidget(audio_decoder_, 1, 1);
  agrid->setColumnStretch(1, 1);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("id1"));
  QPushButton* cancel = buttons->addButton(QStringLiteral("cancel"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("id2"));
  ok->setDefault(true);

  auto* name_row = new QHBoxLayout;
  name_row->addWidget(new QLabel(QStringLiteral("Input name:"), this));
  name_row->addWidget(input_name_, 1);
  auto* page = new QVBoxLayout(this);
  page->addWidget(video);
  page->addWidget(audio);
  page->addLayout(name_row);
  page->addWidget(buttons);

  // Edits show what was stored; only what the user types goes into the copies.
  uname_->setText(Q(choice_.rtsp_uname));
  pword_->setText(Q(choice_.rtsp_pword));
  ip_->setText(Q(choice_.rtsp_ip));
  file_edit_->setText(Q(choice_.infname));
  (choice_.filter_mode ? filter_mode_ : device_mode_)->setChecked(true);
  (choice_.rtsp_mode ? rtsp_ : file_)->setChecked(true);
  FillLists();
  ShowMode();

  auto store = [this](QLineEdit* edit, std::string SourceChoice::*field) {
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
      choice_.*field = text.toStdString();
      ShowMode();
    });
  };
  store(uname_, &SourceChoice::rtsp_uname);
  store(pword_, &SourceChoice::rtsp_pword);
  store(ip_, &SourceChoice::rtsp_ip);
  store(file_edit_, &SourceChoice::infname);
  auto pick = [this](QComboBox* list, std::string SourceChoice::*field, int mode) {
    connect(list, &QComboBox::activated, this, [this, list, field, mode](int index) {
      choice_.*field = list->itemText(index).toStdString();
      if (mode >= 0) choice_.filter_mode = mode == 1;
      ShowMode();
    });
  };
  pick(video_device_, &SourceChoice::video_device, 0);
  pick(device_decoder_, &SourceChoice::device_decoder, 0);
  pick(source_filter_, &SourceChoice::source_filter, 1);
  pick(filter_decoder_, &SourceChoice::filter_decoder, 1);
  pick(audio_device_, &SourceChoice::audio_device, -1);
  pick(audio_decoder_, &SourceChoice::audio_decoder, -1);
  connect(device_mode_, &QRadioButton::clicked, this, [this] {
    choice_.filter_mode = false;
    ShowMode();
  });
  connect(filter_mode_, &QRadioButton::clicked, this, [this] {
    choice_.filter_mode = true;
    ShowMode();
  });
  for (auto [radio, rtsp] : {std::pair{rtsp_, true}, std::pair{file_, false}}) {
    connect(radio, &QRadioButton::clicked, this, [this, rtsp] {
      choice_.filter_mode = true;
      choice_.rtsp_mode = rtsp;
      ShowMode();
    });
  }
  connect(continuous_, &QCheckBox::clicked, this, [this](bool checked) { OnContinuous(checked); });
  connect(pick_file_, &QPushButton::clicked, this, [this] { OnPickFile(); });
  connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QComboBox* SourceDialog::List(const char* id, const QString& name) {
  auto* list = new QComboBox(this);
  list->setObjectName(QString::fromLatin1(id));
  list->setAccessibleName(name);
  list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  list->setMinimumContentsLength(24);
  list->setMaxVisibleItems(20);
  return list;
}

QLineEdit* SourceDialog::Edit(const char* id, const QString& name) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromLatin1(id));
  edit->setAccessibleName(name);
  edit->setMaxLength(kTextChars);
  return edit;
}

void SourceDialog::Fill(QComboBox* list, const std::vector<std::string>& entries,
                        const std::string& name) {
  list->clear();
  for (const std::string& e : entries) list->addItem(Q(e));
  // A name no longer offered (a camera unplugged) shows nothing but stays the setting.
  list->setCurrentIndex(list->findText(Q(name), Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void SourceDialog::FillLists() {
  using capture::DeviceCategory;
  const std::vector<std::string> filters = Listing(DeviceCategory::AllFilters, {}, 0);
  std::vector<std::string> with_none{kNoneEntry};
  with_none.insert(with_none.end(), filters.begin(), filters.end());
  Fill(video_device_, Listing(DeviceCategory::VideoInput, {}, 1), choice_.video_device);
  Fill(source_filter_, filters, choice_.source_filter);
  Fill(filter_decoder_, with_none, choice_.filter_decoder);
  Fill(device_decoder_, with_none, choice_.device_decoder);
  Fill(audio_device_, Listing(DeviceCategory::AudioInput, {kNoneEntry, kVideoSourceAudio}, 1),
       choice_.audio_device);
  Fill(audio_decoder_, with_none, choice_.audio_decoder);
}

void SourceDialog::ShowMode() {
  const SourceModeView v = ViewOfMode(choice_);
  device_mode_->setChecked(!choice_.filter_mode);
  filter_mode_->setChecked(choice_.filter_mode);
  if (choice_.filter_mode) (choice_.rtsp_mode ? rtsp_ : file_)->setChecked(true);
  video_device_->setEnabled(v.device_lists);
  device_decoder_->setEnabled(v.device_lists);
  source_filter_->setEnabled(v.filter_lists);
  filter_decoder_->setEnabled(v.filter_lists);
  for (QWidget* w :
       {static_cast<QWidget*>(uname_), static_cast<QWidget*>(pword_), static_cast<QWidget*>(ip_)})
    w->setEnabled(v.account);
  file_edit_->setEnabled(v.file);
  pick_file_->setEnabled(v.file);
  continuous_->setEnabled(v.continuous);
  continuous_->setChecked(choice_.continuous);
  input_name_->setText(Q(choice_.InputName()));
}

void SourceDialog::OnContinuous(bool checked) {
  if (checked) {
    QMessageBox ask(QMessageBox::NoIcon, QStringLiteral("Orvanta"),
                    QStringLiteral("This is a test feature OK?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    ask.setObjectName(QStringLiteral("continuous_prompt"));
    if (ask.exec() != QMessageBox::Ok) checked = false;
  }
  choice_.continuous = checked;
  continuous_->setChecked(checked);
}

void SourceDialog::OnPickFile() {
  const QString start = choice_.infname.empty() ? Q(DocumentsFolder()) : Q(choice_.infname);
  QFileDialog picker(this, QStringLiteral("Video Source File"), start,
                     QStringLiteral("Video File (*.avi *.mp4)"));
  picker.setObjectName(QStringLiteral("video_file_picker"));
  picker.setFileMode(QFileDialog::ExistingFile);
  picker.setDefaultSuffix(QStringLiteral("zvi"));
  picker.setOption(QFileDialog::DontUseNativeDialog);
  if (!choice_.infname.empty()) picker.selectFile(Q(choice_.infname));
  if (picker.exec() != QDialog::Accepted || picker.selectedFiles().isEmpty()) return;
  choice_.infname = picker.selectedFiles().first().toStdString();
  file_edit_->setText(Q(choice_.infname));
  ShowMode();
}

void SourceDialog::OnOk() {
  SaveSourceChoice(choice_, app_);
  accept();
}

}  // namespace orvanta::ui
