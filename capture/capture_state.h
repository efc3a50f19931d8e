// What the capture engine keeps between its parts: the recording file, the recording
// mode, the FTP spacing, the live thread's done flag and the images the pages show; and
// the seams through which a window (or the headless runner) takes part.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "products/image24.h"

namespace orvanta::capture {

class LiveGraph;
struct FinishedClip;

struct CaptureState {
  std::string rec_file;          // the file the recording branch writes; empty when none
  std::string last_clip;         // the clip last finished: making room never takes it
  std::atomic<int> rec_mode{0};  // 0 no branch, 1 uncompressed, 3 through a compressor
  int32_t last_ftp_minute = 0;
  std::atomic<int> live_done{0};  // the live thread has handled Shutdown
  Image24 live_image;             // the live page image (last snapshot while idle)
  Image24 work_image;             // the area editor's image; masks are read through it
};

struct CaptureHooks {
  // The preview renderer ("VMRx"); null or returning null: a fakesink.
  std::function<GstElement*()> make_preview_sink;
  // The preview renders at the stream's pace (a station); false runs as fast as it can.
  bool realtime_preview = true;
  // The live page's Stop action (the engine performs it after a graph failure).
  std::function<void()> stop_action;
  // The live page's Detect and Preview actions (the live thread resumes through them).
  std::function<void()> detect_action;
  std::function<void()> preview_action;
  // The live graph has events waiting; the owner calls HandleGraphEvents on its thread.
  std::function<void()> graph_notify;
  // The detection filter ended a clip: post ClipEnd with the clip to the live thread, in
  // order. Called on a streaming thread.
  std::function<void(std::shared_ptr<FinishedClip> clip)> clip_end;
  // The operation page's free-space field, the clip database page's list.
  std::function<void(int free_mb)> show_free_space;
  std::function<void(const std::string& final_path)> add_new_clip;
  std::function<void()> open_latest_clip;
  // Clips were removed to make room for the next recording: the clip list re-reads.
  std::function<void()> clips_removed;
  // A clip is finished: final video path (or record path when no video is kept).
  std::function<void(const std::string& path, const FinishedClip& clip)> clip_finished;
  // Streaming stopped on an error (after the Stop action and the message).
  std::function<void()> graph_failed;
  // The whole graph is about to stop (streaming threads must not be held up).
  std::function<void()> graph_stopping;
  // A live graph has been built (on the live thread, before it runs).
  std::function<void(LiveGraph& graph)> graph_built;
};

}  // namespace orvanta::capture
