#pragma once

#include <initializer_list>

class QBoxLayout;
class QPushButton;
class QWidget;

// The buttons every dialog of the program shares, with their control IDs: OK (1), which is
// the default button, and Cancel (2). Neither is connected; the dialog decides what they do.
QPushButton* MakeOkButton(QWidget* parent);
QPushButton* MakeCancelButton(QWidget* parent);

// The buttons in a row at the bottom right of `layout`.
void AddButtonRow(QBoxLayout* layout, std::initializer_list<QPushButton*> buttons);
