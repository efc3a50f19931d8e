// The live page's video area: shows the newest preview frame while the graph runs, and
// the live page image (the last composed picture) while it is idle. Frames arrive on the
// preview's streaming thread, are scaled there to the area's size, and only the newest
// waits for the next paint.
#pragma once

#include <QImage>
#include <QWidget>
#include <atomic>
#include <mutex>

#include "capture/media/preview_sink.h"
#include "products/image24.h"

namespace orvanta::ui {

class VideoArea : public QWidget {
 public:
  explicit VideoArea(QWidget* parent = nullptr);

  // The video's frame size: the picture keeps these proportions.
  void SetVideoSize(int cx, int cy);
  // The size preview frames are best delivered in (thread-safe).
  media::PreviewSize WantedFrameSize() const {
    return {target_width_.load(), target_height_.load()};
  }
  // Thread-safe; called for every preview frame.
  void OnFrame(const media::PreviewFrame& frame);
  // Idle: show `image` (bottom-up rows) stretched to the picture; null shows black.
  void ShowIdleImage(const Image24* image);
  // The rectangle the picture takes inside the area.
  QRect PictureRect() const;
  // Frames painted since start (the preview's own count).
  int painted_frames() const { return painted_frames_.load(); }
  // A copy of the picture now shown.
  QImage CurrentPicture() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  mutable std::mutex mutex_;
  QImage frame_;  // newest preview frame, already at the picture's size
  QImage idle_;   // the live page image
  bool live_ = false;
  std::atomic<bool> paint_pending_{false};
  std::atomic<int> target_width_{1};
  std::atomic<int> target_height_{1};
  std::atomic<int> painted_frames_{0};
  int cx_ = 1;
  int cy_ = 1;
};

}  // namespace orvanta::ui
