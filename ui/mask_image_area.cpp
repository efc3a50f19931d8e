#include "ui/mask_image_area.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "ui/window_layout.h"

namespace orvanta::ui {

MaskImageArea::MaskImageArea(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(160, 90);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setCursor(Qt::CrossCursor);
}

void MaskImageArea::SetPicture(int cx, int cy, std::function<QImage()> compose) {
  cx_ = std::max(cx, 1);
  cy_ = std::max(cy, 1);
  compose_ = std::move(compose);
  Invalidate();
}

void MaskImageArea::Invalidate() {
  stale_ = true;
  update();
}

QRect MaskImageArea::PictureRect() const {
  const PixelSize fit = FitToRoom(cx_, cy_, {width(), height()});
  return QRect(0, 0, fit.width, fit.height);
}

PicturePoint MaskImageArea::ToPicture(QPoint at) const {
  const QRect r = PictureRect();
  const int x = static_cast<int>(static_cast<int64_t>(at.x() - r.left()) * cx_ / r.width());
  const int y = static_cast<int>(static_cast<int64_t>(at.y() - r.top()) * cy_ / r.height());
  return {std::clamp(x, 0, cx_ - 1), std::clamp(y, 0, cy_ - 1)};
}

QPoint MaskImageArea::ToWidget(PicturePoint p) const {
  const QRect r = PictureRect();
  return {r.left() + static_cast<int>((2 * p.x + 1) * static_cast<int64_t>(r.width()) / (2 * cx_)),
          r.top() + static_cast<int>((2 * p.y + 1) * static_cast<int64_t>(r.height()) / (2 * cy_))};
}

void MaskImageArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const QRect picture = PictureRect();
  if (stale_ && compose_) {
    display_ = compose_();
    stale_ = false;
  }
  if (display_.isNull()) {
    painter.fillRect(picture, Qt::black);
  } else {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(picture, display_);
  }
  if (!dragging_ || rubber_ == Rubber::None) return;
  // Drawn over the picture so it shows on both the dark sky and the red mask.
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.setPen(QPen(Qt::white, 1));
  if (rubber_ == Rubber::Rect)
    painter.drawRect(QRect(drag_from_, drag_to_).normalized());
  else
    painter.drawLine(drag_from_, drag_to_);
}

void MaskImageArea::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const Qt::MouseButton button = event->button();
  if (button != Qt::LeftButton && button != Qt::RightButton) return;
  if (!PictureRect().contains(at)) {
    dragging_ = false;
    if (pressed) pressed(std::nullopt, button);
    return;
  }
  dragging_ = true;
  drag_from_ = drag_to_ = at;
  if (pressed) pressed(ToPicture(at), button);
}

void MaskImageArea::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (dragging_ && rubber_ != Rubber::None) {
    const QRect r = PictureRect();
    drag_to_ =
        QPoint(std::clamp(at.x(), r.left(), r.right()), std::clamp(at.y(), r.top(), r.bottom()));
    update();
  }
  if (PictureRect().contains(at) && moved) moved(ToPicture(at), event->buttons());
}

void MaskImageArea::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  const bool was_dragging = dragging_;
  dragging_ = false;
  update();
  if (!was_dragging) return;
  if (rubber_ == Rubber::Rect) {
    // A drag that ends past the picture's right side takes in its last column, which
    // the rectangle's right edge otherwise leaves out.
    const QRect r = PictureRect();
    PicturePoint end = ToPicture(at);
    if (at.x() > r.right()) end.x = cx_;
    if (rect_dragged && at != drag_from_) rect_dragged(ToPicture(drag_from_), end, event->button());
    return;
  }
  if (released) released(ToPicture(at), event->button());
}

}  // namespace orvanta::ui
