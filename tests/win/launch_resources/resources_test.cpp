// The launcher's resources as the program finds them: read from the built
// launch.exe, which lies in the build folder's launch/ beside this test's tests/.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

class LauncherResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string exe(path);
        exe = exe.substr(0, exe.find_last_of('\\'));
        exe = exe.substr(0, exe.find_last_of('\\')) + "\\launch\\launch.exe";
        module_ = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        exePath_ = exe;
    }
    static void TearDownTestSuite()
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "build the launch target first: " << exePath_; }

    struct Bitmap {
        int width = 0;
        int height = 0;
        int bits = 0;
        const BITMAPINFOHEADER* header = nullptr;

        // Top-down pixel as 0xRRGGBB (24-bit) or 0/1 (1-bit).
        std::uint32_t Pixel(int x, int y) const
        {
            const auto* base = reinterpret_cast<const std::uint8_t*>(header) + header->biSize;
            if (bits == 1) {
                base += 2 * sizeof(RGBQUAD);
                const int stride = ((width + 31) / 32) * 4;
                const std::uint8_t* row = base + (height - 1 - y) * stride;
                return (row[x / 8] >> (7 - x % 8)) & 1u;
            }
            const int stride = (width * 3 + 3) & ~3;
            const std::uint8_t* p = base + (height - 1 - y) * stride + x * 3;
            return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
        }
    };

    static Bitmap Find(int id)
    {
        Bitmap result;
        HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2) /* RT_BITMAP */);
        if (found == nullptr)
            return result;
        HGLOBAL loaded = LoadResource(module_, found);
        result.header = static_cast<const BITMAPINFOHEADER*>(LockResource(loaded));
        if (result.header == nullptr)
            return result;
        result.width = result.header->biWidth;
        result.height = result.header->biHeight;
        result.bits = result.header->biBitCount;
        return result;
    }

    static HMODULE module_;
    static std::string exePath_;
};

HMODULE LauncherResources::module_ = nullptr;
std::string LauncherResources::exePath_;

int Red(std::uint32_t c) { return static_cast<int>((c >> 16) & 0xFF); }
int Green(std::uint32_t c) { return static_cast<int>((c >> 8) & 0xFF); }
int Blue(std::uint32_t c) { return static_cast<int>(c & 0xFF); }

TEST_F(LauncherResources, StringOneIsTheFrameClassName)
{
    char text[32] = {};
    ASSERT_GT(LoadStringA(module_, 1, text, sizeof text), 0);
    EXPECT_STREQ(text, "OrvelLauncherBaseWin");
}

TEST_F(LauncherResources, IconGroup155Exists)
{
    EXPECT_NE(FindResourceA(module_, MAKEINTRESOURCEA(155), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */), nullptr);
}

TEST_F(LauncherResources, AcceleratorTableHoldsTheThirtyFiveKeysInOrder)
{
    struct Entry {
        BYTE modifiers;
        WORD key;
        WORD command;
    };
    std::vector<Entry> expected;
    const BYTE none = 0;
    expected.push_back({none, 0x30, 40031});
    for (WORD i = 0; i < 9; ++i)
        expected.push_back({none, static_cast<WORD>(0x31 + i), static_cast<WORD>(40004 + i)});
    const Entry middle[] = {
        {none, VK_DOWN, 40025},       {none, VK_F1, 40002},         {FCONTROL, VK_F17, 40004},
        {FALT, VK_F17, 40012},        {FCONTROL, VK_F18, 40005},    {FCONTROL, VK_F19, 40006},
        {FCONTROL, VK_F20, 40007},    {FCONTROL, VK_F21, 40008},    {FCONTROL, VK_F22, 40009},
        {FALT, VK_F22, 40022},        {FCONTROL, VK_F23, 40010},    {FALT, VK_F23, 40023},
        {FCONTROL, VK_F24, 40011},    {none, VK_NEXT, 40023},
    };
    for (const Entry& e : middle)
        expected.push_back(e);
    for (WORD i = 0; i < 9; ++i)
        expected.push_back({none, static_cast<WORD>(VK_NUMPAD1 + i), static_cast<WORD>(40004 + i)});
    expected.push_back({none, VK_PRIOR, 40022});
    expected.push_back({none, VK_UP, 40024});
    ASSERT_EQ(expected.size(), 35u);

    HACCEL table = LoadAcceleratorsA(module_, MAKEINTRESOURCEA(145));
    ASSERT_NE(table, nullptr);
    ACCEL entries[64] = {};
    const int count = CopyAcceleratorTableA(table, entries, 64);
    DestroyAcceleratorTable(table);
    ASSERT_EQ(count, 35);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(entries[i].fVirt, FVIRTKEY | FNOINVERT | expected[i].modifiers) << "entry " << i;
        EXPECT_EQ(entries[i].key, expected[i].key) << "entry " << i;
        EXPECT_EQ(entries[i].cmd, expected[i].command) << "entry " << i;
    }
}

TEST_F(LauncherResources, BitmapsOfBothSkinsHaveTheirSizesAndFormats)
{
    struct Shape {
        int base, width, height, bits;
    } const shapes[] = {
        {20101, 174, 18, 24}, {20102, 174, 18, 24}, {20103, 16, 13, 24}, {20104, 16, 13, 24},
        {20105, 16, 13, 24},  {20106, 16, 13, 24},  {20107, 16, 13, 24}, {20108, 16, 13, 24},
        {20109, 16, 13, 24},  {20110, 16, 13, 24},  {20111, 48, 48, 24}, {20112, 48, 48, 24},
        {20113, 48, 48, 24},  {20114, 48, 48, 1},   {20115, 10, 30, 24},
    };
    for (int skin = 0; skin <= 1; ++skin) {
        for (const Shape& s : shapes) {
            const int id = s.base + skin * 100;
            const Bitmap b = Find(id);
            ASSERT_NE(b.header, nullptr) << id;
            EXPECT_EQ(b.width, s.width) << id;
            EXPECT_EQ(b.height, s.height) << id;
            EXPECT_EQ(b.bits, s.bits) << id;
            EXPECT_EQ(b.header->biCompression, static_cast<DWORD>(BI_RGB)) << id;
        }
    }
}

TEST_F(LauncherResources, CellMasksAreFullyOpaque)
{
    for (int id : {20114, 20214}) {
        const Bitmap mask = Find(id);
        ASSERT_EQ(mask.bits, 1) << id;
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x)
                ASSERT_EQ(mask.Pixel(x, y), 1u) << id << " at " << x << "," << y;
        }
    }
}

TEST_F(LauncherResources, StretchedPartOfTheTitleBarIsTheSameInEveryColumn)
{
    // The frame stretches bitmap columns 27 to 93; a pattern there would smear.
    for (int id : {20101, 20102, 20201, 20202}) {
        const Bitmap bar = Find(id);
        ASSERT_EQ(bar.width, 174) << id;
        for (int y = 0; y < bar.height; ++y) {
            for (int x = 28; x < 94; ++x)
                ASSERT_EQ(bar.Pixel(x, y), bar.Pixel(27, y)) << id << " at " << x << "," << y;
        }
    }
}

TEST_F(LauncherResources, LooksCanBeToldApart)
{
    for (int skin = 0; skin <= 1; ++skin) {
        const int offset = skin * 100;
        // Title bar: active and inactive differ in the stretched middle.
        EXPECT_NE(Find(20101 + offset).Pixel(50, 9), Find(20102 + offset).Pixel(50, 9)) << skin;
        // Buttons: the pressed look differs from the normal one.
        for (int base : {20103, 20105, 20107, 20109}) {
            const Bitmap normal = Find(base + offset);
            const Bitmap pressed = Find(base + 1 + offset);
            int differing = 0;
            for (int y = 0; y < 13; ++y) {
                for (int x = 0; x < 16; ++x)
                    differing += normal.Pixel(x, y) != pressed.Pixel(x, y) ? 1 : 0;
            }
            EXPECT_GT(differing, 16 * 13 / 2) << base + offset;
        }
        // Cells: the three looks differ in the band around the icon.
        const std::set<std::uint32_t> looks = {Find(20111 + offset).Pixel(3, 24), Find(20112 + offset).Pixel(3, 24),
                                               Find(20113 + offset).Pixel(3, 24)};
        EXPECT_EQ(looks.size(), 3u) << skin;
    }
}

TEST_F(LauncherResources, SkinColoursMatchTheirDescription)
{
    const std::uint32_t normal0 = Find(20111).Pixel(24, 4);
    const std::uint32_t pressed0 = Find(20112).Pixel(24, 4);
    const std::uint32_t hover0 = Find(20113).Pixel(24, 4);
    const std::uint32_t tile0 = Find(20115).Pixel(0, 0);
    EXPECT_GT(Blue(normal0), Red(normal0)) << "skin 0 normal cell is blue-grey";
    EXPECT_TRUE(Red(pressed0) > 200 && Green(pressed0) > 200 && Blue(pressed0) < Green(pressed0))
        << "skin 0 pressed cell is pale yellow";
    EXPECT_TRUE(Red(hover0) > 200 && Green(hover0) < Red(hover0) && Blue(hover0) < Green(hover0))
        << "skin 0 hover cell is orange";
    EXPECT_TRUE(Blue(tile0) > Red(tile0) && Red(tile0) + Green(tile0) + Blue(tile0) < 300) << "skin 0 tile is dark blue";
    std::set<std::uint32_t> tile0Colours;
    std::set<std::uint32_t> tile1Colours;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 10; ++x) {
            tile0Colours.insert(Find(20115).Pixel(x, y));
            tile1Colours.insert(Find(20215).Pixel(x, y));
        }
    }
    EXPECT_EQ(tile0Colours.size(), 1u) << "skin 0 tile is plain";
    EXPECT_GE(tile1Colours.size(), 2u) << "skin 1 tile is striped";
    for (std::uint32_t c : tile1Colours)
        EXPECT_GT(Red(c) + Green(c) + Blue(c), 600) << "skin 1 tile is light";

    const std::uint32_t normal1 = Find(20211).Pixel(24, 4);
    const std::uint32_t pressed1 = Find(20212).Pixel(24, 4);
    const std::uint32_t hover1 = Find(20213).Pixel(24, 4);
    EXPECT_TRUE(Red(normal1) > 200 && Green(normal1) > 200 && Blue(normal1) < Green(normal1))
        << "skin 1 normal cell is pale yellow";
    EXPECT_TRUE(Red(pressed1) > 240 && Green(pressed1) > 240 && Blue(pressed1) > 230) << "skin 1 pressed cell is near white";
    EXPECT_TRUE(Red(hover1) > 240 && Green(hover1) < Red(hover1) && Blue(hover1) < Green(hover1))
        << "skin 1 hover cell is light peach";
}

} // namespace
