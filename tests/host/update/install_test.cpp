#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "install.h"

namespace {

using install::FileTimes;
using install::InstallFiles;
using install::Outcome;
using install::StoredFile;

struct Node {
    std::string bytes;
    std::uint64_t creation = 0;
    std::uint64_t lastWrite = 0;
    std::uint16_t attributes = 0x20;
    bool operator==(const Node& o) const
    {
        return bytes == o.bytes && creation == o.creation && lastWrite == o.lastWrite && attributes == o.attributes;
    }
};
using Tree = std::map<std::string, Node>;

std::string NamePart(const std::string& path)
{
    return path.substr(path.find_last_of('\\') + 1);
}

// A file system in memory, with the two habits the installer must live with:
// a name that reappears soon after its file left it takes over that file's
// creation time (as on the system's own file systems), and the process may
// die after any number of changes: from then on every call fails.
class MemoryFiles : public InstallFiles {
public:
    Tree files;
    int changesLeft = -1;        // -1: never dies
    std::string refused;  // the first move from or onto it fails, as for a file held open
    int changes = 0;

    bool exists(const std::string& path) override { return alive() && files.count(path) != 0; }
    bool reserveTemporary(const std::string& folder, std::string& name) override
    {
        for (std::uint32_t serial = 0; serial < 64; ++serial) {
            if (install::MakeTemporaryName(name, folder.size(), serial) && files.count(folder + name) == 0) {
                if (!change())
                    return false;
                Node node;
                appear(folder + name, node);
                files[folder + name] = node;
                return true;
            }
        }
        return false;
    }
    bool move(const std::string& from, const std::string& to, bool replace) override
    {
        if (from == refused || to == refused) {
            refused.clear();
            return false;
        }
        if (files.count(from) == 0 || (!replace && files.count(to) != 0) ||
            (files.count(to) != 0 && (files[to].attributes & 1)) || !change())
            return false;
        Node node = files[from];
        leave(from);
        files.erase(to);
        appear(to, node);
        files[to] = node;
        return true;
    }
    bool remove(const std::string& path) override
    {
        if (!alive())
            return false;
        if (files.count(path) == 0)
            return true;
        if (!change())
            return false;
        leave(path);
        return true;
    }
    bool setStored(const std::string& path, std::uint16_t date, std::uint16_t time,
                   std::uint16_t attributes) override
    {
        if (!exists(path) || !change())
            return false;
        Node& node = files[path];
        node.creation = node.lastWrite = Stored(date, time);
        node.attributes = attributes;
        return true;
    }
    bool getTimes(const std::string& path, FileTimes& times) override
    {
        if (!exists(path))
            return false;
        times.creation = files[path].creation;
        times.lastWrite = files[path].lastWrite;
        return true;
    }
    bool setTimes(const std::string& path, const FileTimes& times) override
    {
        if (!exists(path) || !change())
            return false;
        files[path].creation = times.creation;
        files[path].lastWrite = times.lastWrite;
        return true;
    }
    bool writeWhole(const std::string& path, const std::string& bytes) override
    {
        if (!change())
            return false;
        Node node;
        node.bytes = bytes;
        leave(path);
        appear(path, node);
        files[path] = node;
        return true;
    }
    int readWhole(const std::string& path, std::string& bytes) override
    {
        if (!alive())
            return -1;
        if (files.count(path) == 0)
            return 0;
        bytes = files[path].bytes;
        return 1;
    }
    bool removeTemporaries(const std::string& folder) override
    {
        bool all = true;
        for (const std::string& path : Paths()) {
            if (path.compare(0, folder.size(), folder) == 0 && install::IsTemporaryName(NamePart(path).c_str()))
                all = remove(path) && all;
        }
        return all;
    }

    static std::uint64_t Stored(std::uint16_t date, std::uint16_t time) { return (std::uint64_t{date} << 16) | time; }
    std::vector<std::string> Paths() const
    {
        std::vector<std::string> paths;
        for (const auto& entry : files)
            paths.push_back(entry.first);
        return paths;
    }
    void revive()
    {
        changesLeft = -1;
    }

private:
    bool alive() const { return changesLeft != 0; }
    bool change()
    {
        if (!alive())
            return false;
        ++changes;
        ++clock_;
        if (changesLeft > 0)
            --changesLeft;
        return true;
    }
    void leave(const std::string& path)
    {
        if (files.count(path) != 0)
            recentlyLeft_[path] = {files[path].creation, clock_};
        files.erase(path);
    }
    void appear(const std::string& path, Node& node)
    {
        auto left = recentlyLeft_.find(path);
        if (left != recentlyLeft_.end() && clock_ - left->second.second < 15)
            node.creation = left->second.first;
        else if (node.creation == 0)
            node.creation = clock_;
    }

    std::uint64_t clock_ = 1000;
    std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> recentlyLeft_;
};

const std::string kFolder = "C:\\PROGRA~1\\ORVEL\\";

// What tells two folders apart, for a failure's message.
std::string Differences(const Tree& got, const Tree& expected)
{
    std::string text;
    for (const auto& entry : got) {
        auto other = expected.find(entry.first);
        if (other == expected.end())
            text += "\n  extra " + entry.first;
        else if (!(other->second == entry.second))
            text += "\n  differs " + entry.first + " (" + entry.second.bytes + ", created " +
                    std::to_string(entry.second.creation) + ")";
    }
    for (const auto& entry : expected) {
        if (got.count(entry.first) == 0)
            text += "\n  missing " + entry.first;
    }
    return text;
}

struct NewFile {
    const char* name;
    const char* bytes;
    std::uint16_t attributes;
};
const NewFile kNewRelease[] = {
    {"launch.exe", "new program", 0x20},
    {"LAUNCH.INI", "[LAUNCH]", 0x20},
    {"data\\items.dat", "new items", 0x21},
    {"\x83\x66\x81\x5C\\skin.bmp", "new skin", 0x20},  // a folder whose name ends in a 0x5C trail byte
    {"readme.txt", "only in the new release", 0x02},
};
constexpr std::uint16_t kDate = 0x5A87;
constexpr std::uint16_t kTime = 0x6B2E;

// The old release: every file of the new one but the last, with times and
// attributes of its own, and a file the update does not name.
Tree OldRelease()
{
    Tree tree;
    std::uint64_t when = 500;
    for (const NewFile& f : kNewRelease) {
        if (std::strcmp(f.name, "readme.txt") == 0)
            continue;
        tree[kFolder + f.name] = {std::string("old ") + f.name, when, when + 1, 0x20};
        when += 10;
    }
    tree[kFolder + "user.dat"] = {"kept", 90, 91, 0x00};
    return tree;
}

Tree NewRelease()
{
    Tree tree = OldRelease();
    for (const NewFile& f : kNewRelease) {
        const std::uint64_t stored = MemoryFiles::Stored(kDate, kTime);
        tree[kFolder + f.name] = {f.bytes, stored, stored, f.attributes};
    }
    return tree;
}

// Writes the new files under temporary names, as the updater's staging does.
std::vector<StoredFile> Stage(MemoryFiles& fs)
{
    std::vector<StoredFile> staged;
    for (const NewFile& f : kNewRelease) {
        const std::string target = f.name;
        const std::string part = target.substr(0, target.find_last_of('\\') + 1);
        std::string name;
        EXPECT_TRUE(fs.reserveTemporary(kFolder + part, name));
        fs.files[kFolder + part + name].bytes = f.bytes;
        staged.push_back({target, part + name, "", kDate, kTime, f.attributes, {}});
    }
    return staged;
}

TEST(UpdateTemporaryNames, FitEveryFolderThatLeavesRoomForOneDigitAndAreTheUpdatersOwn)
{
    std::string name;
    for (std::size_t folder = 0; folder <= 251; ++folder) {
        std::set<std::string> names;
        for (std::uint32_t serial = 0; serial < 16; ++serial) {
            ASSERT_TRUE(install::MakeTemporaryName(name, folder, serial)) << folder;
            EXPECT_LE(folder + name.size(), install::kMaxPath) << folder;
            EXPECT_TRUE(install::IsTemporaryName(name.c_str())) << name;
            names.insert(name);
        }
        EXPECT_EQ(names.size(), 16u) << folder;
    }
    EXPECT_FALSE(install::MakeTemporaryName(name, 252, 0));
    // The system's own temporary names stop at folders of 246 characters;
    // a launcher 250 characters deep still gets one beside "a.txt".
    ASSERT_TRUE(install::MakeTemporaryName(name, 250, 0x1234ABCD));
    EXPECT_EQ(name, "updCD.tmp");
    ASSERT_TRUE(install::MakeTemporaryName(name, 20, 0x1234ABCD));
    EXPECT_EQ(name, "upd1234ABCD.tmp");

    for (const char* ours : {"upd1A2B.tmp", "UPD0.TMP", "upd0000abcd.tmp"})
        EXPECT_TRUE(install::IsTemporaryName(ours)) << ours;
    for (const char* other : {"upd.tmp", "update.tmp", "upd123456789.tmp", "upd12G4.tmp", "xupd1.tmp", "upd1.tmp.bak",
                              "upd1.tm", install::kJournalName})
        EXPECT_FALSE(install::IsTemporaryName(other)) << other;
}

TEST(UpdateJournal, ReadsBackWhatWasWrittenAndRefusesAnyCutOrForbiddenName)
{
    std::vector<StoredFile> files(2);
    files[0] = {"launch.exe", "upd00000001.tmp", "upd00000003.tmp", 1, 2, 0x21, {UINT64_MAX, 0}};
    files[1] = {"\x83\x66\x81\x5C\\a b.dat", "\x83\x66\x81\x5C\\upd2.tmp", "", 65535, 0, 0, {}};
    std::string text;
    ASSERT_TRUE(install::EncodeJournal(install::JournalState::Cleanup, files, text));
    install::JournalState state = install::JournalState::Replace;
    std::vector<StoredFile> read;
    ASSERT_TRUE(install::DecodeJournal(text, state, read));
    EXPECT_EQ(state, install::JournalState::Cleanup);
    ASSERT_EQ(read.size(), 2u);
    auto fields = [](const StoredFile& f) {
        return std::tie(f.target, f.temporary, f.backup, f.date, f.time, f.attributes, f.previous.creation,
                        f.previous.lastWrite);
    };
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(fields(read[i]), fields(files[i])) << i;
    for (std::size_t cut = 0; cut < text.size(); ++cut)
        EXPECT_FALSE(install::DecodeJournal(text.substr(0, cut), state, read)) << cut;

    files[1].target = "a\tb";
    EXPECT_FALSE(install::EncodeJournal(install::JournalState::Replace, files, text));
}

TEST(UpdateInstall, PutsEveryFileInPlaceWithItsStoredTimesAfterTheMoveAndLeavesNothingElse)
{
    MemoryFiles fs;
    fs.files = OldRelease();
    std::vector<StoredFile> staged = Stage(fs);
    ASSERT_EQ(install::Install(fs, kFolder, staged), Outcome::Installed);
    // Creation times included: each new file took over a name its old file
    // had just left.
    EXPECT_EQ(fs.files, NewRelease());
}

TEST(UpdateInstall, ADestinationThatRefusesTheMoveLeavesTheOldReleaseWhole)
{
    for (const NewFile& refused : kNewRelease) {
        SCOPED_TRACE(refused.name);
        MemoryFiles fs;
        fs.files = OldRelease();
        std::vector<StoredFile> staged = Stage(fs);
        fs.refused = kFolder + refused.name;
        ASSERT_EQ(install::Install(fs, kFolder, staged), Outcome::RolledBack);
        EXPECT_EQ(fs.files, OldRelease());
    }
}

// The process dies after every possible number of changes, in the update
// and again in the recovery that follows; the next recovery then leaves
// exactly the old or exactly the new release and nothing else.
TEST(UpdateRecover, AfterAnInterruptionAtAnyPointTheFolderHoldsOneReleaseWhole)
{
    MemoryFiles whole;
    whole.files = OldRelease();
    std::vector<StoredFile> staged = Stage(whole);
    const int stagingChanges = whole.changes;
    ASSERT_EQ(install::Install(whole, kFolder, staged), Outcome::Installed);
    const int installChanges = whole.changes - stagingChanges;

    int gotOld = 0;
    int gotNew = 0;
    for (int dieAfter = 0; dieAfter < installChanges; ++dieAfter) {
        for (int recoveryDiesAfter = 0; recoveryDiesAfter < 12; ++recoveryDiesAfter) {
            SCOPED_TRACE(testing::Message() << "update dies after " << dieAfter << ", recovery after "
                                            << recoveryDiesAfter);
            MemoryFiles fs;
            fs.files = OldRelease();
            std::vector<StoredFile> files = Stage(fs);
            fs.changesLeft = dieAfter;
            install::Install(fs, kFolder, files);
            fs.changesLeft = recoveryDiesAfter;
            install::RecoverEarlierRun(fs, kFolder);
            fs.revive();
            ASSERT_TRUE(install::RecoverEarlierRun(fs, kFolder));
            if (fs.files == OldRelease())
                ++gotOld;
            else if (fs.files == NewRelease())
                ++gotNew;
            else
                ADD_FAILURE() << "a mixed folder:" << Differences(fs.files, OldRelease());
        }
    }
    EXPECT_GT(gotOld, 0);
    EXPECT_GT(gotNew, 0);
}

TEST(UpdateRecover, RemovesOnlyTemporaryFilesWithoutAJournalAndTouchesNothingForAnUnreadableOne)
{
    MemoryFiles fs;
    fs.files = OldRelease();
    fs.files[kFolder + "upd1A.tmp"] = {};           // the form of older updaters
    fs.files[kFolder + "data\\UPD00000002.TMP"] = {};
    fs.files[kFolder + "update.tmp"] = {"the user's"};
    ASSERT_TRUE(install::RecoverEarlierRun(fs, kFolder));
    Tree expected = OldRelease();
    expected[kFolder + "update.tmp"] = {"the user's"};
    EXPECT_EQ(fs.files, expected);

    fs.files[kFolder + install::kJournalName] = {"ORVEL UPDATE JOURNAL 1\nreplace\nfile\tlaunch.exe"};
    fs.files[kFolder + "upd1.tmp"] = {};
    const Tree before = fs.files;
    EXPECT_FALSE(install::RecoverEarlierRun(fs, kFolder));
    EXPECT_EQ(fs.files, before);
}

} // namespace
