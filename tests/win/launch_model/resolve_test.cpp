#include <gtest/gtest.h>

#include "resolve.h"
#include "win_fixture.h"

namespace {

std::string SystemFile(const char* name)
{
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + name;
}

struct Resolved {
    bool found;
    std::string text;
};

Resolved Resolve(const std::string& value)
{
    char buffer[kTextSize] = {};
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    const bool found = ResolveTargetPath(buffer);
    return {found, buffer};
}

class ResolveTarget : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(MAX_PATH, savedDirectory_);
        SetCurrentDirectoryA(scratch_.path().c_str());
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(savedDirectory_);
        for (const char* name : {"lmdsz.exe", "lmdexpand.exe", "lmdgone.exe"})
            DeleteRegistryTree(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + name);
        SetEnvironmentVariableA("LMD_APP_DIR", nullptr);
    }

    ScratchFolder scratch_{"resolve"};
    ComScope com_;
    char savedDirectory_[MAX_PATH] = {};
};

TEST_F(ResolveTarget, KeepsExistingPathsAndSchemes)
{
    ASSERT_TRUE(WriteTextFile(scratch_ / "here.exe", "x"));
    const std::string full = scratch_ / "here.exe";
    const std::string cases[] = {full, "here.exe", scratch_.path(), "http://www.example.invalid/x:y",
                                 "mailto:someone@example.invalid"};
    for (const std::string& value : cases) {
        const Resolved r = Resolve(value);
        EXPECT_TRUE(r.found) << value;
        EXPECT_EQ(r.text, value);
    }
}

TEST_F(ResolveTarget, BareNameFollowsTheSystemSearchOrder)
{
    const std::string notepad = SystemFile("notepad.exe");
    ASSERT_NE(GetFileAttributesA(notepad.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string cases[] = {"notepad.exe", "C:\\no\\such\\folder\\notepad.exe", "NOTEPAD.EXE"};
    for (const std::string& value : cases) {
        const Resolved r = Resolve(value);
        EXPECT_TRUE(r.found) << value;
        EXPECT_TRUE(SamePath(r.text, notepad)) << value << " -> " << r.text;
    }
}

TEST_F(ResolveTarget, SearchPathAskedAheadGivesTheSameTargets)
{
    ASSERT_TRUE(WriteTextFile(scratch_ / "here.exe", "x"));
    const std::vector<std::string> aheadValues = {"notepad.exe", "C:\\no\\such\\folder\\NOTEPAD.EXE", "notepad",
                                                  "notepad.exe", "lmd-unknown-program.exe", "here.exe"};
    const std::vector<std::string> laterValues = {"notepad.com", "lmd-unknown-program.com", ""};
    SearchPathAnswers answers;
    for (const std::string& value : aheadValues)
        answers.AskAhead(value.c_str());
    answers.Finish();

    for (const std::vector<std::string>* values : {&aheadValues, &laterValues}) {
        for (const std::string& value : *values) {
            const Resolved plain = Resolve(value);
            char buffer[kTextSize] = {};
            std::memcpy(buffer, value.c_str(), value.size() + 1);
            EXPECT_EQ(ResolveTargetPath(buffer, nullptr, nullptr, &answers), plain.found) << value;
            EXPECT_EQ(std::string(buffer), plain.text) << value;
        }
    }
}

TEST_F(ResolveTarget, AppPathsValuesOfBothStringTypes)
{
    MakeFolders(scratch_ / "apps");
    ASSERT_TRUE(WriteTextFile(scratch_ / "apps\\lmdsz.exe", "x"));
    ASSERT_TRUE(WriteTextFile(scratch_ / "apps\\lmdexpand.exe", "x"));
    SetEnvironmentVariableA("LMD_APP_DIR", (scratch_ / "apps").c_str());
    ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "lmdsz.exe", nullptr, REG_SZ,
                                  scratch_ / "apps\\lmdsz.exe"));
    ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "lmdexpand.exe", nullptr,
                                  REG_EXPAND_SZ, "%LMD_APP_DIR%\\lmdexpand.exe"));
    ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "lmdgone.exe", nullptr, REG_SZ,
                                  scratch_ / "apps\\lmdgone.exe"));

    struct Case {
        std::string value;
        bool found;
        std::string text;
    };
    const Case cases[] = {
        {"lmdsz.exe", true, scratch_ / "apps\\lmdsz.exe"},
        {"D:\\elsewhere\\lmdsz.exe", true, scratch_ / "apps\\lmdsz.exe"},
        {"lmdexpand.exe", true, scratch_ / "apps\\lmdexpand.exe"},
        {"lmdgone.exe", false, "lmdgone.exe"},  // registered, but the file is missing
        {"lmd-unknown-program.exe", false, "lmd-unknown-program.exe"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        const Resolved r = Resolve(c.value);
        EXPECT_EQ(r.found, c.found) << c.value;
        EXPECT_TRUE(SamePath(r.text, c.text)) << c.value << " -> " << r.text;
    }
}

TEST_F(ResolveTarget, ShortcutNameIsSearchedInTheStartMenus)
{
    const std::string common = SpecialFolder(CSIDL_COMMON_STARTMENU);
    const std::string user = SpecialFolder(CSIDL_STARTMENU);
    const std::string commonSub = common + "\\Programs\\LmdResolve";
    const std::string userSub = user + "\\LmdResolve";
    MakeFolders(commonSub);
    MakeFolders(userSub);
    const std::string notepad = SystemFile("notepad.exe");
    ASSERT_TRUE(MakeShortcut(commonSub + "\\LmdBoth.lnk", notepad));
    ASSERT_TRUE(MakeShortcut(userSub + "\\LmdBoth.lnk", notepad));
    ASSERT_TRUE(MakeShortcut(userSub + "\\LmdUserOnly.lnk", notepad));

    const Resolved both = Resolve("LmdBoth.lnk");
    const Resolved userOnly = Resolve("C:\\old\\place\\LmdUserOnly.LNK");
    const Resolved none = Resolve("LmdNowhere.lnk");
    RemoveTree(commonSub);
    RemoveTree(userSub);

    EXPECT_TRUE(both.found);
    EXPECT_TRUE(SamePath(both.text, commonSub + "\\LmdBoth.lnk")) << both.text;
    EXPECT_TRUE(userOnly.found);
    EXPECT_TRUE(SamePath(userOnly.text, userSub + "\\LmdUserOnly.LNK")) << userOnly.text;
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.text, "LmdNowhere.lnk");
}

TEST_F(ResolveTarget, ShortcutIconComesFromItsIconLocationOrItsTarget)
{
    const std::string notepad = SystemFile("notepad.exe");
    ASSERT_TRUE(MakeShortcut(scratch_ / "target.lnk", notepad));
    ASSERT_TRUE(MakeShortcut(scratch_ / "located.lnk", scratch_ / "gone.exe", SystemFile("shell32.dll"), 3));
    ASSERT_TRUE(WriteTextFile(scratch_ / "fake.lnk", "not a shortcut"));
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    ShellLinks links;
    IconCache icons;

    EXPECT_NE(GetShortcutIcon(instance, (scratch_ / "target.lnk").c_str(), links, icons), nullptr);
    EXPECT_NE(GetShortcutIcon(instance, (scratch_ / "located.lnk").c_str(), links, icons), nullptr);
    EXPECT_EQ(GetShortcutIcon(instance, (scratch_ / "fake.lnk").c_str(), links, icons), nullptr);
}

class SchemeIcon : public ::testing::Test {
protected:
    void TearDown() override { DeleteRegistryTree(HKEY_CLASSES_ROOT, "lmdscheme"); }

    HICON IconFor(DWORD type, const std::string& value)
    {
        DeleteRegistryTree(HKEY_CLASSES_ROOT, "lmdscheme");
        if (!value.empty()) {
            EXPECT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, "lmdscheme\\DefaultIcon", nullptr, type, value));
        }
        return GetSchemeIcon("lmdscheme://host/path");
    }
};

TEST_F(SchemeIcon, FollowsTheDefaultIconValue)
{
    const std::string shell32 = SystemFile("shell32.dll");
    const UINT iconCount = ExtractIconExA(shell32.c_str(), -1, nullptr, nullptr, 0);
    ASSERT_GT(iconCount, 4u);

    struct Case {
        const char* what;
        DWORD type;
        std::string value;
        bool icon;
    };
    const Case cases[] = {
        {"file and index", REG_SZ, shell32 + ",3", true},
        {"no comma", REG_SZ, shell32, true},
        {"index past the icons falls back to 0", REG_SZ, shell32 + "," + std::to_string(iconCount + 50), true},
        {"leading blanks", REG_SZ, "  " + shell32 + ",2", true},
        {"quoted name", REG_SZ, "\"" + shell32 + "\",2", true},
        {"expanded", REG_EXPAND_SZ, "%SystemRoot%\\system32\\shell32.dll,1", true},
        {"missing file", REG_SZ, "C:\\lmd\\no-such.dll,0", false},
        {"no DefaultIcon key", REG_SZ, "", false},
    };
    for (const Case& c : cases) {
        HICON icon = IconFor(c.type, c.value);
        EXPECT_EQ(icon != nullptr, c.icon) << c.what;
        if (icon != nullptr)
            DestroyIcon(icon);
    }
}

TEST_F(SchemeIcon, OtherValueTypesGiveNone)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "lmdscheme\\DefaultIcon", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const DWORD number = 1;
    RegSetValueExA(key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    EXPECT_EQ(GetSchemeIcon("lmdscheme:x"), nullptr);
}

} // namespace
