#include "ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace orvanta::ui {
namespace {

int ShowBox(const QPointer<QWidget>* owner, QMessageBox::Icon icon, const char* title,
            const std::string& text) {
  auto show = [&] {
    QMessageBox box(icon, QString::fromLatin1(title), QString::fromStdString(text), QMessageBox::Ok,
                    owner ? owner->data() : nullptr);
    return box.exec() == QMessageBox::Ok ? 1 : 2;
  };
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) return show();
  int pressed = 1;
  QMetaObject::invokeMethod(
      app, [&] { pressed = show(); }, Qt::BlockingQueuedConnection);
  return pressed;
}

}  // namespace

MessageHandler WindowMessageHandler(const QPointer<QWidget>* owner) {
  const MessageHandler log = HeadlessMessageHandler();
  return MessageHandler{[owner, log](const std::string& text) {
                          log.report(text);
                          return ShowBox(owner, QMessageBox::NoIcon, "Orvanta", text);
                        },
                        [owner, log](const std::string& text) {
                          log.fatal(text);
                          ShowBox(owner, QMessageBox::Critical, "Orvanta Fatal Error", text);
                        }};
}

}  // namespace orvanta::ui
