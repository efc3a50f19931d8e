// An owning reference to a GStreamer object (an element, a pad): the reference is given
// back when the handle is reset or destroyed, so a graph's parts are released by their
// owner and not from a list kept by hand.
#pragma once

#include <gst/gst.h>

#include <utility>

namespace orvanta::media {

template <typename T>
class GstRef {
 public:
  GstRef() = default;
  // Takes over a reference the caller owns; a floating one is sunk into it.
  explicit GstRef(T* object) : object_(Sink(object)) {}
  ~GstRef() { reset(); }
  GstRef(const GstRef&) = delete;
  GstRef& operator=(const GstRef&) = delete;
  GstRef(GstRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  GstRef& operator=(GstRef&& other) noexcept {
    if (this != &other) reset(std::exchange(other.object_, nullptr));
    return *this;
  }

  void reset(T* object = nullptr) {
    T* old = std::exchange(object_, Sink(object));
    if (old) gst_object_unref(old);
  }
  T* get() const { return object_; }
  operator T*() const { return object_; }  // NOLINT: passed to GStreamer calls as it is
  explicit operator bool() const { return object_ != nullptr; }

 private:
  static T* Sink(T* object) {
    if (object && g_object_is_floating(object)) gst_object_ref_sink(object);
    return object;
  }
  T* object_ = nullptr;
};

using ElementRef = GstRef<GstElement>;
using PadRef = GstRef<GstPad>;

}  // namespace orvanta::media
