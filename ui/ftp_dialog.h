// "Orvanta FTP Settings": the FTP account the uploader uses. Every control stores its value
// at once; the dialog has no OK or Cancel and closes with Enter, Escape or its close box.
// The password is never shown; the file keeps the account scrambled.
#pragma once

#include <QCheckBox>
#include <QDialog>

#include "app/app_params.h"
#include "ui/setting_controls.h"

namespace orvanta::ui {

class FtpDialog : public QDialog {
 public:
  FtpDialog(AppContext& app, QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  AppContext& app_;
};

}  // namespace orvanta::ui
