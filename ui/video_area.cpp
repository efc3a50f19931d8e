#include "ui/video_area.h"

#include <QMetaObject>
#include <QPainter>

#include "ui/window_layout.h"

namespace orvanta::ui {

VideoArea::VideoArea(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(64, 36);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void VideoArea::SetVideoSize(int cx, int cy) {
  cx_ = cx > 0 ? cx : 1;
  cy_ = cy > 0 ? cy : 1;
  const QRect r = PictureRect();
  target_width_ = r.width();
  target_height_ = r.height();
  update();
}

QRect VideoArea::PictureRect() const {
  const PixelSize fit = FitToRoom(cx_, cy_, {width(), height()});
  return QRect(0, 0, fit.width, fit.height);
}

void VideoArea::resizeEvent(QResizeEvent*) {
  const QRect r = PictureRect();
  target_width_ = r.width();
  target_height_ = r.height();
}

void VideoArea::OnFrame(const media::PreviewFrame& frame) {
  const QImage source(frame.pixels, frame.width, frame.height, frame.stride, QImage::Format_RGB32);
  // Frames come at the area's size once the preview has renegotiated; until then they
  // are scaled here, off the GUI thread. Either way the image owns its pixels.
  const QSize want(target_width_.load(), target_height_.load());
  QImage scaled = source.size() == want
                      ? source.copy()
                      : source.scaled(want, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  {
    std::lock_guard lock(mutex_);
    frame_ = std::move(scaled);
    live_ = true;
  }
  if (!paint_pending_.exchange(true))
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void VideoArea::ShowIdleImage(const Image24* image) {
  QImage idle;
  if (image && image->valid()) {
    idle = QImage(image->width, image->height, QImage::Format_RGB888);
    for (int y = 0; y < image->height; ++y) {
      const uint8_t* src = image->row(image->height - 1 - y);
      uint8_t* dst = idle.scanLine(y);
      for (int x = 0; x < image->width; ++x) {
        dst[3 * x] = src[3 * x + 2];
        dst[3 * x + 1] = src[3 * x + 1];
        dst[3 * x + 2] = src[3 * x];
      }
    }
  }
  {
    std::lock_guard lock(mutex_);
    idle_ = std::move(idle);
    live_ = false;
  }
  update();
}

QImage VideoArea::CurrentPicture() const {
  std::lock_guard lock(mutex_);
  return live_ ? frame_ : idle_;
}

void VideoArea::paintEvent(QPaintEvent*) {
  paint_pending_ = false;
  QPainter painter(this);
  const QRect picture = PictureRect();
  painter.fillRect(rect(), palette().window());
  std::lock_guard lock(mutex_);
  if (live_ && !frame_.isNull()) {
    painter.drawImage(picture.topLeft(), frame_);
    painted_frames_.fetch_add(1);
  } else if (!live_ && !idle_.isNull()) {
    painter.drawImage(picture, idle_);
  } else {
    painter.fillRect(picture, Qt::black);
  }
}

}  // namespace orvanta::ui
