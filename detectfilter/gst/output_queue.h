// Queued delivery on one output pad: the streaming thread hands buffers and serialized
// events over and goes on; the pad's own task pushes them downstream in order. Each output
// of the detection filter has one, so a branch that blocks (a sink waiting for its preroll)
// never stalls the other outputs or the frame path for more than the queue's length.
#pragma once

#include <gst/gst.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace orvanta::detect::gst {

class OutputQueue {
 public:
  static constexpr int kMaxBuffers = 10;

  explicit OutputQueue(GstPad* pad) : pad_(pad) {}
  ~OutputQueue();
  OutputQueue(const OutputQueue&) = delete;
  OutputQueue& operator=(const OutputQueue&) = delete;

  // Pad activation: starts the pad's task, or stops it and drops what is queued.
  bool Activate(bool active);

  // Takes the buffer; waits while kMaxBuffers are queued. Answers GST_FLOW_FLUSHING while
  // flushing or inactive, else the result of the last downstream push.
  GstFlowReturn Push(GstBuffer* buffer);
  // Takes the event. Serialized events keep their place among the buffers; flushes are
  // handled here; other events go downstream at once.
  bool PushEvent(GstEvent* event);
  // Runs `done` on the pad's task once everything queued before it has been pushed (or at
  // once when the queue is dropped).
  void PushMarker(std::function<void()> done);
  // As PushMarker; then nothing queued later goes downstream until Release: the host is
  // swapping what the pad feeds (a clip's recording branch) when it hears of the marker,
  // and the next clip's frames must wait for the new branch instead of being lost. The
  // hold is in place before the marker can run.
  void PushMarkerThenHold(std::function<void()> done);
  // Lets the queue go on past every hold queued so far.
  void Release();

  GstFlowReturn last_flow() const;

 private:
  struct Item {
    GstMiniObject* object = nullptr;  // buffer or event
    std::function<void()> marker;
    bool hold = false;
  };

  static void Loop(gpointer self);
  void RunLoop();
  void Enqueue(Item item);
  void Enqueue(Item first, Item second);
  void StartTask();
  // Drops the queued items (markers still run); call without the lock.
  void Drop();

  GstPad* pad_;
  mutable std::mutex mu_;
  std::condition_variable changed_;
  std::deque<Item> items_;
  int buffers_ = 0;
  bool flushing_ = true;
  GstFlowReturn last_flow_ = GST_FLOW_OK;
};

}  // namespace orvanta::detect::gst
