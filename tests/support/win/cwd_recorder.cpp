// Started by the launcher in the end-to-end tests: appends the working
// directory it was given to cwd.log beside itself, one line per start, so a
// test can tell both where and how often it was started.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main()
{
    char log[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, log, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    char* slash = std::strrchr(log, '\\');
    if (!slash || slash + 8 >= log + MAX_PATH)
        return 1;
    std::strcpy(slash + 1, "cwd.log");

    char cwd[MAX_PATH] = {};
    if (GetCurrentDirectoryA(MAX_PATH, cwd) == 0)
        return 1;
    FILE* f = std::fopen(log, "a");
    if (!f)
        return 1;
    std::fprintf(f, "%s\n", cwd);
    std::fclose(f);
    return 0;
}
