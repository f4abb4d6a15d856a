#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>

// The programs' texts are compiled from UTF-8 sources into Shift-JIS and shown
// through the ANSI APIs, so the test prefix must run with code page 932.
TEST(Platform, AnsiCodePageIsShiftJis)
{
    EXPECT_EQ(GetACP(), 932u);
}

TEST(Platform, LiteralsAreCompiledToShiftJis)
{
    const char text[] = "表示切替";
    const unsigned char expected[] = {0x95, 0x5C, 0x8E, 0xA6, 0x90, 0xD8, 0x91, 0xD6};
    ASSERT_EQ(sizeof text, sizeof expected + 1);
    EXPECT_EQ(0, std::memcmp(text, expected, sizeof expected));
}

TEST(Platform, ShiftJisRoundTripsThroughTheAnsiCodePage)
{
    const char text[] = "OrvelAVランチャー";
    wchar_t wide[64] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64), 0);
    EXPECT_EQ(0, std::wcscmp(wide, L"OrvelAVランチャー"));
}
