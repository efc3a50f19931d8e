#include "ui/status_strip.h"

#include <QPainter>

namespace orvanta::ui {

StatusStrip::StatusStrip(QWidget* parent) : QWidget(parent) {
  setAccessibleName(QStringLiteral("Status"));
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize StatusStrip::sizeHint() const {
  const QFontMetrics m(font());
  return QSize(std::max(260, m.horizontalAdvance(QStringLiteral(" D-Recording -99-99 ")) + 8),
               m.height() + 6);
}

void StatusStrip::Set(const QString& text, QColor colour) {
  text_ = text;
  colour_ = colour;
  setAccessibleDescription(text);
  update();
}

void StatusStrip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect outer = rect();
  painter.fillRect(outer, Qt::white);
  painter.fillRect(outer.adjusted(0, 0, -1, -1), Qt::black);
  const QRect inside = outer.adjusted(1, 1, -2, -2);
  painter.fillRect(inside, colour_);
  painter.setPen(Qt::black);
  painter.drawText(inside, Qt::AlignCenter | Qt::TextSingleLine, text_);
}

}  // namespace orvanta::ui
