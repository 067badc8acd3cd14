#pragma once

#include <QMessageBox>

#include <string_view>

// A message box of the program: the text of string `id` with "%1" replaced by `arg`, the
// program's name as caption, and F1 showing help topic `id`. Returns the button chosen.
QMessageBox::StandardButton StringMessageBox(QWidget* parent, unsigned id, std::string_view arg,
                                             QMessageBox::Icon icon,
                                             QMessageBox::StandardButtons buttons);
