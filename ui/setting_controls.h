// Controls bound to one settings key each, writing their value at once: a number edit
// clamped to the key's range (with an optional up-down beside it), a check box, and a text
// edit. The ranges come from the settings' own table, so what a page takes a load keeps.
#pragma once

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <optional>

#include "app/app_params.h"
#include "app/settings_keys.h"
#include "ui/up_down.h"

namespace orvanta::ui {

// The key's integer field, read and written as the filter may read it meanwhile.
int ReadInt(AppContext& app, const SettingsKey& key);
void WriteInt(AppContext& app, const SettingsKey& key, int value);
// The key by name; a name missing from the table is a programming error.
const SettingsKey& Key(const char* name);

// A number edit: every change is read, clamped to the key's range and stored when it
// differs; text that is no number leaves the value. With `rewrite_on_leave` the edit shows
// the stored value again when it loses the focus.
class IntEdit : public QLineEdit {
 public:
  IntEdit(AppContext& app, const char* key, const char* id, const QString& name,
          bool rewrite_on_leave, QWidget* parent);
  void Load();
  // Stores a value (clamped) and shows it, as the up-down does.
  void Set(int value);
  int value() const { return ReadInt(app_, key_); }
  int min() const { return lo_; }
  int max() const { return hi_; }
  // After every store.
  std::function<void()> changed;

 private:
  AppContext& app_;
  const SettingsKey& key_;
  int lo_, hi_;
};

// The up-down beside an edit: stops at the ends, or wraps around with `wrap`; `hi` below
// the edit's own maximum gives the up-down a shorter reach than typing.
UpDown* AttachUpDown(IntEdit* edit, const char* id, bool wrap, QWidget* parent,
                     std::optional<int> hi = std::nullopt);

// A check box toggling an integer field between 0 and 1.
class FlagBox : public QCheckBox {
 public:
  FlagBox(AppContext& app, const char* key, const char* id, const QString& caption,
          QWidget* parent);
  void Load();
  // After every click, with the new state.
  std::function<void(bool on)> changed;

 private:
  AppContext& app_;
  const SettingsKey& key_;
};

// A text edit copying every change into a text field (cut to what the file keeps).
class TextEdit : public QLineEdit {
 public:
  TextEdit(AppContext& app, const char* key, const char* id, const QString& name, QWidget* parent);
  void Load();

 private:
  AppContext& app_;
  const SettingsKey& key_;
};

// A caption beside a control, named for it as screen readers say it.
QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent);

}  // namespace orvanta::ui

namespace orvanta::ui {

// An open or save file chooser (Qt's own dialog, named "file_chooser"); empty when
// cancelled.
QString ChooseFile(QWidget* parent, bool save, const QString& title, const QString& start,
                   const QString& filter, const QString& suffix);
// A folder chooser (named "folder_chooser"); nothing when cancelled.
std::optional<QString> ChooseFolder(QWidget* parent, const QString& title, const QString& start);

}  // namespace orvanta::ui
