#pragma once

#include <QString>

// Moves an existing file to the desktop's trash (the freedesktop.org trash of the file's file
// system, or the home trash), from where the user can restore it. False when it could not go
// there: the file then stays where it was. Never deletes.
bool MoveToTrash(const QString& path);
