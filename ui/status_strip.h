// The status strip above the run buttons: the capture state as a coloured text in a white
// and black frame.
#pragma once

#include <QColor>
#include <QWidget>

namespace orvanta::ui {

class StatusStrip : public QWidget {
 public:
  explicit StatusStrip(QWidget* parent = nullptr);
  void Set(const QString& text, QColor colour);
  QString text() const { return text_; }
  QColor colour() const { return colour_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
  QColor colour_ = Qt::white;
};

}  // namespace orvanta::ui
