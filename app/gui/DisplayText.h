#pragma once

#include <QString>

#include <string_view>

// Bytes from articles and servers as screen text: UTF-8 when the bytes are valid UTF-8,
// otherwise Latin-1. Characters that would act instead of show (C0 and C1 controls, DEL, line
// and paragraph separators, bidirectional embeddings, overrides and isolates) are each replaced
// by U+FFFD, so that a subject can neither break a row nor reorder the text around it.
QString DisplayText(std::string_view bytes);
