// A one-line progress display on standard error for long work, rewritten in
// place and ended with a newline. It shows only when standard error is a
// terminal, and only for work of more than kProgressThreshold bytes.
#pragma once

#include <cstdint>

constexpr std::uint64_t kProgressThreshold = 64u << 20;

// Names the work ("extracting", "packing") and looks at standard error once.
void ProgressStart(const char* label);
// bytes processed so far, and how far the work is (done of total): shown
// once bytes or total passes the threshold, redrawn when the text changes.
void ProgressShow(std::uint64_t bytes, std::uint64_t done, std::uint64_t total);
// done of total bytes: the form of a packing progress callback.
void ProgressBytes(std::uint64_t done, std::uint64_t total);
// Ends a line that is showing, so that other output can follow; the next
// ProgressShow starts a new one.
void ProgressBreak();
// Ends the display for good.
void ProgressFinish();
