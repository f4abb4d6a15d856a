#include "install_files.h"

namespace {

// Temporary names are tried from here on, so that names made one after the
// other are found free at the first try.
std::uint32_t g_nextSerial = GetTickCount() ^ (GetCurrentProcessId() << 16);
constexpr std::uint32_t kNameTries = 4096;
// A journal is a few lines per file.
constexpr DWORD kLargestJournal = 4 * 1024 * 1024;
// Subfolders below the launcher's folder searched for temporary files.
constexpr int kDeepestFolder = 16;

FILETIME AsFileTime(std::uint64_t value)
{
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

std::uint64_t AsNumber(const FILETIME& time)
{
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

HANDLE OpenForAttributes(const std::string& path, DWORD access)
{
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string FolderOf(const std::string& path)
{
    std::size_t end = 0;
    for (const char* p = path.c_str(); *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/')
            end = static_cast<std::size_t>(p - path.c_str()) + 1;
    }
    return path.substr(0, end);
}

bool RemoveTemporariesBelow(WindowsInstallFiles& fs, const std::string& folder, int depth)
{
    WIN32_FIND_DATAA entry;
    HANDLE listing = FindFirstFileA((folder + "*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE)
        return true;
    bool all = true;
    do {
        const std::string name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // Linked folders lead elsewhere, not into the launcher's files.
            if (name != "." && name != ".." && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                depth < kDeepestFolder)
                all = RemoveTemporariesBelow(fs, folder + name + "\\", depth + 1) && all;
        } else if (install::IsTemporaryName(name.c_str())) {
            all = fs.remove(folder + name) && all;
        }
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return all;
}

} // namespace

bool WindowsInstallFiles::exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WindowsInstallFiles::reserveTemporary(const std::string& folder, std::string& name)
{
    for (std::uint32_t tries = 0; tries < kNameTries; ++tries) {
        if (!install::MakeTemporaryName(name, folder.size(), g_nextSerial++))
            return false;
        HANDLE file = CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

bool WindowsInstallFiles::move(const std::string& from, const std::string& to, bool replace)
{
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return MoveFileExA(from.c_str(), to.c_str(), flags) != FALSE;
}

bool WindowsInstallFiles::remove(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN))
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != FALSE;
}

bool WindowsInstallFiles::setStored(const std::string& path, std::uint16_t date, std::uint16_t time,
                                    std::uint16_t attributes)
{
    bool timed = false;
    HANDLE file = OpenForAttributes(path, FILE_WRITE_ATTRIBUTES);
    if (file != INVALID_HANDLE_VALUE) {
        FILETIME local;
        FILETIME utc;
        timed = DosDateTimeToFileTime(date, time, &local) && LocalFileTimeToFileTime(&local, &utc) &&
                SetFileTime(file, &utc, nullptr, &utc);
        CloseHandle(file);
    }
    return SetFileAttributesA(path.c_str(), attributes) && timed;
}

bool WindowsInstallFiles::getTimes(const std::string& path, install::FileTimes& times)
{
    HANDLE file = OpenForAttributes(path, FILE_READ_ATTRIBUTES);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    FILETIME creation;
    FILETIME lastWrite;
    const bool read = GetFileTime(file, &creation, nullptr, &lastWrite) != FALSE;
    CloseHandle(file);
    times.creation = AsNumber(creation);
    times.lastWrite = AsNumber(lastWrite);
    return read;
}

bool WindowsInstallFiles::setTimes(const std::string& path, const install::FileTimes& times)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly)
        SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    HANDLE file = OpenForAttributes(path, FILE_WRITE_ATTRIBUTES);
    bool set = false;
    if (file != INVALID_HANDLE_VALUE) {
        const FILETIME creation = AsFileTime(times.creation);
        const FILETIME lastWrite = AsFileTime(times.lastWrite);
        set = SetFileTime(file, &creation, nullptr, &lastWrite) != FALSE;
        CloseHandle(file);
    }
    if (readOnly)
        SetFileAttributesA(path.c_str(), attributes);
    return set;
}

bool WindowsInstallFiles::writeWhole(const std::string& path, const std::string& bytes)
{
    const std::string folder = FolderOf(path);
    std::string name;
    if (!reserveTemporary(folder, name))
        return false;
    const std::string temporary = folder + name;
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    bool written = file != INVALID_HANDLE_VALUE;
    if (written) {
        DWORD done = 0;
        written = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                  done == bytes.size() && FlushFileBuffers(file);
        CloseHandle(file);
    }
    if (written && move(temporary, path, true))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

int WindowsInstallFiles::readWhole(const std::string& path, std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : -1;
    }
    const DWORD size = GetFileSize(file, nullptr);
    bool read = size != INVALID_FILE_SIZE && size <= kLargestJournal;
    if (read) {
        bytes.resize(size);
        DWORD done = 0;
        read = (size == 0 || ReadFile(file, &bytes[0], size, &done, nullptr)) && done == size;
    }
    CloseHandle(file);
    return read ? 1 : -1;
}

bool WindowsInstallFiles::removeTemporaries(const std::string& folder)
{
    return RemoveTemporariesBelow(*this, folder, 0);
}

void WindowsInstallFiles::afterMove()
{
    if (moveDelay != 0)
        Sleep(moveDelay);
}
