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

  // The display (upright) of a cx x cy picture.
  void SetPicture(QImage display, int cx, int cy);
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
  QImage display_;
  int cx_ = 1;
  int cy_ = 1;
  Rubber rubber_ = Rubber::None;
  bool dragging_ = false;
  QPoint drag_from_;
  QPoint drag_to_;
};

}  // namespace orvanta::ui
