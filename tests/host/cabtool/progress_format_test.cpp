// The progress line's text: percent, sizes, rate and time left.
#include "output/progress.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

struct LineCase {
    std::uint64_t done;
    std::uint64_t total;
    double seconds;
    const char *line;
};

TEST(ProgressLine, ShowsPercentSizesRateAndTimeLeft)
{
    const LineCase cases[] = {
        // Nothing done yet: no rate, no time left.
        {0, 1000, 0, "   0%  0 B of 1000 B"},
        {241 * kMiB / 2, 325 * kMiB, 2.5, "  37%  120.5 MiB of 325.0 MiB  48.2 MiB/s  0:05 left"},
        // The time left rounds up: 0:00 only when nothing is left.
        {999, 1000, 1, "  99%  999 B of 1000 B  999 B/s  0:01 left"},
        {1000, 1000, 2, " 100%  1000 B of 1000 B  500 B/s  0:00 left"},
        // Bytes counted twice after a failed file do not pass the total.
        {2000, 1000, 1, " 100%  1000 B of 1000 B  1000 B/s  0:00 left"},
        {kMiB, kMiB + 3723 * kMiB, 1, "   0%  1.0 MiB of 3.6 GiB  1.0 MiB/s  1:02:03 left"},
        // Without a total only the bytes and the rate.
        {1536, 0, 1, "  1.5 KiB  1.5 KiB/s"},
        // Just under a unit boundary shows as the next unit, never as "1024.0".
        {kMiB - 1, 0, 0, "  1.0 MiB"},
    };
    for (const LineCase &c : cases) {
        EXPECT_EQ(cabtool::formatProgress(c.done, c.total, c.seconds), c.line) << c.line;
    }
}

}  // namespace
