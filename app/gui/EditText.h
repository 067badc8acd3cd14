#pragma once

#include <QString>

#include <string>
#include <string_view>

// Stored bytes in an edit field: UTF-8 when they are, else Latin-1, so that every byte shows
// and can be edited.
QString EditText(std::string_view bytes);

// What an edit field gives back: the bytes it was filled with while its text is unchanged
// (a Latin-1 value survives a dialog that did not touch it), else the text as UTF-8.
std::string EditedBytes(const QString& text, const std::string& original);
