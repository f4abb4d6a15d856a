#include "install.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace install {

const char kJournalName[] = "update.jnl";

namespace {

const char kJournalHeader[] = "ORVEL UPDATE JOURNAL 1";
const char kTemporaryPrefix[] = "upd";
const char kTemporarySuffix[] = ".tmp";
constexpr std::size_t kAffixLength = 3 + 4;  // "upd" and ".tmp"
constexpr std::size_t kMaxDigits = 8;

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameLetters(const char* a, const char* b, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

bool SameTarget(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] == '/' ? '\\' : a[i];
        const char y = b[i] == '/' ? '\\' : b[i];
        if (Lower(x) != Lower(y))
            return false;
    }
    return true;
}

// The folder part of a stored name, its last separator included. A second
// byte of a double-byte character is never a separator.
std::string FolderPart(const std::string& name)
{
    std::size_t end = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c == '\\' || c == '/')
            end = i + 1;
        else if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))
            ++i;
    }
    return name.substr(0, end);
}

// Puts one file back as it was before the run, from whichever of its states
// the run reached (T target, N new file under its temporary name, B backup):
//   with an old file:  S0 T old, B empty placeholder, N new
//                      S1 T gone, B old, N new
//                      S2 T new, B old, N gone
//   without one:       T0 T none, N new     T1 T new, N gone
// Every step leaves a state this function also undoes, so an undo that is
// itself interrupted is simply done again.
bool UndoFile(InstallFiles& fs, const std::string& folder, const StoredFile& file)
{
    const std::string target = folder + file.target;
    const std::string temporary = folder + file.temporary;
    if (file.backup.empty())
        return fs.exists(temporary) ? fs.remove(temporary) : fs.remove(target);

    const std::string backup = folder + file.backup;
    if (!fs.exists(backup)) {  // S0 half undone, or the old file back already
        // Its times once more, in case an earlier undo stopped right after
        // the move.
        fs.setTimes(target, file.previous);
        return fs.remove(temporary);
    }
    const bool targetThere = fs.exists(target);
    if (targetThere && fs.exists(temporary))  // S0: the placeholder first, see above
        return fs.remove(backup) && fs.remove(temporary);
    if (targetThere && !fs.remove(target))  // S2 becomes S1
        return false;
    // S1.
    if (!fs.move(backup, target, false))
        return false;
    fs.setTimes(target, file.previous);
    return fs.remove(temporary);
}

bool UndoAll(InstallFiles& fs, const std::string& folder, const std::vector<StoredFile>& files)
{
    bool whole = true;
    for (std::size_t i = files.size(); i-- > 0;)
        whole = UndoFile(fs, folder, files[i]) && whole;
    return whole && fs.remove(folder + kJournalName);
}

// Every new file is in place: only the old ones are left to remove. One
// that cannot be removed now carries a temporary name, so a later start
// removes it without the journal's help.
bool FinishAll(InstallFiles& fs, const std::string& folder, const std::vector<StoredFile>& files)
{
    for (const StoredFile& file : files) {
        if (!file.backup.empty())
            fs.remove(folder + file.backup);
    }
    return fs.remove(folder + kJournalName);
}

bool WriteJournal(InstallFiles& fs, const std::string& folder, JournalState state,
                  const std::vector<StoredFile>& files)
{
    std::string text;
    return EncodeJournal(state, files, text) && fs.writeWhole(folder + kJournalName, text);
}

// A later file of the same name replaces an earlier one, as if each were
// written in turn.
void DropOverwritten(InstallFiles& fs, const std::string& folder, std::vector<StoredFile>& files)
{
    for (std::size_t i = 0; i < files.size();) {
        bool overwritten = false;
        for (std::size_t j = i + 1; j < files.size() && !overwritten; ++j)
            overwritten = SameTarget(files[i].target, files[j].target);
        if (overwritten) {
            fs.remove(folder + files[i].temporary);
            files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

bool HoldsTabOrBreak(const std::string& text)
{
    return text.find_first_of("\t\r\n") != std::string::npos;
}

bool ReadNumber(const std::string& field, std::uint64_t& value)
{
    if (field.empty() || field.size() > 20)
        return false;
    value = 0;
    for (char c : field) {
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (c < '0' || c > '9' || value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

bool ReadNumber(const std::string& field, std::uint16_t& value)
{
    std::uint64_t number = 0;
    if (!ReadNumber(field, number) || number > 0xFFFF)
        return false;
    value = static_cast<std::uint16_t>(number);
    return true;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace

bool MakeTemporaryName(std::string& name, std::size_t folderLength, std::uint32_t serial)
{
    name.clear();
    if (folderLength + kAffixLength + 1 > kMaxPath)
        return false;
    std::size_t digits = kMaxPath - folderLength - kAffixLength;
    if (digits > kMaxDigits)
        digits = kMaxDigits;
    char hex[kMaxDigits + 1];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(serial));
    name = kTemporaryPrefix;
    name.append(hex + kMaxDigits - digits, digits);
    name += kTemporarySuffix;
    return true;
}

bool IsTemporaryName(const char* name)
{
    const std::size_t length = std::strlen(name);
    if (length < kAffixLength + 1 || length > kAffixLength + kMaxDigits)
        return false;
    if (!SameLetters(name, kTemporaryPrefix, 3) || !SameLetters(name + length - 4, kTemporarySuffix, 4))
        return false;
    for (std::size_t i = 3; i < length - 4; ++i) {
        if (!IsHexDigit(name[i]))
            return false;
    }
    return true;
}

bool EncodeJournal(JournalState state, const std::vector<StoredFile>& files, std::string& text)
{
    text = kJournalHeader;
    text += state == JournalState::Replace ? "\nreplace\n" : "\ncleanup\n";
    for (const StoredFile& file : files) {
        if (HoldsTabOrBreak(file.target) || HoldsTabOrBreak(file.temporary) || HoldsTabOrBreak(file.backup) ||
            file.target.empty() || file.temporary.empty())
            return false;
        char numbers[96];
        std::snprintf(numbers, sizeof numbers, "\t%u\t%u\t%u\t%llu\t%llu\n", file.date, file.time, file.attributes,
                      static_cast<unsigned long long>(file.previous.creation),
                      static_cast<unsigned long long>(file.previous.lastWrite));
        text += "file\t" + file.target + "\t" + file.temporary + "\t" + file.backup + numbers;
    }
    text += "end\n";
    return true;
}

bool DecodeJournal(const std::string& text, JournalState& state, std::vector<StoredFile>& files)
{
    files.clear();
    std::vector<std::string> lines = Split(text, '\n');
    // Header, state, the files, "end" and the empty rest after the last break.
    if (lines.size() < 4 || lines[0] != kJournalHeader || lines[lines.size() - 2] != "end" || !lines.back().empty())
        return false;
    if (lines[1] == "replace")
        state = JournalState::Replace;
    else if (lines[1] == "cleanup")
        state = JournalState::Cleanup;
    else
        return false;
    for (std::size_t i = 2; i + 2 < lines.size(); ++i) {
        const std::vector<std::string> fields = Split(lines[i], '\t');
        StoredFile file;
        if (fields.size() != 9 || fields[0] != "file" || fields[1].empty() || fields[2].empty() ||
            !ReadNumber(fields[4], file.date) || !ReadNumber(fields[5], file.time) ||
            !ReadNumber(fields[6], file.attributes) || !ReadNumber(fields[7], file.previous.creation) ||
            !ReadNumber(fields[8], file.previous.lastWrite))
            return false;
        file.target = fields[1];
        file.temporary = fields[2];
        file.backup = fields[3];
        files.push_back(file);
    }
    return true;
}

void Discard(InstallFiles& fs, const std::string& folder, const std::vector<StoredFile>& files)
{
    for (const StoredFile& file : files) {
        fs.remove(folder + file.temporary);
        if (!file.backup.empty())
            fs.remove(folder + file.backup);
    }
}

Outcome Install(InstallFiles& fs, const std::string& folder, std::vector<StoredFile>& files)
{
    DropOverwritten(fs, folder, files);
    // Names for the old files, reserved before the journal names them.
    for (StoredFile& file : files) {
        file.backup.clear();
        if (!fs.exists(folder + file.target))
            continue;
        const std::string part = FolderPart(file.target);
        std::string name;
        if (!fs.getTimes(folder + file.target, file.previous) || !fs.reserveTemporary(folder + part, name)) {
            Discard(fs, folder, files);
            return Outcome::RolledBack;
        }
        file.backup = part + name;
    }
    if (!WriteJournal(fs, folder, JournalState::Replace, files)) {
        Discard(fs, folder, files);
        return Outcome::RolledBack;
    }

    bool placed = true;
    for (std::size_t i = 0; i < files.size() && placed; ++i) {
        const StoredFile& file = files[i];
        const std::string target = folder + file.target;
        placed = (file.backup.empty() || fs.move(target, folder + file.backup, true)) &&
                 fs.move(folder + file.temporary, target, false);
        if (placed) {
            // After the move: a file that takes over a name just left may
            // inherit the old file's creation time. Failures only lose the
            // stored times or attributes.
            fs.setStored(target, file.date, file.time, file.attributes);
            fs.afterMove();
        }
    }
    if (!placed || !WriteJournal(fs, folder, JournalState::Cleanup, files))
        return UndoAll(fs, folder, files) ? Outcome::RolledBack : Outcome::Stuck;
    // The new release is whole from here on, whatever the clean-up leaves.
    FinishAll(fs, folder, files);
    return Outcome::Installed;
}

bool RecoverEarlierRun(InstallFiles& fs, const std::string& folder)
{
    std::string text;
    const int read = fs.readWhole(folder + kJournalName, text);
    if (read < 0)
        return false;
    if (read > 0) {
        JournalState state;
        std::vector<StoredFile> files;
        if (!DecodeJournal(text, state, files))
            return false;
        const bool whole = state == JournalState::Replace ? UndoAll(fs, folder, files) : FinishAll(fs, folder, files);
        if (!whole)
            return false;
    }
    // Temporary files without a journal are what staging left, or a journal
    // never renamed into place: nothing installed depends on them.
    fs.removeTemporaries(folder);
    return true;
}

} // namespace install
