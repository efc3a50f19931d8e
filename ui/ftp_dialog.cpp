#include "ui/ftp_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>

namespace orvanta::ui {

FtpDialog::FtpDialog(AppContext& app, QWidget* parent) : QDialog(parent), app_(app) {
  setObjectName(QStringLiteral("id139"));
  setWindowTitle(QStringLiteral("Orvanta FTP Settings"));
  auto* grid = new QGridLayout(this);
  int row = 0;
  auto text = [&](const char* key, const char* id, const char* caption) {
    auto* edit = new TextEdit(app_, key, id, QString::fromLatin1(caption), this);
    edit->setMinimumWidth(260);
    edit->Load();
    grid->addWidget(Caption(QString::fromLatin1(caption), edit, this), row, 0);
    grid->addWidget(edit, row++, 1, 1, 2);
    return edit;
  };
  text("AP.ftp_server", "id1277", "FTP Server");
  text("AP.ftp_dir", "id1278", "Dir");
  auto* port = new IntEdit(app_, "AP.ftp_port", "id1281", QStringLiteral("Port"), false, this);
  port->setFixedWidth(60);
  port->Load();
  auto* passive = new FlagBox(app_, "AP.ftp_passive", "id1282", QStringLiteral("Passive"), this);
  passive->Load();
  auto* port_row = new QHBoxLayout;
  port_row->addWidget(port);
  port_row->addWidget(passive);
  port_row->addStretch(1);
  grid->addWidget(Caption(QStringLiteral("Port"), port, this), row, 0);
  grid->addLayout(port_row, row++, 1, 1, 2);
  text("AP.ftp_uname", "id1279", "Login name");
  TextEdit* pw = text("AP.ftp_pw", "id1280", "PassWord");
  pw->setEchoMode(QLineEdit::Password);
  // The typed password stays inside the edit: no copy, drag or context menu shows it.
  pw->setContextMenuPolicy(Qt::NoContextMenu);
  pw->setDragEnabled(false);
  auto* interval = new IntEdit(app_, "AP.ftp_minmin", "id1360",
                               QStringLiteral("Minimum interval (min)"), true, this);
  interval->setFixedWidth(60);
  interval->Load();
  auto* interval_row = new QHBoxLayout;
  interval_row->addWidget(interval);
  // Typing may give more than a day; the arrows stop at one.
  interval_row->addWidget(AttachUpDown(interval, "id1361", false, this, 1440));
  interval_row->addStretch(1);
  grid->addWidget(Caption(QStringLiteral("Minimum interval (min)"), interval, this), row, 0);
  grid->addLayout(interval_row, row++, 1, 1, 2);
}

void FtpDialog::keyPressEvent(QKeyEvent* event) {
  // Nothing to confirm: Enter closes as Escape does, keeping every change.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace orvanta::ui
