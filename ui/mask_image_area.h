// The detect-area editor's picture: the composed display stretched smoothly into the largest
// rectangle of the frame's proportions, the rubber rectangle or line while the user drags,
// and the mouse turned into picture points.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

#include "products/mask_painting.h"

namespace orvanta::ui {

class MaskImageArea : public QWidget {
 public:
  enum class Rubber { None, Rect, Line };

  explicit MaskImageArea(QWidget* parent = nullptr);

  // The picture's size, and what composes its display (upright) when it is next painted.
  void SetPicture(int cx, int cy, std::function<QImage()> compose);
  // The mask or the background changed: composed again at the next paint, so that a pen
  // stroke's many moves cost one composition per screen update.
  void Invalidate();
  void SetRubber(Rubber rubber) { rubber_ = rubber; }
  // Where the picture lies in the widget.
  QRect PictureRect() const;
  // A widget point as a picture pixel, truncated and clamped to the picture.
  PicturePoint ToPicture(QPoint at) const;
  // The widget point inside the picture pixel `p` (its centre), for callers that click.
  QPoint ToWidget(PicturePoint p) const;

  // A button pressed on the picture; `nullopt` when pressed outside it.
  std::function<void(std::optional<PicturePoint>, Qt::MouseButton)> pressed;
  std::function<void(PicturePoint, Qt::MouseButtons)> moved;
  std::function<void(PicturePoint, Qt::MouseButton)> released;
  // A rubber rectangle ended (Rubber::Rect): its corners on the picture.
  std::function<void(PicturePoint, PicturePoint, Qt::MouseButton)> rect_dragged;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::function<QImage()> compose_;
  QImage display_;
  bool stale_ = true;
  int cx_ = 1;
  int cy_ = 1;
  Rubber rubber_ = Rubber::None;
  bool dragging_ = false;
  QPoint drag_from_;
  QPoint drag_to_;
};

}  // namespace orvanta::ui
