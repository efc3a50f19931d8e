// The station's media graph over a GStreamer pipeline: elements carry the labels the
// engine gives them as their names, streams are rendered from an element's output to
// another's input with decoders and converters put in between where the formats need
// them, and the bus is turned into numbered graph events and element messages.
#pragma once

#include <gst/gst.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/media/media_result.h"

namespace orvanta::media {

enum class PinCategory { None, Capture, Preview };
enum class MediaKind { Video, Audio, Interleaved };
enum class PinDirection { Output, Input };

inline constexpr int kEventComplete = 1;    // a file source has ended
inline constexpr int kEventErrorAbort = 3;  // streaming stopped on an error; param1 = result

struct GraphEvent {
  int code = 0;
  Result param1 = kOk;
  std::string text;  // what the failing element said, for the log
};

class Graph {
 public:
  Graph();
  ~Graph();
  Graph(const Graph&) = delete;
  Graph& operator=(const Graph&) = delete;

  GstElement* pipeline() const { return pipeline_; }

  // Adds the element under `label` as its name. The caller keeps its reference (a floating
  // one is sunk into it) and releases it when done.
  Result AddFilter(GstElement* element, const std::string& label);
  // Stops the element, unlinks it (releasing request pads on both sides) and takes it out.
  Result RemoveFilter(GstElement* element);
  GstElement* FindFilter(const std::string& label) const;  // borrowed, or null

  // Joins two pads; when their formats cannot meet, a converter is put between them.
  Result Connect(GstPad* output, GstPad* input);
  // Unlinks the pad from its peer; request pads on either side are released.
  Result Disconnect(GstPad* pad);
  // Takes out the elements behind the outputs (their peers' elements) and everything
  // downstream of them.
  void RemoveDownstream(const std::vector<GstPad*>& outputs);
  // When `output` leads to `target` through at most a few helpers (queues, converters),
  // unlinks it and takes the helpers out; true when it did.
  bool RemoveChainTo(GstPad* output, GstElement* target);
  // A new end of stream into the output's peer.
  void SendEndOfStream(GstPad* output);
  // The output's own end of stream, when it has one, passed to its peer (a peer linked
  // after the end went by).
  void PassOnEndOfStream(GstPad* output);
  // One element paused and run again while the rest of the graph plays.
  Result RunAgain(GstElement* element);
  // An element added to a playing graph takes the graph's state.
  void JoinRunningGraph(GstElement* element);

  // Joins a free output of `source` of the kind to `intermediate` (optional) and then to
  // a free input of `sink`. Encoded streams get a decoder, raw streams a converter where
  // needed, and every output of an element with several outputs (a tee, the detection
  // filter) gets a queue. Outputs that appear later (decoders, network sources) are
  // joined when they appear.
  Result RenderStream(PinCategory category, MediaKind kind, GstElement* source,
                      GstElement* intermediate, GstElement* sink);
  // The index-th pad of the direction and kind; new reference or null.
  GstPad* FindPin(GstElement* element, PinDirection direction, PinCategory category, MediaKind kind,
                  int index);

  // An AVI multiplexer writing into `path` through a file writer, both added to the graph
  // (the pointers are the graph's; take a reference to keep them).
  Result SetOutputFileName(const std::string& path, GstElement** mux, GstElement** writer);

  Result Run();   // to playing; a refused start gives the failing element's result
  Result Stop();  // to null: every streaming thread has ended when this returns

  // Events are queued; `notify` is called (on any thread) whenever one is queued, and the
  // owner then takes them with GetEvent until none is left.
  void SetNotify(std::function<void()> notify);
  bool GetEvent(GraphEvent* event);
  // Element messages ("ClipEnd"), called on the posting thread, in posting order.
  void SetElementMessageHandler(
      std::function<void(GstElement* source, const GstStructure* structure)> handler);

  // The last error the bus reported (empty when none), for logs and messages.
  std::string last_error_text() const;
  Result last_error() const;

 private:
  struct PendingLink;
  static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self);
  static void OnPadAdded(GstElement* element, GstPad* pad, gpointer link);
  void HandleMessage(GstMessage* message);
  void QueueEvent(GraphEvent event);
  Result LinkChain(GstPad* out, MediaKind kind, GstElement* intermediate, GstElement* sink,
                   bool queue_first);
  Result LinkToElement(GstPad* out, MediaKind kind, GstElement* target);
  Result LinkRaw(GstPad* out, MediaKind kind, GstPad* in, bool convert);
  GstElement* AddHelper(const char* factory);
  void RemoveFrom(GstElement* element, std::vector<GstElement*>& removed);

  GstElement* pipeline_ = nullptr;
  std::vector<std::unique_ptr<PendingLink>> pending_;
  mutable std::mutex mutex_;
  std::deque<GraphEvent> events_;
  std::function<void()> notify_;
  std::function<void(GstElement*, const GstStructure*)> element_handler_;
  Result last_error_ = kOk;
  std::string last_error_text_;
};

// Kind of a pad from its caps: video (raw, encoded, DV), audio, or unknown (ANY).
enum class PadKind { Unknown, Video, Audio, Other };
PadKind KindOfPad(GstPad* pad);
bool IsRawPad(GstPad* pad);
// A GStreamer error turned into a result code.
Result ResultFromError(const GError* error);

}  // namespace orvanta::media
