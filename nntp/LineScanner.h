#pragma once

#include <cstddef>

// The scan of received bytes behind the line buffer: NUL bytes become spaces, and every CR LF
// that ends a line is noted by the position of its CR. A line ends at an LF whose preceding
// byte, inside the same line, is a CR.
struct LineScan {
    char* data;
    std::size_t* ends;     // room for one more entry per two bytes scanned
    std::size_t count;     // entries in `ends`
    std::size_t lineStart; // where the line being read began
};

// Bytes are looked at 64 at a time where the processor allows (a bit mask of the line feeds
// and one of the NUL bytes, then only the set bits are visited), one at a time otherwise.
enum class ScanWidth { Bytes, Sse2, Avx2, Widest = Avx2 };

// Scans data[from, to) with the widest instructions the processor runs.
void ScanLines(LineScan& scan, std::size_t from, std::size_t to);
// The same with at most the given width (a width the processor lacks falls back to a
// narrower one); every width gives the same result.
void ScanLinesWith(ScanWidth width, LineScan& scan, std::size_t from, std::size_t to);
