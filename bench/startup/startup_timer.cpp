// Times the launcher's start-up as a user meets it: from process creation to
// a visible frame. Runs each program given, in turn, ROUNDS times, closes the
// launcher after each start the way the updater does, and prints the median
// of each.
//
//   startup_timer ROUNDS LAUNCH.EXE [LAUNCH.EXE...]
//
// Output: one line "median_ms=M min_ms=N path=P" per program; exit code 1
// when a frame did not appear within 60 seconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char kFrameClass[] = "OrvelLauncherBaseWin";

// The launcher's visible frame, or null. Only windows of the frame's class
// are asked about: the timer's polling must load the window server as little
// as it can, since the launcher's start-up depends on that same server.
HWND FindVisibleFrame(DWORD process)
{
    HWND wnd = nullptr;
    while ((wnd = FindWindowExA(nullptr, wnd, kFrameClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(wnd, &owner);
        if (owner == process && IsWindowVisible(wnd))
            return wnd;
    }
    return nullptr;
}

// Milliseconds to a visible frame, or a negative value when none appeared.
double TimeOneStart(const char* program)
{
    char commandLine[MAX_PATH + 2];
    std::snprintf(commandLine, sizeof commandLine, "\"%s\"", program);
    char folder[MAX_PATH];
    lstrcpynA(folder, program, MAX_PATH);
    if (char* slash = std::strrchr(folder, '\\'))
        *slash = '\0';

    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, 0, nullptr, folder, &startup, &process))
        return -1;

    HWND frame = nullptr;
    double elapsed = -1;
    for (;;) {
        frame = FindVisibleFrame(process.dwProcessId);
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        if (frame != nullptr) {
            elapsed = ms;
            break;
        }
        if (ms > 60000 || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            break;
        Sleep(1);
    }
    if (frame != nullptr)
        PostMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_timer ROUNDS LAUNCH.EXE [LAUNCH.EXE...]\n");
        return 2;
    }
    const int rounds = std::max(1, std::atoi(argv[1]));
    const int programs = argc - 2;
    std::vector<std::vector<double>> times(static_cast<std::size_t>(programs));
    // Rounds alternate between the programs, so that a slow moment of the
    // machine does not fall on one of them only.
    for (int round = 0; round < rounds; ++round) {
        for (int p = 0; p < programs; ++p) {
            const double ms = TimeOneStart(argv[2 + p]);
            if (ms < 0) {
                std::fprintf(stderr, "startup_timer: no frame appeared for %s\n", argv[2 + p]);
                return 1;
            }
            times[static_cast<std::size_t>(p)].push_back(ms);
        }
    }
    for (int p = 0; p < programs; ++p) {
        std::vector<double>& t = times[static_cast<std::size_t>(p)];
        std::sort(t.begin(), t.end());
        std::printf("median_ms=%.0f min_ms=%.0f path=%s\n", t[t.size() / 2], t.front(), argv[2 + p]);
    }
    return 0;
}
