#include "file_meta.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cabinet/writer.h>

#include <ctime>
#include <utime.h>

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

bool writeStamp(const std::string &path, std::uint16_t date, std::uint16_t time)
{
    std::tm local{};
    local.tm_year = ((date >> 9) & 0x7F) + 80;
    local.tm_mon = ((date >> 5) & 0x0F) - 1;
    local.tm_mday = date & 0x1F;
    local.tm_hour = (time >> 11) & 0x1F;
    local.tm_min = (time >> 5) & 0x3F;
    local.tm_sec = (time & 0x1F) * 2;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    if (when == static_cast<std::time_t>(-1)) {
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
    std::size_t start = 0;
    while (true) {
        const std::size_t end = stored.find_first_of("\\/", start);
        const std::string part = stored.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part == "..") {
            return "\"..\" part";
        }
        if (part.empty()) {
            return "empty part";
        }
        if (end == std::string::npos) {
            return {};
        }
        start = end + 1;
    }
}

std::string outputPath(const std::string &folder, const std::string &stored)
{
    std::string path = folder;
    if (!path.empty() && path.back() != '/' && path.back() != '\\') {
        path += '/';
    }
    for (char c : stored) {
        path += c == '\\' ? '/' : c;
    }
    return path;
}

}  // namespace cabtool
