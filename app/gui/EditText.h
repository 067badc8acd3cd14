#pragma once

#include <QString>

#include <string>

class QLineEdit;

// Stored values are bytes: an edit field shows them as UTF-8 when they are, else as Latin-1, so
// that every byte shows.
QString EditText(const std::string& bytes);
// What the field holds as bytes; a field left as it was gives back `original` unchanged.
std::string EditedValue(const QLineEdit* edit, const std::string& original);
