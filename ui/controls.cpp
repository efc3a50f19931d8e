#include "ui/controls.h"

namespace orvanta::ui {

QPushButton* Button(const char* caption, const char* id, QWidget* parent) {
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(id));
  b->setAutoDefault(false);
  return b;
}

QCheckBox* Check(const char* caption, const char* id, QWidget* parent) {
  auto* c = new QCheckBox(QString::fromLatin1(caption), parent);
  c->setObjectName(QString::fromLatin1(id));
  c->setAccessibleName(QString::fromLatin1(caption));
  return c;
}

QLineEdit* NumberEdit(const char* id, const QString& name, int width, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(id));
  e->setAccessibleName(name);
  e->setFixedWidth(width);
  e->setAlignment(Qt::AlignRight);
  return e;
}

}  // namespace orvanta::ui
