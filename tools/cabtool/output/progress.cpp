#include "output/progress.h"

#include "commands/cabtool.h"

#include <cmath>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <time.h>
#include <unistd.h>
#endif

namespace cabtool {

namespace {

constexpr double kRedrawEvery = 0.1;  // seconds

struct ProgressState {
    bool active = false;
    bool shown = false;
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    double began = 0;  // seconds on the monotonic clock
    double lastDraw = 0;
    std::size_t width = 0;  // of the line on the terminal, for wiping it
};

ProgressState g_progress;

// Seconds since some fixed moment, never going back.
// (<chrono> cannot be compiled with the Windows build's execution character set.)
double monotonicSeconds()
{
#ifdef _WIN32
    LARGE_INTEGER count;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
#else
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
#endif
}

bool isTerminal(std::FILE *stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

void draw(double now)
{
    const std::string text = formatProgress(g_progress.done, g_progress.total, now - g_progress.began);
    std::string line = "\r" + text;
    if (text.size() < g_progress.width) {
        line.append(g_progress.width - text.size(), ' ');
    }
    std::fflush(stdout);  // what was printed before comes before the line
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    g_progress.width = text.size();
    g_progress.shown = true;
    g_progress.lastDraw = now;
}

// "0:05", "12:34", "1:02:03".
std::string formatDuration(double seconds)
{
    const auto whole = static_cast<unsigned long long>(std::ceil(seconds));
    char text[32];
    if (whole < 3600) {
        std::snprintf(text, sizeof text, "%llu:%02llu", whole / 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60, whole % 60);
    }
    return text;
}

}  // namespace

std::string formatSize(double bytes)
{
    static const char *const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB"};
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
        return text;
    }
    std::size_t unit = 0;
    bytes /= 1024;
    // 1023.96 would print as "1024.0"; it is the next unit's 1.0.
    while (bytes >= 1023.95 && unit + 1 < sizeof units / sizeof units[0]) {
        bytes /= 1024;
        ++unit;
    }
    std::snprintf(text, sizeof text, "%.1f %s", bytes, units[unit]);
    return text;
}

std::string formatProgress(std::uint64_t done, std::uint64_t total, double seconds)
{
    std::string line;
    char percent[16];
    if (total != 0) {
        // A file decoded again after a failure can count twice; the line never passes 100%.
        if (done > total) {
            done = total;
        }
        std::snprintf(percent, sizeof percent, "%4u%%  ",
                      static_cast<unsigned>(static_cast<double>(done) * 100 / static_cast<double>(total)));
        line = percent + formatSize(static_cast<double>(done)) + " of " + formatSize(static_cast<double>(total));
    } else {
        line = "  " + formatSize(static_cast<double>(done));
    }
    if (seconds <= 0 || done == 0) {
        return line;
    }
    const double rate = static_cast<double>(done) / seconds;
    line += "  " + formatSize(rate) + "/s";
    if (total != 0) {
        line += "  " + formatDuration(static_cast<double>(total - done) / rate) + " left";
    }
    return line;
}

void startProgress(std::uint64_t total)
{
    finishProgress();
    if (quiet() || !isTerminal(stderr)) {
        return;
    }
    g_progress.active = true;
    g_progress.total = total;
    g_progress.done = 0;
    g_progress.began = monotonicSeconds();
    draw(g_progress.began);
}

void advanceProgress(std::uint64_t bytes)
{
    if (!g_progress.active) {
        return;
    }
    g_progress.done += bytes;
    restoreProgress();
}

void restoreProgress()
{
    if (!g_progress.active) {
        return;
    }
    const double now = monotonicSeconds();
    if (now - g_progress.lastDraw >= kRedrawEvery) {
        draw(now);
    }
}

void clearProgress(std::FILE *before)
{
    if (!g_progress.shown) {
        return;
    }
    // A line for a file or a pipe does not cross the terminal's line.
    if (before != stderr && !isTerminal(before)) {
        return;
    }
    std::string blank = "\r";
    blank.append(g_progress.width, ' ');
    blank += '\r';
    std::fputs(blank.c_str(), stderr);
    std::fflush(stderr);
    g_progress.shown = false;
}

void finishProgress()
{
    clearProgress(stderr);
    g_progress = ProgressState{};
}

}  // namespace cabtool
