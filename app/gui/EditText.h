#pragma once

#include <QString>

#include <string>

// Stored byte strings in edit fields: the text shows the bytes as UTF-8 when they are, else as
// Latin-1, so that every byte shows; a field left as it was gives back the very bytes it was
// given, whatever they were.
QString EditText(const std::string& bytes);
std::string EditedBytes(const QString& text, const std::string& original);
