// CReplayThread: the worker that owns the replay graph. The replay page's commands arrive as
// events 1135 on its own queue and are carried out one at a time in posting order. When the
// graph has something to say the window hears event 1215 and calls HandleGraphEvents, which
// hands the work back to this thread: nothing but this thread touches the graph.
#pragma once

#include <QEvent>
#include <QObject>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <string>

#include "app/app_params.h"
#include "replay/replay_commands.h"
#include "replay/replay_engine.h"

namespace orvanta::replay {

class ReplayCommandEvent : public QEvent {
 public:
  ReplayCommandEvent(int command, int64_t value)
      : QEvent(static_cast<QEvent::Type>(kReplayCommandEvent)), command_(command), value_(value) {}
  int command() const { return command_; }
  int64_t value() const { return value_; }

 private:
  int command_;
  int64_t value_;
};

class CReplayThread : public QObject {
 public:
  // `window` receives event 1215 (null: the thread takes its graph events itself).
  CReplayThread(AppContext& app, ReplayHooks hooks, QObject* window = nullptr);
  ~CReplayThread() override;

  void Start();
  // Posts a ReplayCommand (thread-safe).
  void Post(int command, int64_t value = 0);
  // The file the next commands play (thread-safe).
  void SetReplayFile(const std::string& path) { engine_.SetReplayFile(path); }
  // Called by the window on event 1215.
  void HandleGraphEvents();
  // Waits until the thread has ended after Shutdown.
  void Wait();

  int replay_state() const { return engine_.state(); }
  bool replay_done() const { return replay_done_.load(); }
  ReplayEngine& engine() { return engine_; }

 protected:
  void customEvent(QEvent* event) override;

 private:
  ReplayEngine engine_;
  QObject* window_;
  std::atomic<bool> replay_done_{false};
  QThread thread_;
};

}  // namespace orvanta::replay
