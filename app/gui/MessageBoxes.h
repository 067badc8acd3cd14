#pragma once

#include <QMessageBox>
#include <QString>

// A message box of the program: the application name as its title, the text (from the string
// table) in plain text, and `details`, when given, as a second paragraph below it. With a help
// topic, F1 in the box shows that topic. Returns the button chosen.
QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon,
                                        const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                        const QString& details = {}, unsigned helpTopic = 0);
