#include "stored_name.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace cabtool {

namespace {

// One code page 932 character as UTF-8, or empty when it has no meaning.
std::string doubleByteCharacter(const char *bytes, std::size_t size)
{
#ifdef _WIN32
    wchar_t wide[2];
    const int units = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), wide, 2);
    char utf8[8];
    const int length = units > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, units, utf8, sizeof utf8, nullptr, nullptr)
                                 : 0;
    return std::string(utf8, length > 0 ? static_cast<std::size_t>(length) : 0);
#else
    static const iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::string();
    }
    char utf8[8];
    char *in = const_cast<char *>(bytes);
    char *out = utf8;
    std::size_t inLeft = size;
    std::size_t outLeft = sizeof utf8;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::string();
    }
    return std::string(utf8, sizeof utf8 - outLeft);
#endif
}

}  // namespace

std::string storedNameAsUtf8(const std::string &stored, std::uint16_t attributes)
{
    if ((attributes & 0x80) != 0) {
        return stored;
    }
    std::string text;
    for (std::size_t at = 0; at < stored.size();) {
        const unsigned char lead = static_cast<unsigned char>(stored[at]);
        if (lead < 0x80) {
            text += static_cast<char>(lead);
            ++at;
            continue;
        }
        const std::size_t size = isDoubleByteLead(lead) && at + 1 < stored.size() ? 2 : 1;
        const std::string character = doubleByteCharacter(stored.data() + at, size);
        text += character.empty() ? "\xEF\xBF\xBD" : character;
        at += size;
    }
    return text;
}

}  // namespace cabtool
