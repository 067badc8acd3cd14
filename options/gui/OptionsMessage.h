#pragma once

class QWidget;

// Tells the user why an options page refuses what was entered: a message box over the page
// with the string-table entry and the warning icon.
void ShowOptionsMessage(QWidget* page, unsigned stringId);
