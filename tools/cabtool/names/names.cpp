#include "names/names.h"

#include "output/file_meta.h"

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace cabtool {

namespace {

const char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

std::string g_codePage = "CP932";

bool checkUtf8(const std::string &text, std::string &out)
{
    bool ok = true;
    out.clear();
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            out += kReplacement;
            ok = false;
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return ok;
}

#ifndef _WIN32
std::string iconvName(const std::string &codePage)
{
    if (codePage == "932" || codePage == "cp932") {
        return "CP932";
    }
    return codePage;
}

// One converter, kept for the run: every name of a listing goes through it.
iconv_t converterFor(const std::string &codePage)
{
    static std::string openedFor;
    static iconv_t converter = reinterpret_cast<iconv_t>(-1);
    if (converter != reinterpret_cast<iconv_t>(-1) && openedFor == codePage) {
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        return converter;
    }
    if (converter != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(converter);
    }
    converter = iconv_open("UTF-8", iconvName(codePage).c_str());
    openedFor = codePage;
    return converter;
}

bool convertWithIconv(const std::string &stored, const std::string &codePage, std::string &out)
{
    out.clear();
    iconv_t cd = converterFor(codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        checkUtf8(stored, out);
        return false;
    }
    bool ok = true;
    char *in = const_cast<char *>(stored.data());
    std::size_t inLeft = stored.size();
    char buffer[1024];
    while (inLeft > 0) {
        char *to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &in, &inLeft, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        // An invalid or cut-off sequence: mark it and go on after its first byte.
        out += kReplacement;
        ok = false;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        ++in;
        --inLeft;
    }
    char *to = buffer;
    std::size_t toLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &to, &toLeft);  // the shift state's closing bytes, if any
    out.append(buffer, static_cast<std::size_t>(to - buffer));
    return ok;
}
#endif

std::string hexEscape(const char *form, unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, form, value);
    return text;
}

std::string escapeC0(unsigned char byte)
{
    switch (byte) {
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return hexEscape("\\x%02x", byte);
    }
}

std::string upperAscii(std::string text)
{
    for (char &c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

bool isDeviceName(const std::string &part)
{
    // Windows finds a device by the part before the first dot, blanks at its end ignored.
    std::string base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    base = upperAscii(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$") {
        return true;
    }
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    const std::string number = base.substr(3);
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

std::size_t utf8SequenceLength(const std::string &text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

bool setNameEncoding(const std::string &codePage)
{
    if (codePage == "raw") {
        g_codePage = codePage;
        return true;
    }
#ifdef _WIN32
    return false;
#else
    if (codePage.empty()) {
        return false;  // iconv would take the locale's
    }
    iconv_t cd = iconv_open("UTF-8", iconvName(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    iconv_close(cd);
    g_codePage = codePage;
    return true;
#endif
}

std::string takeNameEncoding(std::vector<std::string> &args)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--encoding") {
            continue;
        }
        if (i + 1 == args.size()) {
            return "--encoding needs a code page";
        }
        if (!setNameEncoding(args[i + 1])) {
#ifdef _WIN32
            return "--encoding: this build passes names to Windows as stored and takes only raw";
#else
            return "--encoding: unknown code page " + escapeControls(args[i + 1]);
#endif
        }
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        --i;
    }
    return {};
}

bool convertName(const std::string &stored, bool utf8, const std::string &codePage, std::string &out)
{
    if (codePage == "raw") {
        out = stored;
        return true;
    }
    if (utf8) {
        return checkUtf8(stored, out);
    }
#ifdef _WIN32
    out = stored;
    return true;
#else
    return convertWithIconv(stored, codePage, out);
#endif
}

bool fileNameOf(const std::string &stored, std::uint16_t attributes, std::string &out)
{
#ifdef _WIN32
    (void)attributes;
    out = stored;
    return true;
#else
    return convertName(stored, (attributes & kNameIsUtf8) != 0, g_codePage, out);
#endif
}

std::string escapeControls(const std::string &text)
{
    std::string shown;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            shown += escapeC0(byte);
            ++i;
            continue;
        }
#ifdef _WIN32
        shown += text[i++];
#else
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            shown += hexEscape("\\x%02x", byte);
            ++i;
        } else if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            shown += hexEscape("\\u%04x", static_cast<unsigned char>(text[i + 1]));
            i += length;
        } else {
            shown.append(text, i, length);
            i += length;
        }
#endif
    }
    return shown;
}

std::string shownName(const std::string &stored, std::uint16_t attributes)
{
    std::string converted;
    fileNameOf(stored, attributes, converted);
    return escapeControls(converted);
}

std::string cabinetFileName(const std::string &stored, std::string &why)
{
    std::string converted;
    if (!fileNameOf(stored, 0, converted)) {
        why = "it cannot be converted to a file name";
        return {};
    }
    const std::vector<std::size_t> cuts = separatorPositions(converted);
    const std::string last = cuts.empty() ? converted : converted.substr(cuts.back() + 1);
    if (last.empty() || last == "." || last == "..") {
        why = "it names no file";
        return {};
    }
    if (last.size() > 255) {
        why = "it is too long";
        return {};
    }
    return last;
}

std::string windowsNameReason(const std::string &name)
{
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) {
            end = name.size();
        }
        const std::string part = name.substr(start, end - start);
        if (!part.empty() && part != "." && part != "..") {
            if (part.back() == '.' || part.back() == ' ') {
                return "a part ends in a dot or a blank, which Windows drops";
            }
            if (isDeviceName(part)) {
                return "\"" + part + "\" names a Windows device";
            }
        }
        start = end + 1;
    }
    return {};
}

#ifdef _WIN32
std::string ansiToUtf8(const std::string &name)
{
    const int wide = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    if (wide <= 0) {
        return name;
    }
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), &text[0], wide);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return name;
    }
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, &out[0], bytes, nullptr, nullptr);
    return out;
}
#endif

}  // namespace cabtool
