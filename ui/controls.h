// The plain controls the pages are built from: each carries its control id as its object
// name, so tests and the pages' tables speak of the same control.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace orvanta::ui {

// A push button that Enter in an edit does not press.
QPushButton* Button(const char* caption, const char* id, QWidget* parent);
// A check box named by its caption.
QCheckBox* Check(const char* caption, const char* id, QWidget* parent);
// A right-aligned number edit of a fixed width.
QLineEdit* NumberEdit(const char* id, const QString& name, int width, QWidget* parent);

}  // namespace orvanta::ui
