#include <gtest/gtest.h>

#include <cstdint>

#include "switches.h"

namespace {

struct SwitchCase {
    const char* commandLine;
    std::uint32_t mask;
    bool skinOne;
};

TEST(ParseSwitches, ReadsOnlyWholeBlankSeparatedSwitches)
{
    const SwitchCase cases[] = {
        {"", 0, false}, {"/1", 1, false}, {"/2", 2, false}, {"/3", 4, false}, {"/1 /3", 5, false},
        {"/3 /1 /2", 7, false}, {"/F", 0, true}, {"  /2   /F  ", 2, true}, {"/F /2", 2, true}, {nullptr, 0, false},
        // A switch counts only when its letter ends the token.
        {"/f", 0, false}, {"/1x", 0, false}, {"/12", 0, false}, {"-1", 0, false}, {"abc", 0, false},
        {"/1\t", 0, false}, {"\t/1", 0, false}, {"/f /1x /12 -1 abc", 0, false},
        // Tokens that do not start with a slash are skipped whole, slashes in them included.
        {"abc/1 /2", 2, false}, {"/", 0, false}, {"/ 1", 0, false}, {"/4 /9 /0", 0, false}, {"/2/3", 0, false},
    };
    for (const SwitchCase& c : cases) {
        const char* shown = c.commandLine == nullptr ? "(none)" : c.commandLine;
        const Switches s = ParseSwitches(c.commandLine);
        EXPECT_EQ(s.groupMask, c.mask) << "command line \"" << shown << "\"";
        EXPECT_EQ(s.skinOne, c.skinOne) << "command line \"" << shown << "\"";
    }
}

TEST(FirstStartGroup, LowestSwitchGivenWins)
{
    const int cases[][2] = {{0, -1}, {1, 0}, {2, 1}, {4, 2}, {6, 1}, {7, 0}};  // mask, group
    for (const auto& c : cases)
        EXPECT_EQ(FirstStartGroup(static_cast<std::uint32_t>(c[0])), c[1]) << c[0];
}

} // namespace
