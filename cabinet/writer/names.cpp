// Names and stamps: how stored names, set member names and MS-DOS dates are formed.
#include "names.h"

#include <algorithm>

namespace cabwriter {

std::string setMemberName(const std::string &firstName, unsigned index)
{
    if (index == 0) {
        return firstName;
    }
    const std::string number = std::to_string(index + 1);
    const std::size_t dot = firstName.find_last_of('.');
    const std::size_t slash = firstName.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0) {
        return firstName + number;
    }
    return firstName.substr(0, dot) + number + firstName.substr(dot);
}

std::uint16_t dosDate(int year, int month, int day)
{
    year = std::clamp(year, 1980, 2107);
    month = std::clamp(month, 1, 12);
    day = std::clamp(day, 1, 31);
    return static_cast<std::uint16_t>(((year - 1980) << 9) | (month << 5) | day);
}

std::uint16_t dosTime(int hour, int minute, int second)
{
    hour = std::clamp(hour, 0, 23);
    minute = std::clamp(minute, 0, 59);
    second = std::clamp(second, 0, 59);
    return static_cast<std::uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

bool storedName(const FileInfo &info, std::string &stored, std::string &error)
{
    const std::string &name = info.name;
    if (name.empty()) {
        error = "a stored name cannot be empty";
        return false;
    }
    if (name.size() > kMaxStoredName) {
        error = "name longer than 255 bytes: " + name;
        return false;
    }
    if (name.find('\0') != std::string::npos) {
        error = "name holds a NUL byte";
        return false;
    }
    if (info.verbatimName) {
        stored = name;
        return true;
    }
    stored = name;
    std::replace(stored.begin(), stored.end(), '/', '\\');
    if (stored.size() >= 2 && stored[1] == ':') {
        error = "name with a drive letter: " + name;
        return false;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = stored.find('\\', start);
        const std::string part = stored.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..") {
            error = "name with an absolute, empty, \".\" or \"..\" part: " + name;
            return false;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace cabwriter
