// Putting a release in place as a whole. The files of an update are first
// written in full under temporary names, each in its own destination folder
// (staging); only then are they moved over the installed ones, in one short
// phase whose progress a journal beside the launcher records. A failure
// before that phase changes no installed file; a failure inside it moves the
// old files back; a run that was killed or lost its power is mended by the
// next start of the updater (RecoverEarlierRun). So the folder always holds
// one release whole, or a journal that says how to get back to one.
//
// The stages and what an interrupted one leads to:
//   staging      no journal; temporary files only.        -> undone: they are removed
//   replacing    journal "replace"; each installed file is moved to a backup
//                name, then its new version onto its name.  -> undone: backups go back
//   cleaning up  journal "cleanup"; every new file is in place, the backups
//                are being removed.                         -> finished
// Undoing the replace stage, rather than finishing it, needs nothing but
// renames of files that were whole before the run began, whereas finishing
// would trust data written just before the interruption.
//
// The launcher itself pays no attention to a journal: a folder can be mixed
// only while one exists, and the next updater start mends it.
//
// Everything here goes through InstallFiles, so that the rules can be tried
// on any file system, a simulated one included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace install {

// The journal's name in the launcher's folder.
extern const char kJournalName[];
// Longest path the system takes, without the terminator.
constexpr std::size_t kMaxPath = 259;

// A temporary name for a file in a folder whose path (separator included) is
// folderLength characters long: "upd", up to eight hex digits of serial (as
// many as the path leaves room for, at least one) and ".tmp". False when not
// even one digit fits. Distinct serials below 16 give distinct names always.
bool MakeTemporaryName(std::string& name, std::size_t folderLength, std::uint32_t serial);
// A name MakeTemporaryName makes, or one of the form the updater used before
// ("upd" and one to four hex digits, ".tmp"), in any case of letters.
bool IsTemporaryName(const char* name);

// A file's creation and last-write times, in the system's own units.
struct FileTimes {
    std::uint64_t creation = 0;
    std::uint64_t lastWrite = 0;
};

// One file of an update. Date and time are packed as the cabinet keeps them.
struct StoredFile {
    std::string target;     // relative to the launcher folder, as stored
    std::string temporary;  // relative; the new contents, complete and flushed
    std::string backup;     // relative; where the old file goes, empty when there is none
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;  // already masked to what is kept
    // The old file's times, given back when it returns to its name (which
    // may take over the creation time of the file that left it).
    FileTimes previous;
};

// The file operations the installer needs. Paths are full; folders end with
// their separator.
class InstallFiles {
public:
    virtual ~InstallFiles() = default;
    virtual bool exists(const std::string& path) = 0;
    // Creates an empty file under a free name (MakeTemporaryName) in folder;
    // answers the name without the folder.
    virtual bool reserveTemporary(const std::string& folder, std::string& name) = 0;
    // Renames from to to; to must not exist unless replace is set.
    virtual bool move(const std::string& from, const std::string& to, bool replace) = 0;
    // Removes a file, read-only or not; true also when there is none.
    virtual bool remove(const std::string& path) = 0;
    // Gives a file its stored times (creation and last write) and attributes.
    virtual bool setStored(const std::string& path, std::uint16_t date, std::uint16_t time,
                           std::uint16_t attributes) = 0;
    virtual bool getTimes(const std::string& path, FileTimes& times) = 0;
    virtual bool setTimes(const std::string& path, const FileTimes& times) = 0;
    // Writes bytes to path whole: under a temporary name, flushed, then
    // renamed over whatever path was.
    virtual bool writeWhole(const std::string& path, const std::string& bytes) = 0;
    // 1 read, 0 no such file, -1 unreadable.
    virtual int readWhole(const std::string& path, std::string& bytes) = 0;
    // Removes every file with a temporary name in folder and its subfolders.
    virtual bool removeTemporaries(const std::string& folder) = 0;
    // Called after each file is put in place (a test may slow the phase down).
    virtual void afterMove() {}
};

enum class Outcome {
    Installed,   // the new release is in place
    RolledBack,  // it could not be: the old release stands whole
    Stuck,       // neither could be made whole; the journal stays for the next start
};

// Puts staged files in place (see the top of this file). files come in the
// order of the cabinet; a later file of the same target wins. On any outcome
// but Stuck no temporary file, backup or journal is left.
Outcome Install(InstallFiles& fs, const std::string& folder, std::vector<StoredFile>& files);

// Removes the temporary files of an update that is given up before Install.
void Discard(InstallFiles& fs, const std::string& folder, const std::vector<StoredFile>& files);

// Finishes or undoes what a journal in folder records, then removes every
// temporary file left there. True when the folder holds one release whole
// (also when there was nothing to do); false leaves the journal in place.
bool RecoverEarlierRun(InstallFiles& fs, const std::string& folder);

// The journal's text, and back. Decode refuses anything incomplete.
enum class JournalState { Replace, Cleanup };
// Encode fails for a name the text cannot hold (a tab or a line break).
bool EncodeJournal(JournalState state, const std::vector<StoredFile>& files, std::string& text);
bool DecodeJournal(const std::string& text, JournalState& state, std::vector<StoredFile>& files);

} // namespace install
