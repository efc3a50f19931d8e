// The replay engine: the replay page's commands carried out one at a time on the replay graph
// (play, pause, step by frame or field, seek, close), and the graph's events. It runs on the
// replay thread; everything here is called from that one thread.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "app/app_params.h"
#include "replay/replay_commands.h"
#include "replay/replay_graph.h"

namespace orvanta::replay {

struct ReplayHooks {
  // The replay page's picture sink; null or returning null: a fakesink.
  std::function<GstElement*()> make_video_sink;
  // The slider: its range (after a build) and its position, in milliseconds.
  std::function<void(int64_t duration_ms)> set_slider_range;
  std::function<void(int64_t position_ms)> set_slider;
  // The play button's text (">" when the clip has played to its end).
  std::function<void(const char* text)> set_play_text;
  // The graph has events waiting (called on a streaming thread).
  std::function<void()> graph_notify;
  // A command has been carried out (the page refreshes; tests wait for it).
  std::function<void(int command)> command_done;
  // The clip's sound is played (a frame grab needs none).
  bool with_sound = true;
};

class ReplayEngine {
 public:
  ReplayEngine(AppContext& app, ReplayHooks hooks);
  ~ReplayEngine();
  ReplayEngine(const ReplayEngine&) = delete;
  ReplayEngine& operator=(const ReplayEngine&) = delete;

  // The file the next commands play (up to 1023 characters are used). Any thread.
  void SetReplayFile(const std::string& path);
  std::string replay_file() const;

  void Command(int command, int64_t value = 0);
  // The graph's end-of-stream and abort events.
  void HandleGraphEvents();

  int state() const { return state_.load(); }
  ReplayBlock& block() { return rb_; }
  int64_t duration() const { return graph_.duration(); }
  // Moves to `position` (100-ns) with the field view as the block says, as a step does;
  // false when the clip has no frame there (the picture stays where it was).
  bool MoveTo(int64_t position);
  // The start (100-ns) of the frame on show; -1 when none.
  int64_t shown_frame() const { return graph_.shown_frame(); }
  // The clip's sound goes to a sound renderer.
  bool has_sound() const { return graph_.has_sound(); }

 private:
  bool Ensure();
  bool Build();
  void Release();
  void ReadPositionForStep();
  bool FinishMove(int64_t previous);

  AppContext& app_;
  ReplayBlock& rb_;
  ReplayHooks hooks_;
  ReplayGraph graph_;
  std::atomic<int> state_{kNoGraph};
  mutable std::mutex file_mu_;
  std::string file_;
};

}  // namespace orvanta::replay
