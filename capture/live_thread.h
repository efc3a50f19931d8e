// CLiveThread: the worker that owns the live graph. Commands from the pages and the
// schedule, and the detection filter's end-of-clip notice, arrive as events on its own
// queue and are handled one at a time in posting order; nothing else touches the graph.
#pragma once

#include <QEvent>
#include <QObject>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/app_params.h"
#include "capture/capture_state.h"
#include "capture/finished_clip.h"
#include "capture/live_commands.h"
#include "capture/live_controller.h"
#include "capture/live_graph.h"
#include "clipnaming/clip_name.h"

namespace orvanta::ftp {
class FtpUploader;
}

namespace orvanta::capture {

class LiveCommandEvent : public QEvent {
 public:
  explicit LiveCommandEvent(int command)
      : QEvent(static_cast<QEvent::Type>(kLiveCommandEvent)), command_(command) {}
  int command() const { return command_; }

 private:
  int command_;
};

class ClipEndEvent : public QEvent {
 public:
  explicit ClipEndEvent(std::shared_ptr<FinishedClip> clip)
      : QEvent(static_cast<QEvent::Type>(kClipEndEvent)), clip_(std::move(clip)) {}
  FinishedClip& clip() const { return *clip_; }

 private:
  std::shared_ptr<FinishedClip> clip_;
};

class LiveTaskEvent : public QEvent {
 public:
  explicit LiveTaskEvent(std::function<void()> task)
      : QEvent(static_cast<QEvent::Type>(kLiveTaskEvent)), task_(std::move(task)) {}
  void Run() const { task_(); }

 private:
  std::function<void()> task_;
};

class CLiveThread : public QObject {
 public:
  // `page` performs the live page's actions (Stop after failures, Detect or Preview to
  // resume). `hooks` are the window's seams; the thread fills in clip_end and the actions.
  CLiveThread(AppContext& app, CaptureState& state, CaptureHooks& hooks, LiveController& page);
  ~CLiveThread() override;

  // Starts the thread with its own event loop; host_thread_id names it.
  void Start();
  // Posts a LiveCommand (thread-safe).
  void Post(int command);
  // Posts ClipEnd with the finished clip (thread-safe; called on a streaming thread).
  void PostClipEnd(std::shared_ptr<FinishedClip> clip);
  // Runs `task` on the live thread after everything posted before it (thread-safe).
  void PostTask(std::function<void()> task);
  // Waits until the thread has ended after Shutdown.
  void Wait();
  // The same for at most `ms` milliseconds; false when the thread is still busy (a source
  // that blocks in opening, a file system that does not answer).
  bool Wait(int ms);

  // The graph's events, read on the thread that owns the pages.
  void HandleGraphEvents() { graph_.HandleGraphEvents(); }

  ftp::FtpUploader& uploader() { return *uploader_; }
  // The source has stopped delivering: the next stop keeps the clip being recorded (cut off
  // where the pictures stopped) instead of removing it. Thread-safe.
  void MarkSourceLost() { source_lost_ = true; }
  // The number (block clip_no) of the last clip whose end this thread has handled.
  int finished_clip_no() const { return finished_clip_no_.load(); }
  LiveGraph& graph() { return graph_; }

 protected:
  void customEvent(QEvent* event) override;

 private:
  void StartCapture();
  void StopCapture();
  void FinishClip(FinishedClip& clip);
  void ReportClipProducts(FinishedClip& clip, const std::string& final_path,
                          const ClipNameParts& parts);
  void RecordNextClip();
  void DeleteRecordingFile();
  void KeepCutOffRecording();
  void MendUnfinishedFile(FinishedClip& clip);
  void RunActionCommand(const std::string& final_path);

  AppContext& app_;
  DetectionBlock& ib_;
  AppParams& ap_;
  CaptureState& state_;
  CaptureHooks& hooks_;
  LiveController& page_;
  LiveGraph graph_;
  std::unique_ptr<ftp::FtpUploader> uploader_;
  std::atomic<int> finished_clip_no_{0};
  std::atomic<bool> source_lost_{false};
  QThread thread_;
};

}  // namespace orvanta::capture
