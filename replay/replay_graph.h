// The replay graph: a clip file as source, decoders and a converter to RGB24 or NV12 as the
// clip needs them, the replay filter with the program's ReplayBlock attached, and the
// picture's sink. Built when a command first needs it, released when the page leaves the clip.
#pragma once

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/media/gst_ref.h"
#include "capture/media/media_graph.h"
#include "replayfilter/zaviprf.h"

namespace orvanta::replay {

inline constexpr const char* kReplayFilterFactory = "orvantareplay";
inline constexpr const char* kReplayFilterLibrary = "libzaviprf.so";

struct ReplayGraphSetup {
  std::string file;
  std::string startup_dir;
  // The field view works on RGB24 frames: with deinterlaced stepping every clip is
  // converted to RGB24, else NV12 clips may stay NV12.
  bool rgb_only = false;
  // The picture's sink (the replay page's); null or returning null: a fakesink.
  std::function<GstElement*()> make_video_sink;
  // The graph has events waiting (called on a streaming thread).
  std::function<void()> notify;
  // The clip's sound to a sound renderer (a frame grab needs none).
  bool with_sound = true;
};

class ReplayGraph {
 public:
  ReplayGraph() = default;
  ~ReplayGraph();
  ReplayGraph(const ReplayGraph&) = delete;
  ReplayGraph& operator=(const ReplayGraph&) = delete;

  // Builds the graph and waits for its first frame; the snapshot buffer is then sized by the
  // clip and its address in the block. On failure the message is in `error` and nothing
  // stays built.
  bool Build(const ReplayGraphSetup& setup, ReplayBlock& rb, std::string* error);
  // Stops the streaming, then frees the snapshot buffer (replay_snapshot 0).
  void Release(ReplayBlock& rb);
  bool built() const { return graph_ != nullptr; }
  // The clip's sound has a renderer: steps then go through seeks, which keep both in step.
  bool has_sound() const { return has_sound_.load(); }

  media::Result Run();
  media::Result Pause();
  media::Result SeekTo(int64_t position);
  // The next frame into the picture without a seek (nothing decoded twice); false when no
  // new frame came (the clip has ended), and the graph is then left to a seek.
  bool StepToNextFrame();
  int64_t Position();  // 100-ns; 0 when unknown
  int64_t duration() const { return duration_; }
  // The start (100-ns) of the frame the picture was given last since the last seek; -1 when
  // none came (a position past the clip's last frame).
  int64_t shown_frame() const { return shown_->load(); }
  // What the graph said since the last call: EOS and aborts, in order.
  std::vector<media::GraphEvent> TakeEvents();
  std::string last_error_text() const;

 private:
  std::unique_ptr<media::Graph> graph_;
  static void OnDecodedPad(GstElement* decoder, GstPad* pad, gpointer self);

  media::ElementRef source_, converter_, filter_, video_sink_, sound_;
  std::atomic<bool> has_sound_{false};
  std::vector<uint8_t> snapshot_;
  int64_t duration_ = 0;
  std::shared_ptr<std::atomic<int64_t>> shown_ = std::make_shared<std::atomic<int64_t>>(-1);
  std::shared_ptr<std::mutex> events_mu_ = std::make_shared<std::mutex>();
  std::shared_ptr<std::deque<media::GraphEvent>> events_ =
      std::make_shared<std::deque<media::GraphEvent>>();
};

}  // namespace orvanta::replay
