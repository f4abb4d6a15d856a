#include <gtest/gtest.h>

#include "startmenu.h"
#include "win_fixture.h"

namespace {

struct Found {
    bool found;
    std::string text;
};

// The plain search and the index answer the same question; every tree test
// runs against both.
enum class Way { Plain, Index };

Found Search(const std::string& name, const std::string& folder, Way way = Way::Plain)
{
    char buffer[MAX_PATH] = {};
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    bool found = false;
    if (way == Way::Plain) {
        found = FindFileInTree(buffer, folder.c_str());
    } else {
        TreeIndex index(SystemFolderView());
        index.SetRoot(folder.c_str());
        found = index.Find(buffer);
    }
    return {found, buffer};
}

class FileTree : public ::testing::TestWithParam<Way> {};

INSTANTIATE_TEST_SUITE_P(Ways, FileTree, ::testing::Values(Way::Plain, Way::Index),
                         [](const ::testing::TestParamInfo<Way>& info) {
                             return info.param == Way::Plain ? std::string("Plain") : std::string("Index");
                         });

TEST_P(FileTree, OwnMatchBeforeSubfoldersAndDepthFirst)
{
    ScratchFolder tree("tree");
    MakeFolders(tree / "a\\deep\\deeper");
    MakeFolders(tree / "b");
    ASSERT_TRUE(WriteTextFile(tree / "a\\deep\\deeper\\x.lnk", ""));
    ASSERT_TRUE(WriteTextFile(tree / "a\\deep\\y.lnk", ""));
    ASSERT_TRUE(WriteTextFile(tree / "b\\y.lnk", ""));
    ASSERT_TRUE(WriteTextFile(tree / "b\\x.lnk", ""));
    ASSERT_TRUE(WriteTextFile(tree / "top.lnk", ""));
    MakeFolders(tree / "Sub.lnk");  // folders match too

    struct Case {
        const char* name;
        bool found;
        std::string text;
    };
    const Case cases[] = {
        {"top.lnk", true, tree / "top.lnk"},
        {"x.lnk", true, tree / "a\\deep\\deeper\\x.lnk"},  // all of a before b
        {"y.lnk", true, tree / "a\\deep\\y.lnk"},
        {"Sub.lnk", true, tree / "Sub.lnk"},
        {"none.lnk", false, "none.lnk"},
    };
    for (const Case& c : cases) {
        const Found f = Search(c.name, tree.path(), GetParam());
        EXPECT_EQ(f.found, c.found) << c.name;
        EXPECT_TRUE(SamePath(f.text, c.text)) << c.name << " -> " << f.text;
    }
}

TEST_P(FileTree, PathsPastTheLimitAreSkipped)
{
    ScratchFolder tree("long");
    // Nest folders until the next match would need more than 259 characters.
    std::string folder = tree.path();
    while (folder.size() + 1 + 40 < 250)
        folder += "\\" + std::string(39, 'd');
    MakeFolders(folder);
    ASSERT_NE(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string name(258 - folder.size(), 'n');  // fits: exactly 259 characters
    ASSERT_TRUE(WriteTextFile(folder + "\\" + name, ""));

    const Found fits = Search(name, tree.path(), GetParam());
    EXPECT_TRUE(fits.found);
    EXPECT_EQ(fits.text.size(), 259u);

    const std::string longer = name + "x";
    const Found past = Search(longer, tree.path(), GetParam());
    EXPECT_FALSE(past.found);
    EXPECT_EQ(past.text, longer);
}

// Makes `link` a directory link to `target`. Under Wine the link is a Unix
// symbolic link, which Wine lists as a reparse-point folder; its own link
// call makes none, so the system's ln is run for it.
bool MakeFolderLink(const std::string& link, const std::string& target)
{
    using ToUnixName = char*(CDECL*)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr)
        return CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) &&
               GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;

    WCHAR wideLink[MAX_PATH] = {};
    WCHAR wideTarget[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wideLink, MAX_PATH);
    MultiByteToWideChar(CP_ACP, 0, target.c_str(), -1, wideTarget, MAX_PATH);
    char* unixLink = toUnix(wideLink);
    char* unixTarget = toUnix(wideTarget);
    if (unixLink == nullptr || unixTarget == nullptr)
        return false;
    std::string command = std::string("/bin/ln -s \"") + unixTarget + "\" \"" + unixLink + "\"";
    HeapFree(GetProcessHeap(), 0, unixLink);
    HeapFree(GetProcessHeap(), 0, unixTarget);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The handle of a Unix process does not wait for it; the link itself tells.
    for (int i = 0; i < 100; ++i) {
        if (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(50);
    }
    return false;
}

TEST_P(FileTree, LinkedFoldersAreFollowedOnceWithoutLooping)
{
    ScratchFolder tree("loop");
    ScratchFolder outside("linked");
    MakeFolders(tree / "in");
    MakeFolders(tree / "z");
    ASSERT_TRUE(WriteTextFile(tree / "z\\target.lnk", ""));
    ASSERT_TRUE(WriteTextFile(outside / "elsewhere.lnk", ""));
    const std::string back = tree / "in\\back";
    const std::string linked = tree / "in\\linked";
    if (!MakeFolderLink(back, tree.path()) || !MakeFolderLink(linked, outside.path()))
        GTEST_SKIP() << "no directory link could be made here";
    ASSERT_TRUE(GetFileAttributesA(back.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);

    // Going round in\back would find target.lnk again below in\back\..., at
    // whatever depth the path limit allows, and take ever longer for a name
    // that is nowhere.
    const Found f = Search("target.lnk", tree.path(), GetParam());
    const Found through = Search("elsewhere.lnk", tree.path(), GetParam());
    const Found none = Search("nothing-here.lnk", tree.path(), GetParam());
    RemoveDirectoryA(back.c_str());
    RemoveDirectoryA(linked.c_str());

    EXPECT_TRUE(f.found);
    EXPECT_TRUE(SamePath(f.text, tree / "z\\target.lnk")) << f.text;
    EXPECT_TRUE(through.found);
    EXPECT_TRUE(SamePath(through.text, linked + "\\elsewhere.lnk")) << through.text;
    EXPECT_FALSE(none.found);
}

// The index must give exactly the plain search's answer, whatever the tree
// holds: the same name at several depths and in several folders, names that
// differ only in case, a folder bearing the name, double-byte names, linked
// folders, paths at the limit, and names the system reads as patterns.
TEST(TreeIndex, AnswersAsThePlainSearchOnAwkwardTrees)
{
    ScratchFolder tree("same");
    ScratchFolder outside("same-out");
    const char* files[] = {
        "a\\b\\c\\dup.lnk", "a\\b\\dup.lnk", "d\\dup.lnk", "a\\Mixed.Lnk", "d\\e\\MIXED.LNK",
        "x\\only.lnk", "ツール\\表.lnk", "ツール\\ソフト\\能.lnk", "f\\Named.lnk", "d\\ａｂ.lnk",
        "deep~1.lnk", "a\\b\\c\\name with blanks.lnk", "dots.in.name.lnk",
    };
    MakeFolders(tree / "e\\Named.lnk");  // a folder bearing the name of a file elsewhere
    for (const char* file : files) {
        const std::string path = tree / file;
        MakeFolders(path.substr(0, path.rfind('\\')));
        ASSERT_TRUE(WriteTextFile(path, "")) << file;
    }
    ASSERT_TRUE(WriteTextFile(outside / "dup.lnk", ""));
    ASSERT_TRUE(WriteTextFile(outside / "outside.lnk", ""));
    std::string deep = tree / "long";
    while (deep.size() + 21 < 240)  // folders stay within the 248 characters a folder may have
        deep += "\\" + std::string(20, 'q');
    MakeFolders(deep);
    ASSERT_TRUE(WriteTextFile(deep + "\\far.lnk", ""));
    ASSERT_TRUE(WriteTextFile(deep + "\\dup.lnk", ""));
    const bool linked = MakeFolderLink(tree / "a\\link", outside.path()) && MakeFolderLink(tree / "d\\up", tree.path());

    const char* names[] = {
        "dup.lnk", "DUP.LNK", "Dup.lnk", "mixed.lnk", "MIXED.lnk", "only.lnk", "表.lnk", "能.lnk", "ソフト",
        "named.lnk", "ＡＢ.lnk", "ａｂ.lnk", "deep~1.lnk", "name with blanks.lnk", "dots.in.name.lnk",
        "outside.lnk", "far.lnk", "a", "ツール", "absent.lnk", "*.lnk", "du?.lnk", "dup.lnk.", "dup.lnk ",
        "a\\b\\dup.lnk", "",
    };
    TreeIndex index(SystemFolderView());  // one index for every lookup, as a catalogue load uses it
    index.SetRoot(tree.path().c_str());
    for (const char* name : names) {
        const Found plain = Search(name, tree.path());
        char buffer[MAX_PATH] = {};
        std::strcpy(buffer, name);
        const bool found = index.Find(buffer);
        EXPECT_EQ(found, plain.found) << name;
        EXPECT_STREQ(buffer, plain.text.c_str()) << name;
    }
    RemoveDirectoryA((tree / "a\\link").c_str());
    RemoveDirectoryA((tree / "d\\up").c_str());
    if (!linked)
        GTEST_SKIP() << "compared without directory links: none could be made here";
}

class StartMenus : public ::testing::Test {
protected:
    void SetUp() override
    {
        common_ = SpecialFolder(CSIDL_COMMON_STARTMENU);
        user_ = SpecialFolder(CSIDL_STARTMENU);
        ASSERT_FALSE(common_.empty());
        ASSERT_FALSE(user_.empty());
        ASSERT_FALSE(SamePath(common_, user_));
    }
    void TearDown() override
    {
        RemoveTree(common_ + "\\Programs\\LmdMenus");
        RemoveTree(user_ + "\\LmdMenus");
        DeleteFileA((user_ + "\\LmdUserTop.lnk").c_str());
    }

    std::string common_;
    std::string user_;
    ComScope com_;
};

TEST_F(StartMenus, AllUsersMenuFirstThenTheUsers)
{
    const std::string commonSub = common_ + "\\Programs\\LmdMenus";
    const std::string userSub = user_ + "\\LmdMenus";
    MakeFolders(commonSub);
    MakeFolders(userSub);
    char notepad[MAX_PATH] = {};
    GetSystemDirectoryA(notepad, MAX_PATH);
    std::strcat(notepad, "\\notepad.exe");
    ASSERT_TRUE(MakeShortcut(commonSub + "\\LmdShared.lnk", notepad));
    ASSERT_TRUE(MakeShortcut(user_ + "\\LmdShared.lnk", notepad));  // shallower, but in the later menu
    ASSERT_TRUE(MakeShortcut(userSub + "\\LmdMine.lnk", notepad));

    struct Case {
        const char* name;
        bool found;
        std::string text;
    };
    const Case cases[] = {
        {"LmdShared.lnk", true, commonSub + "\\LmdShared.lnk"},
        {"LmdMine.lnk", true, userSub + "\\LmdMine.lnk"},
        {"LmdAbsent.lnk", false, "LmdAbsent.lnk"},
    };
    StartMenuIndex index;
    for (const Case& c : cases) {
        char buffer[MAX_PATH] = {};
        std::strcpy(buffer, c.name);
        EXPECT_EQ(FindShortcutInStartMenus(buffer), c.found) << c.name;
        EXPECT_TRUE(SamePath(buffer, c.text)) << c.name << " -> " << buffer;
        char indexed[MAX_PATH] = {};
        std::strcpy(indexed, c.name);
        EXPECT_EQ(index.Find(indexed), c.found) << c.name;
        EXPECT_STREQ(indexed, buffer) << c.name;
    }
    DeleteFileA((user_ + "\\LmdShared.lnk").c_str());
}

} // namespace
