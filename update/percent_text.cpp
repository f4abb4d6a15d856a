#include "percent_text.h"

#include <cstdio>

int ProgressPercent(int lower, int upper, int pos)
{
    const long long span = static_cast<long long>(upper) - lower;
    int percent = static_cast<int>((static_cast<long long>(pos) - lower) * 100 / span);
    if (percent != 100)
        percent %= 100;
    return percent;
}

void FormatPercent(char* out, std::size_t size, int percent)
{
    std::snprintf(out, size, "%d%c", percent, '%');
}
