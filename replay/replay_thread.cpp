#include "replay/replay_thread.h"

#include <QCoreApplication>

namespace orvanta::replay {
namespace {

ReplayHooks WithNotify(ReplayHooks hooks, CReplayThread* thread, QObject* window) {
  hooks.graph_notify = [thread, window] {
    if (window)
      QCoreApplication::postEvent(window, new QEvent(static_cast<QEvent::Type>(kReplayGraphEvent)));
    else
      thread->HandleGraphEvents();
  };
  return hooks;
}

}  // namespace

CReplayThread::CReplayThread(AppContext& app, ReplayHooks hooks, QObject* window)
    : engine_(app, WithNotify(std::move(hooks), this, window)), window_(window) {}

CReplayThread::~CReplayThread() {
  if (thread_.isRunning()) {
    Post(kShutdown);
    thread_.wait();
  }
}

void CReplayThread::Start() {
  moveToThread(&thread_);
  thread_.start();
}

void CReplayThread::Post(int command, int64_t value) {
  QCoreApplication::postEvent(this, new ReplayCommandEvent(command, value));
}

void CReplayThread::HandleGraphEvents() {
  QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(kReplayGraphWorkEvent)));
}

void CReplayThread::Wait() {
  thread_.wait();
}

void CReplayThread::customEvent(QEvent* event) {
  if (event->type() == static_cast<QEvent::Type>(kReplayGraphWorkEvent)) {
    engine_.HandleGraphEvents();
    return;
  }
  if (event->type() != static_cast<QEvent::Type>(kReplayCommandEvent)) return;
  const auto* command = static_cast<ReplayCommandEvent*>(event);
  engine_.Command(command->command(), command->value());
  if (command->command() == kShutdown) {
    replay_done_ = true;
    thread_.quit();
  }
}

}  // namespace orvanta::replay
