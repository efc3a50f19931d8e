#include "detectfilter/gst/output_queue.h"

#include <utility>
#include <vector>

namespace orvanta::detect::gst {

OutputQueue::~OutputQueue() {
  Drop();
}

void OutputQueue::StartTask() {
  gst_pad_start_task(pad_, &OutputQueue::Loop, this, nullptr);
}

bool OutputQueue::Activate(bool active) {
  if (active) {
    {
      std::lock_guard lock(mu_);
      flushing_ = false;
      last_flow_ = GST_FLOW_OK;
    }
    StartTask();
    return true;
  }
  {
    std::lock_guard lock(mu_);
    flushing_ = true;
    changed_.notify_all();
  }
  gst_pad_stop_task(pad_);
  Drop();
  return true;
}

void OutputQueue::Drop() {
  std::deque<Item> dropped;
  {
    std::lock_guard lock(mu_);
    dropped.swap(items_);
    buffers_ = 0;
    changed_.notify_all();
  }
  for (Item& item : dropped) {
    if (item.object) gst_mini_object_unref(item.object);
    if (item.marker) item.marker();
  }
}

void OutputQueue::Enqueue(Item item) {
  std::unique_lock lock(mu_);
  if (flushing_) {
    lock.unlock();
    if (item.object) gst_mini_object_unref(item.object);
    if (item.marker) item.marker();
    return;
  }
  items_.push_back(std::move(item));
  changed_.notify_all();
}

void OutputQueue::Enqueue(Item first, Item second) {
  std::unique_lock lock(mu_);
  if (flushing_) {
    lock.unlock();
    if (first.marker) first.marker();
    return;
  }
  items_.push_back(std::move(first));
  items_.push_back(std::move(second));
  changed_.notify_all();
}

GstFlowReturn OutputQueue::Push(GstBuffer* buffer) {
  std::unique_lock lock(mu_);
  changed_.wait(lock, [this] { return flushing_ || buffers_ < kMaxBuffers; });
  if (flushing_) {
    lock.unlock();
    gst_buffer_unref(buffer);
    return GST_FLOW_FLUSHING;
  }
  items_.push_back(Item{GST_MINI_OBJECT_CAST(buffer), {}});
  ++buffers_;
  changed_.notify_all();
  return last_flow_;
}

bool OutputQueue::PushEvent(GstEvent* event) {
  switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_FLUSH_START: {
      {
        std::lock_guard lock(mu_);
        flushing_ = true;
        changed_.notify_all();
      }
      bool ok = gst_pad_push_event(pad_, event);
      gst_pad_pause_task(pad_);
      Drop();
      return ok;
    }
    case GST_EVENT_FLUSH_STOP: {
      Drop();
      bool ok = gst_pad_push_event(pad_, event);
      {
        std::lock_guard lock(mu_);
        flushing_ = false;
        last_flow_ = GST_FLOW_OK;
      }
      if (GST_PAD_MODE(pad_) == GST_PAD_MODE_PUSH) StartTask();
      return ok;
    }
    default:
      break;
  }
  if (!GST_EVENT_IS_SERIALIZED(event)) return gst_pad_push_event(pad_, event);
  {
    std::lock_guard lock(mu_);
    if (flushing_) {
      gst_event_unref(event);
      return false;
    }
  }
  Enqueue(Item{GST_MINI_OBJECT_CAST(event), {}});
  return true;
}

void OutputQueue::PushMarker(std::function<void()> done) {
  Enqueue(Item{nullptr, std::move(done)});
}

void OutputQueue::PushMarkerThenHold(std::function<void()> done) {
  Enqueue(Item{nullptr, std::move(done)}, Item{nullptr, {}, true});
}

void OutputQueue::Release() {
  std::lock_guard lock(mu_);
  std::erase_if(items_, [](const Item& item) { return item.hold; });
  changed_.notify_all();
}

GstFlowReturn OutputQueue::last_flow() const {
  std::lock_guard lock(mu_);
  return last_flow_;
}

void OutputQueue::Loop(gpointer self) {
  static_cast<OutputQueue*>(self)->RunLoop();
}

void OutputQueue::RunLoop() {
  Item item;
  {
    std::unique_lock lock(mu_);
    changed_.wait(lock, [this] { return flushing_ || (!items_.empty() && !items_.front().hold); });
    if (flushing_) {
      lock.unlock();
      gst_pad_pause_task(pad_);
      return;
    }
    item = std::move(items_.front());
    items_.pop_front();
    if (item.object && GST_IS_BUFFER(item.object)) --buffers_;
    changed_.notify_all();
  }
  if (item.marker) {
    item.marker();
  } else if (GST_IS_BUFFER(item.object)) {
    GstFlowReturn ret = gst_pad_push(pad_, GST_BUFFER_CAST(item.object));
    std::lock_guard lock(mu_);
    if (!flushing_) last_flow_ = ret;
  } else {
    gst_pad_push_event(pad_, GST_EVENT_CAST(item.object));
  }
}

}  // namespace orvanta::detect::gst
