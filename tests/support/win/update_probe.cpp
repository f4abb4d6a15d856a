// Looks at a running updater from outside.
//
//   update_probe dialog            prints the progress dialog as UTF-8 lines
//                                  "caption: ...", "status: ...", "percent: ...",
//                                  "bar: POS LOW HIGH", "x: ..., y: ..."
//   update_probe box               prints the message box: "title: ...", "text: ..."
//   update_probe ok                presses OK on the message box
//   update_probe watch TEXT SECS   waits until the status line holds TEXT, then
//                                  prints the percentage shown at that moment
//   update_probe attr PATH         prints the file's attributes in hex
//   update_probe list FOLDER       prints every file below FOLDER, one a line:
//                                  "ATTRIBUTES CREATED WRITTEN SIZE: NAME" (times
//                                  as 64-bit numbers, names relative, sorted)
//   update_probe hold PATH SECS    holds the file open for SECS seconds, letting
//                                  others read and write it but not rename or
//                                  delete it; prints "held" once it does
//
// Exit code 0 when the window (or file) was found, 3 when not.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <algorithm>

#include "print_utf8.h"

namespace {

struct Search {
    bool wantBox;
    HWND found;
};

// The progress dialog holds the bar (1001); a message box holds its text (0xFFFF).
BOOL CALLBACK Visit(HWND wnd, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    char cls[64] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(wnd))
        return TRUE;
    const bool isBox = GetDlgItem(wnd, 0xFFFF) != nullptr;
    const bool isDialog = GetDlgItem(wnd, 1001) != nullptr;
    if ((search->wantBox && isBox) || (!search->wantBox && isDialog)) {
        search->found = wnd;
        return FALSE;
    }
    return TRUE;
}

HWND Find(bool box)
{
    Search search = {box, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

LRESULT Ask(HWND wnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(wnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 1000, &result);
    return static_cast<LRESULT>(result);
}

int PrintDialog()
{
    HWND dialog = Find(false);
    if (dialog == nullptr)
        return 3;
    char text[1024] = {};
    GetWindowTextA(dialog, text, sizeof text);
    PrintUtf8("caption", text);
    GetWindowTextA(GetDlgItem(dialog, 1000), text, sizeof text);
    PrintUtf8("status", text);
    GetWindowTextA(GetDlgItem(dialog, 1002), text, sizeof text);
    PrintUtf8("percent", text);
    HWND bar = GetDlgItem(dialog, 1001);
    std::printf("bar: %ld %ld %ld\n", static_cast<long>(Ask(bar, PBM_GETPOS)),
                static_cast<long>(Ask(bar, PBM_GETRANGE, TRUE)), static_cast<long>(Ask(bar, PBM_GETRANGE, FALSE)));
    RECT box = {};
    GetWindowRect(dialog, &box);
    std::printf("centre: %ld %ld\n", (box.left + box.right) / 2, (box.top + box.bottom) / 2);
    std::printf("screen: %d %d\n", GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
    return 0;
}

int Watch(const char* wanted, int seconds)
{
    // Bounded by the clock: a slow machine makes every look slow, not fewer.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
        HWND dialog = Find(false);
        char status[1024] = {};
        if (dialog != nullptr)
            GetWindowTextA(GetDlgItem(dialog, 1000), status, sizeof status);
        if (std::strstr(status, wanted) != nullptr) {
            char percent[64] = {};
            GetWindowTextA(GetDlgItem(dialog, 1002), percent, sizeof percent);
            PrintUtf8("percent", percent);
            return 0;
        }
        Sleep(5);
    }
    return 3;
}

unsigned long long AsNumber(const FILETIME& time)
{
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// (name, the other fields) of every file below root + relative.
void ListBelow(const std::string& root, const std::string& relative,
               std::vector<std::pair<std::string, std::string>>& files)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((root + relative + "*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListBelow(root, relative + name + "\\", files);
            continue;
        }
        char fields[128];
        std::snprintf(fields, sizeof fields, "%02lx %llu %llu %lu", static_cast<unsigned long>(entry.dwFileAttributes),
                      AsNumber(entry.ftCreationTime), AsNumber(entry.ftLastWriteTime),
                      static_cast<unsigned long>(entry.nFileSizeLow));
        files.emplace_back(relative + name, fields);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
}

int List(const char* folder)
{
    std::string root = folder;
    if (!root.empty() && root.back() != '\\')
        root += '\\';
    std::vector<std::pair<std::string, std::string>> files;
    ListBelow(root, "", files);
    std::sort(files.begin(), files.end());
    for (const auto& file : files)
        PrintUtf8(file.second.c_str(), file.first.c_str());
    return 0;
}

int Hold(const char* path, int seconds)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    CloseHandle(file);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const char* what = argc > 1 ? argv[1] : "";
    if (std::strcmp(what, "dialog") == 0)
        return PrintDialog();
    if (std::strcmp(what, "box") == 0 || std::strcmp(what, "ok") == 0) {
        HWND box = Find(true);
        if (box == nullptr)
            return 3;
        if (what[0] == 'o')
            return PostMessageA(box, WM_COMMAND, IDOK, 0) ? 0 : 1;
        char text[1024] = {};
        GetWindowTextA(box, text, sizeof text);
        PrintUtf8("title", text);
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        PrintUtf8("text", text);
        return 0;
    }
    if (std::strcmp(what, "watch") == 0 && argc == 4)
        return Watch(argv[2], std::atoi(argv[3]));
    if (std::strcmp(what, "attr") == 0 && argc == 3) {
        const DWORD attributes = GetFileAttributesA(argv[2]);
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return 3;
        std::printf("%02lx\n", static_cast<unsigned long>(attributes));
        return 0;
    }
    if (std::strcmp(what, "list") == 0 && argc == 3)
        return List(argv[2]);
    if (std::strcmp(what, "hold") == 0 && argc == 4)
        return Hold(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: update_probe dialog|box|ok|watch TEXT SECONDS|attr PATH|list FOLDER|hold PATH SECONDS\n");
    return 2;
}
