// An up-down control beside a number edit: two arrow buttons that step the edit's value.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <functional>

namespace orvanta::ui {

class UpDown : public QWidget {
 public:
  // `step` is called with +1 (up) or -1 (down).
  UpDown(const QString& name, std::function<void(int)> step, QWidget* parent = nullptr);

  QToolButton* up() const { return up_; }
  QToolButton* down() const { return down_; }

 private:
  QToolButton* up_;
  QToolButton* down_;
};

}  // namespace orvanta::ui
