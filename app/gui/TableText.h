#pragma once

#include <QString>

// The string-table entry with that number as screen text.
QString TableText(unsigned id);
