#include <gtest/gtest.h>

#include "startmenu.h"
#include "win_fixture.h"

namespace {

struct Found {
    bool found;
    std::string text;
};

Found Search(const std::string& name, const std::string& folder)
{
    char buffer[MAX_PATH] = {};
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    const bool found = FindFileInTree(buffer, folder.c_str());
    return {found, buffer};
}

TEST(FileTree, OwnMatchBeforeSubfoldersAndDepthFirst)
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
        const Found f = Search(c.name, tree.path());
        EXPECT_EQ(f.found, c.found) << c.name;
        EXPECT_TRUE(SamePath(f.text, c.text)) << c.name << " -> " << f.text;
    }
}

TEST(FileTree, PathsPastTheLimitAreSkipped)
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

    const Found fits = Search(name, tree.path());
    EXPECT_TRUE(fits.found);
    EXPECT_EQ(fits.text.size(), 259u);

    const std::string longer = name + "x";
    const Found past = Search(longer, tree.path());
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

TEST(FileTree, FolderLeadingBackIntoItselfIsNotEntered)
{
    ScratchFolder tree("loop");
    MakeFolders(tree / "in");
    MakeFolders(tree / "z");
    ASSERT_TRUE(WriteTextFile(tree / "z\\target.lnk", ""));
    const std::string link = tree / "in\\back";
    if (!MakeFolderLink(link, tree.path()))
        GTEST_SKIP() << "no directory link could be made here";
    ASSERT_TRUE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);

    // Entering the link would find the file again below in\back\..., at
    // whatever depth the path limit allows.
    const Found f = Search("target.lnk", tree.path());
    const Found none = Search("nothing-here.lnk", tree.path());
    RemoveDirectoryA(link.c_str());
    DeleteFileA(link.c_str());

    EXPECT_TRUE(f.found);
    EXPECT_TRUE(SamePath(f.text, tree / "z\\target.lnk")) << f.text;
    EXPECT_FALSE(none.found);
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
    for (const Case& c : cases) {
        char buffer[MAX_PATH] = {};
        std::strcpy(buffer, c.name);
        EXPECT_EQ(FindShortcutInStartMenus(buffer), c.found) << c.name;
        EXPECT_TRUE(SamePath(buffer, c.text)) << c.name << " -> " << buffer;
    }
    DeleteFileA((user_ + "\\LmdShared.lnk").c_str());
}

} // namespace
