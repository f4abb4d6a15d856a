#include "output/file_meta.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cabinet/writer.h>

#include <ctime>
#include <utime.h>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <mbctype.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace cabtool {

bool readStamp(const std::string &path, std::uint16_t &date, std::uint16_t &time, bool &readOnly)
{
    struct stat info{};
    if (stat(path.c_str(), &info) != 0) {
        return false;
    }
    const std::time_t when = info.st_mtime;
    const std::tm *local = std::localtime(&when);
    if (local == nullptr) {
        date = cabwriter::dosDate(1980, 1, 1);
        time = 0;
    } else {
        date = cabwriter::dosDate(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday);
        time = cabwriter::dosTime(local->tm_hour, local->tm_min, local->tm_sec);
    }
    readOnly = (info.st_mode & S_IWUSR) == 0;
    return true;
}

bool stampTime(std::uint16_t date, std::uint16_t time, std::time_t &when)
{
    std::tm local{};
    local.tm_year = ((date >> 9) & 0x7F) + 80;
    local.tm_mon = ((date >> 5) & 0x0F) - 1;
    local.tm_mday = date & 0x1F;
    local.tm_hour = (time >> 11) & 0x1F;
    local.tm_min = (time >> 5) & 0x3F;
    local.tm_sec = (time & 0x1F) * 2;
    local.tm_isdst = -1;
    when = std::mktime(&local);
    return when != static_cast<std::time_t>(-1);
}

bool writeStamp(const std::string &path, std::uint16_t date, std::uint16_t time)
{
    std::time_t when = 0;
    if (!stampTime(date, time, when)) {
        return false;
    }
    struct utimbuf times{};
    times.actime = when;
    times.modtime = when;
    return utime(path.c_str(), &times) == 0;
}

bool setReadOnly(const std::string &path, bool readOnly)
{
    struct stat info{};
    if (stat(path.c_str(), &info) != 0) {
        return false;
    }
#ifdef _WIN32
    // The runtime maps the owner's write bit onto the read-only attribute.
    const int mode = readOnly ? S_IREAD : (S_IREAD | S_IWRITE);
#else
    const mode_t mode = readOnly ? (info.st_mode & 0555) : (info.st_mode | S_IWUSR);
#endif
    return chmod(path.c_str(), mode) == 0;
}

std::vector<std::size_t> separatorPositions(const std::string &name)
{
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
#ifdef _WIN32
        if (_ismbblead(byte) && i + 1 < name.size()) {
            ++i;
            continue;
        }
#endif
        if (byte == '\\' || byte == '/') {
            positions.push_back(i);
        }
    }
    return positions;
}

bool isRegularFile(const std::string &path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isDirectory(const std::string &path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool makeDirectories(const std::string &wanted)
{
    // The runtime's stat refuses a folder name with a trailing separator.
    std::string path = wanted;
    while (path.size() > 1) {
        const std::vector<std::size_t> cuts = separatorPositions(path);
        if (cuts.empty() || cuts.back() != path.size() - 1 || path[path.size() - 2] == ':') {
            break;
        }
        path.pop_back();
    }
    std::vector<std::size_t> cuts = separatorPositions(path);
    cuts.push_back(path.size());
    for (std::size_t cut : cuts) {
        const std::string prefix = path.substr(0, cut);
        // Empty for a leading separator; "C:" for a drive.
        if (prefix.empty() || prefix.back() == ':' || isDirectory(prefix)) {
            continue;
        }
#ifdef _WIN32
        _mkdir(prefix.c_str());
#else
        mkdir(prefix.c_str(), 0777);
#endif
    }
    return isDirectory(path);
}

std::string unsafeNameReason(const std::string &stored)
{
    if (stored.empty()) {
        return "empty name";
    }
    if (stored.front() == '\\' || stored.front() == '/') {
        return "absolute path";
    }
    if (stored.find(':') != std::string::npos) {
        return "drive letter or stream name";
    }
    std::vector<std::size_t> cuts = separatorPositions(stored);
    cuts.push_back(stored.size());
    std::size_t start = 0;
    for (std::size_t cut : cuts) {
        const std::string part = stored.substr(start, cut - start);
        if (part == "..") {
            return "\"..\" part";
        }
        if (part.empty()) {
            return "empty part";
        }
        start = cut + 1;
    }
    return {};
}

std::string outputPath(const std::string &folder, const std::string &stored)
{
    std::string path = folder;
    if (!path.empty() && path.back() != '/' && path.back() != '\\') {
        path += '/';
    }
    const std::size_t base = path.size();
    path += stored;
    for (std::size_t cut : separatorPositions(stored)) {
        path[base + cut] = '/';
    }
    return path;
}

bool isSymbolicLink(const std::string &path)
{
#ifdef _WIN32
    (void)path;
    return false;
#else
    struct stat info{};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
#endif
}

std::string linkedFolderPart(const std::string &folder, const std::string &stored)
{
    const std::string path = outputPath(folder, stored);
    const std::size_t base = path.size() - stored.size();
    for (std::size_t cut : separatorPositions(stored)) {
        const std::string prefix = path.substr(0, base + cut);
        if (isSymbolicLink(prefix)) {
            return prefix;
        }
    }
    return {};
}

std::FILE *createPlainFile(const std::string &path)
{
#ifdef _WIN32
    return std::fopen(path.c_str(), "wb");
#else
    if (isSymbolicLink(path) && unlink(path.c_str()) != 0) {
        return nullptr;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0666);
    return fd < 0 ? nullptr : streamOver(fd, "wb");
#endif
}

std::FILE *streamOver(int fd, const char *mode)
{
#ifdef _WIN32
    std::FILE *stream = _fdopen(fd, mode);
#else
    std::FILE *stream = fdopen(fd, mode);
#endif
    if (stream == nullptr) {
        const int saved = errno;
#ifdef _WIN32
        _close(fd);
#else
        close(fd);
#endif
        errno = saved;
    }
    return stream;
}

}  // namespace cabtool
