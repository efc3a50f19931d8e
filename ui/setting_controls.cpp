#include "ui/setting_controls.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "app/settings_ranges.h"
#include "app/text_utf.h"
#include "detectfilter/shared_field.h"
#include "ui/live_values.h"
#include "ui/station_page_rules.h"

namespace orvanta::ui {

int ReadInt(AppContext& app, const SettingsKey& key) {
  return LoadShared(key.Int(app));
}

void WriteInt(AppContext& app, const SettingsKey& key, int value) {
  StoreShared(key.Int(app), value);
}

const SettingsKey& Key(const char* name) {
  const SettingsKey* key = FindSettingsKey(name);
  if (!key) {
    std::fprintf(stderr, "no settings key %s\n", name);
    std::abort();
  }
  return *key;
}

IntEdit::IntEdit(AppContext& app, const char* key, const char* id, const QString& name,
                 bool rewrite_on_leave, QWidget* parent)
    : QLineEdit(parent), app_(app), key_(Key(key)) {
  const std::optional<ValueRange> range = RangeOf(key_);
  lo_ = range ? static_cast<int>(range->min) : INT_MIN;
  hi_ = range ? static_cast<int>(range->max) : INT_MAX;
  setObjectName(QString::fromLatin1(id));
  setAccessibleName(name);
  setAlignment(Qt::AlignRight);
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    const int v = ClampEditText(text.toStdString(), lo_, hi_, value());
    if (v == value()) return;
    WriteInt(app_, key_, v);
    if (changed) changed();
  });
  if (rewrite_on_leave) connect(this, &QLineEdit::editingFinished, this, [this] { Load(); });
}

void IntEdit::Load() {
  setText(QString::number(value()));
}

void IntEdit::Set(int v) {
  WriteInt(app_, key_, std::clamp(v, lo_, hi_));
  Load();
  if (changed) changed();
}

UpDown* AttachUpDown(IntEdit* edit, const char* id, bool wrap, QWidget* parent,
                     std::optional<int> hi) {
  const int top = hi.value_or(edit->max());
  auto* updown = new UpDown(
      edit->accessibleName(),
      [edit, wrap, top](int d) {
        const int lo = edit->min();
        const int v = edit->value();
        edit->Set(wrap ? WrapStep(v, d, lo, top) : std::clamp(v + d, lo, top));
      },
      parent);
  updown->setObjectName(QString::fromLatin1(id));
  return updown;
}

FlagBox::FlagBox(AppContext& app, const char* key, const char* id, const QString& caption,
                 QWidget* parent)
    : QCheckBox(caption, parent), app_(app), key_(Key(key)) {
  setObjectName(QString::fromLatin1(id));
  setAccessibleName(caption.isEmpty() ? QString::fromLatin1(key) : caption);
  connect(this, &QCheckBox::clicked, this, [this](bool on) {
    WriteInt(app_, key_, on ? 1 : 0);
    if (changed) changed(on);
  });
}

void FlagBox::Load() {
  setChecked(ReadInt(app_, key_) != 0);
}

TextEdit::TextEdit(AppContext& app, const char* key, const char* id, const QString& name,
                   QWidget* parent)
    : QLineEdit(parent), app_(app), key_(Key(key)) {
  setObjectName(QString::fromLatin1(id));
  setAccessibleName(name);
  connect(this, &QLineEdit::textEdited, this, [this](const QString& text) {
    std::u16string typed = text.toStdU16String();
    while (!typed.empty() && !TextFits(key_, typed)) typed.pop_back();
    SetField(key_.Text(app_), key_.units, typed);
  });
}

void TextEdit::Load() {
  setText(QString::fromStdU16String(FieldText(key_.Text(app_), key_.units)));
}

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  if (buddy) {
    label->setBuddy(buddy);
    if (buddy->accessibleName().isEmpty()) buddy->setAccessibleName(text);
  }
  return label;
}

}  // namespace orvanta::ui

namespace orvanta::ui {

QString ChooseFile(QWidget* parent, bool save, const QString& title, const QString& start,
                   const QString& filter, const QString& suffix) {
  QFileDialog dialog(parent, title, start, filter);
  dialog.setObjectName(QStringLiteral("file_chooser"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!suffix.isEmpty()) dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

std::optional<QString> ChooseFolder(QWidget* parent, const QString& title, const QString& start) {
  QFileDialog dialog(parent, title, start);
  dialog.setObjectName(QStringLiteral("folder_chooser"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

}  // namespace orvanta::ui
