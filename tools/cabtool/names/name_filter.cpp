#include "names/name_filter.h"

#include "names/names.h"

#include <cstddef>

namespace cabtool {

namespace {

struct Char {
    std::size_t at;
    std::size_t size;
};

// A broken sequence counts byte by byte.
std::size_t utf8Length(const std::string &text, std::size_t at)
{
    const std::size_t length = utf8SequenceLength(text, at);
    return length == 0 ? 1 : length;
}

bool isDoubleByteLead(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::size_t doubleByteLength(const std::string &text, std::size_t at)
{
    if (!isDoubleByteLead(static_cast<unsigned char>(text[at])) || at + 1 >= text.size()) {
        return 1;
    }
    const unsigned char trail = static_cast<unsigned char>(text[at + 1]);
    return trail >= 0x40 && trail <= 0xFC && trail != 0x7F ? 2 : 1;
}

std::vector<Char> characters(const std::string &text, NameEncoding encoding)
{
    std::vector<Char> out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t size = encoding == NameEncoding::Utf8 ? utf8Length(text, at) : doubleByteLength(text, at);
        out.push_back(Char{at, size});
        at += size;
    }
    return out;
}

bool isSeparator(const std::string &text, Char c)
{
    return c.size == 1 && (text[c.at] == '/' || text[c.at] == '\\');
}

char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameCharacter(const std::string &a, Char ca, const std::string &b, Char cb)
{
    if (ca.size != cb.size) {
        return false;
    }
    if (ca.size == 1) {
        return foldAscii(a[ca.at]) == foldAscii(b[cb.at]);
    }
    return a.compare(ca.at, ca.size, b, cb.at, cb.size) == 0;
}

}  // namespace

bool matchName(const std::string &pattern, NameEncoding patternEncoding, const std::string &name,
               NameEncoding nameEncoding)
{
    const std::vector<Char> p = characters(pattern, patternEncoding);
    std::vector<Char> n = characters(name, nameEncoding);
    bool patternHasSeparator = false;
    for (Char c : p) {
        patternHasSeparator = patternHasSeparator || isSeparator(pattern, c);
    }
    if (!patternHasSeparator) {
        std::size_t lastPart = 0;
        for (std::size_t i = 0; i < n.size(); ++i) {
            if (isSeparator(name, n[i])) {
                lastPart = i + 1;
            }
        }
        n.erase(n.begin(), n.begin() + static_cast<std::ptrdiff_t>(lastPart));
    }
    // matches[j]: whether the pattern's characters so far match n[0..j).
    // Names and patterns are short, so a table row per pattern character does.
    std::vector<char> matches(n.size() + 1, 0);
    matches[0] = 1;
    for (Char pc : p) {
        std::vector<char> next(n.size() + 1, 0);
        const bool star = pc.size == 1 && pattern[pc.at] == '*';
        const bool any = pc.size == 1 && pattern[pc.at] == '?';
        for (std::size_t j = 0; j <= n.size(); ++j) {
            if (star) {
                // '*' takes nothing, or extends a match by one non-separator.
                next[j] = matches[j] || (j > 0 && next[j - 1] && !isSeparator(name, n[j - 1]));
            } else if (j > 0 && matches[j - 1]) {
                const Char nc = n[j - 1];
                if (any) {
                    next[j] = !isSeparator(name, nc);
                } else if (isSeparator(pattern, pc)) {
                    next[j] = isSeparator(name, nc);
                } else {
                    next[j] = sameCharacter(pattern, pc, name, nc);
                }
            }
        }
        matches.swap(next);
    }
    return matches[n.size()] != 0;
}

bool NameFilter::take(Args &args)
{
    for (std::size_t i = 0; i < args.size();) {
        if (args[i] != "-F") {
            ++i;
            continue;
        }
        if (i + 1 == args.size()) {
            usageError("-F needs a pattern");
            return false;
        }
        patterns_.push_back(args[i + 1]);
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    }
    return true;
}

bool NameFilter::selects(const char *storedName, std::uint16_t attributes) const
{
    if (patterns_.empty()) {
        return true;
    }
#ifdef _WIN32
    // Patterns and names both in the ANSI code page, as the narrow calls take them.
    const std::string name = storedName;
    const NameEncoding patternEncoding = NameEncoding::DoubleByte;
    const NameEncoding nameEncoding = (attributes & 0x80) != 0 ? NameEncoding::Utf8 : NameEncoding::DoubleByte;
#else
    // Patterns are UTF-8 here, so they meet the names as UTF-8 too, converted
    // as file names are (--encoding).
    std::string name;
    fileNameOf(storedName, attributes, name);
    const NameEncoding patternEncoding = NameEncoding::Utf8;
    const NameEncoding nameEncoding = NameEncoding::Utf8;
#endif
    for (const std::string &pattern : patterns_) {
        if (matchName(pattern, patternEncoding, name, nameEncoding)) {
            return true;
        }
    }
    return false;
}

std::int32_t FilteredHandler::fileStart(const CabNotifyRecord &record)
{
    return filter_.selects(record.text1, record.attributes) ? inner_.fileStart(record) : 0;
}

void FilteredHandler::continuedFile(const CabNotifyRecord &record, bool handled)
{
    if (filter_.selects(record.text1, record.attributes)) {
        inner_.continuedFile(record, handled);
    }
}

}  // namespace cabtool
