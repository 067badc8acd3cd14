#pragma once

#include <QIcon>
#include <QStyle>

// An icon of the program (":/icons/NAME.svg"), or the style's `fallback` while the program
// was built without it.
QIcon ResourceIcon(const char* name, QStyle::StandardPixmap fallback);
