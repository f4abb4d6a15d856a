#include <gtest/gtest.h>

#include "app.h"
#include "catalogue.h"
#include "panel.h"
#include "win_fixture.h"

namespace {

std::string SystemFile(const char* name)
{
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + name;
}

// A catalogue file beside a scratch program folder, with the Start-menu
// shortcuts and App Paths entries its items name.
class CatalogueFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        common_ = SpecialFolder(CSIDL_COMMON_STARTMENU) + "\\Programs\\LmdCatalogue";
        user_ = SpecialFolder(CSIDL_STARTMENU);
        MakeFolders(common_);
        MakeFolders(folder_ / "apps");
        ASSERT_TRUE(WriteTextFile(folder_ / "full.exe", "MZ"));
        ASSERT_TRUE(WriteTextFile(folder_ / "apps\\lmdcatalogue.exe", "MZ"));
        ASSERT_TRUE(MakeShortcut(common_ + "\\LmdCatTools.lnk", SystemFile("notepad.exe")));
        ASSERT_TRUE(MakeShortcut(user_ + "\\LmdCatTools.lnk", SystemFile("notepad.exe")));
        SetEnvironmentVariableA("LMD_CATALOGUE_DIR", folder_.path().c_str());
        ASSERT_TRUE(SetRegistryString(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "lmdcatalogue.exe", nullptr,
                                      REG_EXPAND_SZ, "%LMD_CATALOGUE_DIR%\\apps\\lmdcatalogue.exe"));
    }
    void TearDown() override
    {
        RemoveTree(common_);
        DeleteFileA((user_ + "\\LmdCatTools.lnk").c_str());
        DeleteRegistryTree(HKEY_LOCAL_MACHINE, std::string(kAppPaths) + "lmdcatalogue.exe");
        SetEnvironmentVariableA("LMD_CATALOGUE_DIR", nullptr);
    }

    // Loads through the launcher's own record, as the start-up does.
    IconPanel& Load(const std::string& text)
    {
        const std::string path = folder_ / "LAUNCH.INI";
        EXPECT_TRUE(WriteTextFile(path, text));
        theApp.panel = IconPanel{};
        std::snprintf(theApp.programFolder, kTextSize, "%s\\", folder_.path().c_str());
        std::snprintf(theApp.cataloguePath, kTextSize, "%s", path.c_str());
        theApp.instance = GetModuleHandleA(nullptr);
        LoadCatalogue();
        return theApp.panel;
    }

    ScratchFolder folder_{"catalogue"};
    ComScope com_;
    std::string common_;
    std::string user_;
};

TEST_F(CatalogueFile, ThreeGroupsResolveEachKindOfTarget)
{
    const std::string full = folder_ / "full.exe";
    const std::string text =
        "[LAUNCH]\r\nItem1=ツール\r\nItem2=Media\r\nItem3=Net\r\n"
        "[ツール]\r\nItem1=Full\r\nItem2=Bare\r\nItem3=Shortcut\r\nItem4=Registered\r\n"
        "[Media]\r\nItem1=Web\r\nItem2=Bare\r\nItem3=Missing\r\nItem4=Empty\r\nItem5=Full\r\nItem6=Web\r\n"
        "Item7=Mail\r\n"
        "[Net]\r\nItem1=Web\r\nItem2=Web\r\n"
        "[Full]\r\nFile=" + full + "\r\nCaption=フル\r\n"
        "[Bare]\r\nFile=notepad.exe\r\nCaption=Notepad\r\n"
        "[Shortcut]\r\nFile=LmdCatTools.lnk\r\nCaption=Tools\r\n"
        "[Registered]\r\nFile=lmdcatalogue.exe\r\n"
        "[Web]\r\nFile=http://www.example.invalid/a:b\r\nCaption=Web\r\n"
        "[Missing]\r\nFile=C:\\lmd\\missing\\nothing-here.exe\r\nCaption=Missing\r\n"
        "[Empty]\r\nCaption=Empty\r\n"
        "[Mail]\r\nFile=mailto:someone@example.invalid\r\n";
    IconPanel& panel = Load(text);

    EXPECT_EQ(panel.groupCount, 3);
    EXPECT_EQ(panel.maxItems, 7);
    const int counts[] = {4, 7, 2};
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(panel.catalogue[g].count, counts[g]);
        EXPECT_EQ(panel.catalogue[g].items[counts[g]].column, kEndOfGroup);
    }
    EXPECT_STREQ(panel.catalogue[0].name, "ツール");

    struct Case {
        int group;
        int slot;
        std::string target;
        const char* caption;
    };
    const Case cases[] = {
        {0, 0, full, "フル"},
        {0, 1, SystemFile("notepad.exe"), "Notepad"},
        {0, 2, common_ + "\\LmdCatTools.lnk", "Tools"},
        {0, 3, folder_ / "apps\\lmdcatalogue.exe", ""},
        {1, 0, "http://www.example.invalid/a:b", "Web"},
        {1, 2, "C:\\lmd\\missing\\nothing-here.exe", "Missing"},
        {1, 3, "", "Empty"},
        {1, 6, "mailto:someone@example.invalid", ""},
        {2, 1, "http://www.example.invalid/a:b", "Web"},
    };
    for (const Case& c : cases) {
        const LaunchItem& item = panel.catalogue[c.group].items[c.slot];
        EXPECT_EQ(item.column, c.slot);
        EXPECT_TRUE(SamePath(item.target, c.target)) << c.group << "." << c.slot << ": " << item.target;
        EXPECT_STREQ(item.caption, c.caption) << c.group << "." << c.slot;
    }
    // A program's item carries the program's own icon, and a shortcut's item
    // an icon too, even where the shell gives none for the shortcut file.
    EXPECT_NE(panel.catalogue[0].items[1].icon, nullptr);
    EXPECT_NE(panel.catalogue[0].items[2].icon, nullptr);
}

TEST_F(CatalogueFile, EveryItemOfAFullCatalogueGetsItsIcon)
{
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, "lmdcatscheme\\DefaultIcon", nullptr, REG_SZ,
                                  SystemFile("shell32.dll") + ",3"));
    // Icons are extracted on two threads as targets are settled; each item
    // must end with its own kind's icon, none lost or left over.
    const char* kinds[] = {"Shortcut", "Bare", "Scheme", "NoIcon"};
    std::string text = "[LAUNCH]\r\n";
    for (int g = 1; g <= 9; ++g)
        text += "Item" + std::to_string(g) + "=G" + std::to_string(g) + "\r\n";
    for (int g = 1; g <= 9; ++g) {
        text += "[G" + std::to_string(g) + "]\r\n";
        for (int i = 1; i <= 9; ++i)
            text += "Item" + std::to_string(i) + "=" + kinds[((g - 1) * 9 + i - 1) % 4] + "\r\n";
    }
    text += "[Shortcut]\r\nFile=LmdCatTools.lnk\r\n[Bare]\r\nFile=notepad.exe\r\n"
            "[Scheme]\r\nFile=lmdcatscheme://x\r\n[NoIcon]\r\nFile=lmdcatnoicon://x\r\n";
    IconPanel& panel = Load(text);
    DeleteRegistryTree(HKEY_CLASSES_ROOT, "lmdcatscheme");

    ASSERT_EQ(panel.groupCount, 9);
    for (int n = 0; n < 81; ++n) {
        const LaunchItem& item = panel.catalogue[n / 9].items[n % 9];
        EXPECT_EQ(item.icon != nullptr, n % 4 != 3) << n << " " << item.target;
    }
}

TEST_F(CatalogueFile, LongValuesAreCutTo259Characters)
{
    const std::string longCaption(300, 'c');
    const std::string longFile(300, 'f');
    IconPanel& panel = Load("[LAUNCH]\r\nItem1=G\r\n[G]\r\nItem1=I\r\n[I]\r\nFile=" + longFile + "\r\nCaption=" +
                            longCaption + "\r\n");
    ASSERT_EQ(panel.catalogue[0].count, 1);
    EXPECT_EQ(std::string(panel.catalogue[0].items[0].caption), longCaption.substr(0, 259));
    EXPECT_EQ(std::string(panel.catalogue[0].items[0].target), longFile.substr(0, 259));
}

TEST_F(CatalogueFile, MissingOrEmptyCatalogueGivesNoGroups)
{
    const std::string texts[] = {"", "[Other]\r\nItem1=x\r\n", "[LAUNCH]\r\nItem2=G\r\n[G]\r\nItem1=I\r\n"};
    for (const std::string& text : texts) {
        IconPanel& panel = Load(text);
        EXPECT_EQ(panel.groupCount, 0) << text;
        EXPECT_EQ(panel.maxItems, 0) << text;
    }
    theApp.panel = IconPanel{};
    std::snprintf(theApp.cataloguePath, kTextSize, "%s", (folder_ / "NOFILE.INI").c_str());
    LoadCatalogue();
    EXPECT_EQ(theApp.panel.groupCount, 0);
}

TEST_F(CatalogueFile, TwelveItemsAndGapsBetweenKeys)
{
    std::string text = "[LAUNCH]\r\nItem1=Twelve\r\nItem2=Bare\r\nItem4=Never\r\n[Twelve]\r\n";
    for (int i = 1; i <= 12; ++i)
        text += "Item" + std::to_string(i) + "=Web\r\n";
    text += "[Bare]\r\nItem1=Web\r\nItem2=Web\r\nItem4=Web\r\n[Web]\r\nFile=http://x.invalid/\r\n"
            "[Never]\r\nItem1=Web\r\n";
    IconPanel& panel = Load(text);
    EXPECT_EQ(panel.groupCount, 2);
    EXPECT_EQ(panel.maxItems, 9);
    EXPECT_EQ(panel.catalogue[0].count, 9);
    EXPECT_EQ(panel.catalogue[0].items[8].column, 8);
    EXPECT_EQ(panel.catalogue[1].count, 2);
    EXPECT_EQ(panel.catalogue[1].items[2].column, kEndOfGroup);
    EXPECT_EQ(panel.catalogue[2].count, 0);
}

} // namespace
