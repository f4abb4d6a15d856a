// The progress dialog's percentage, as plain arithmetic.
#pragma once

#include <cstddef>

// (pos - lower) * 100 / (upper - lower), truncated toward zero; anything but
// exactly 100 is taken modulo 100, so a position past the upper end wraps.
// upper must be greater than lower.
int ProgressPercent(int lower, int upper, int pos);

// "42%": the percentage and a percent sign, no space.
void FormatPercent(char* out, std::size_t size, int percent);
