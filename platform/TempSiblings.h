#pragma once

#include <cstddef>
#include <string>

// The temporary files that replace a file atomically are made by mkstemp beside it, named
// path + ".tmp-" + six random letters or digits. A process killed between making and renaming
// one leaves it behind.

// The template for mkstemp.
std::string TempSiblingTemplate(const std::string& path);
// Removes the regular files beside `path` named like TempSiblingTemplate; links are not
// followed. Returns how many went.
std::size_t RemoveTempSiblings(const std::string& path);
