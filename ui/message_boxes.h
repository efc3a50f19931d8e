// The message handler of the program with its window: every report is logged as without
// a window, then shown in a modal box owned by the main window. A report from a worker
// thread waits for the GUI thread to show it.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/messages.h"

namespace orvanta::ui {

// `owner` is read when a box is shown; null shows an unowned box.
MessageHandler WindowMessageHandler(const QPointer<QWidget>* owner);

}  // namespace orvanta::ui
