// -F PATTERN: choosing files by their stored names.
//
// A pattern is matched against the stored name one character at a time, with
// ASCII letters compared without regard to case and every other character
// byte for byte. '\' and '/' both separate folder parts, in patterns and in
// names. '?' stands for one character and '*' for any run of characters, but
// neither stands for a separator: a wildcard stays inside one folder part. A
// pattern without a separator is matched against the last part of the name
// alone, so "*.txt" picks text files in every folder; one with a separator is
// matched against the whole name ("docs\*.txt" picks those directly in docs).
//
// Patterns come in the encoding of the command line. On Windows that is the
// ANSI code page, and names are matched as stored: a character of a name
// flagged as UTF-8 is one UTF-8 sequence, of other names one code page 932
// character, whose second byte may be 0x5C and is then no separator. Elsewhere
// patterns are UTF-8 and meet the names as UTF-8 text (see fileNameOf in names.h).
#pragma once

#include "commands/cabtool.h"
#include "reading/set_walk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cabtool {

enum class NameEncoding { Utf8, DoubleByte };

// True when name matches pattern; both given as bytes in their encodings.
bool matchName(const std::string &pattern, NameEncoding patternEncoding, const std::string &name,
               NameEncoding nameEncoding);

class NameFilter {
public:
    // Takes every "-F PATTERN" out of args; false (a usage error reported)
    // on a -F without a pattern.
    bool take(Args &args);
    bool empty() const { return patterns_.empty(); }
    // True when there is no pattern or any pattern matches the stored name.
    bool selects(const char *storedName, std::uint16_t attributes) const;

private:
    std::vector<std::string> patterns_;
};

// Hands another handler only the files the filter selects; the others are
// skipped without being decoded.
class FilteredHandler final : public WalkHandler {
public:
    FilteredHandler(WalkHandler &inner, const NameFilter &filter) : inner_(inner), filter_(filter) {}

    std::int32_t fileStart(const CabNotifyRecord &record) override;
    bool fileDone(const CabNotifyRecord &record) override { return inner_.fileDone(record); }
    void fileFailed(const std::string &name) override { inner_.fileFailed(name); }
    void continuedFile(const CabNotifyRecord &record, bool handled) override;
    bool producesData() const override { return inner_.producesData(); }

private:
    WalkHandler &inner_;
    const NameFilter &filter_;
};

}  // namespace cabtool
