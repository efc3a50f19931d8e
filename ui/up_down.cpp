#include "ui/up_down.h"

#include <QVBoxLayout>

namespace orvanta::ui {

UpDown::UpDown(const QString& name, std::function<void(int)> step, QWidget* parent)
    : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  setAccessibleName(name);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  for (auto [button, arrow, delta, what] :
       {std::tuple{up_, Qt::UpArrow, 1, QStringLiteral(" up")},
        std::tuple{down_, Qt::DownArrow, -1, QStringLiteral(" down")}}) {
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFixedSize(18, 11);
    button->setAccessibleName(name + what);
    button->setFocusPolicy(Qt::NoFocus);
    QObject::connect(button, &QToolButton::clicked, this, [step, d = delta] { step(d); });
    column->addWidget(button);
  }
}

}  // namespace orvanta::ui
