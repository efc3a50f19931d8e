// The "Profile" page of the left sheet: the station's observer, site and camera codes, its
// coordinates (the sun times use them) and the equipment texts. Each change is stored at
// once, cut or held to what the settings file keeps.
#pragma once

#include <QLineEdit>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/app_params.h"
#include "app/settings_keys.h"

namespace orvanta::ui {

class ProfilePage : public QWidget {
 public:
  explicit ProfilePage(AppContext& app, QWidget* parent = nullptr);

  // Set while the main window lays out its sheets: showing the page then only lays out.
  std::function<bool()> resizing;

  void LoadControls();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Field {
    const SettingsKey* key;
    QLineEdit* edit;
    const char* format;  // numbers: "%.4f" or "%.1f"; texts: null
  };
  AppContext& app_;
  std::vector<Field> fields_;
};

}  // namespace orvanta::ui
