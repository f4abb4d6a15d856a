// Faults found by driving the engine with generated input, kept as tests.
#include "engine_fixture.h"

#include <cstring>

using namespace enginetest;

// The first piece of a split block waits in the compressed-block buffer while
// the next cabinet is opened. A cabinet whose folder names another compression
// type must not take that buffer (and the decoder) away: it is a failed try,
// and the right cabinet offered after it still completes the block.
TEST_F(EngineTest, SplitBlockSurvivesANextCabinetOfAnotherType)
{
    const Bytes stream = patternBytes(3000, 31);
    struct Case {
        const char *name;
        std::uint16_t secondType;
        bool failedTryFirst;  // first offered: a cabinet whose folder names a window LZX refuses
    };
    const Case cases[] = {
        {"same type carries the piece over", 0x0000, false},
        {"other type word", 0x0100, false},
        {"other method", 0x0001, false},
        {"refused type offered first", 0x0000, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CabPlan one;
        one.hasNext = true;
        one.nextCabinet = "two.cab";
        one.folders.push_back({0, {BlockPlan{slice(stream, 0, 1000), 0, true, {}}}, {}});
        one.files = {fileAt("all", 3000, 0, 0xFFFE)};
        CabPlan two;
        two.index = 1;
        two.folders.push_back({c.secondType, {BlockPlan{slice(stream, 1000, 3000), 3000, true, {}}}, {}});
        two.files = {fileAt("all", 3000, 0, 0xFFFD)};
        CabPlan bad = two;
        bad.folders[0].type = 0x0003;
        addCabinet("one.cab", one);
        addCabinet("two.cab", two);
        addCabinet("bad.cab", bad);
        fake.outputs.clear();
        error = CabError{};

        int asked = 0;
        fake.notifyOverride = [&](CabNotifyKind kind, CabNotifyRecord *r) -> std::int32_t {
            if (kind != CabNotifyKind::NeedCabinet) {
                return -2;
            }
            if (++asked > 3) {
                return -1;
            }
            std::strcpy(r->text1, c.failedTryFirst && asked == 1 ? "bad.cab" : "two.cab");
            return 0;
        };
        const std::int32_t result = extract();
        if (c.secondType == 0x0000) {
            ASSERT_EQ(result, 1);
            EXPECT_EQ(fake.outputs["all"], stream);
        } else {
            // Every offer of the other type is refused until the caller gives up.
            EXPECT_EQ(result, 0);
            EXPECT_EQ(error.code, CabErrorCode::Aborted);
            EXPECT_EQ(asked, 4);
            EXPECT_TRUE(fake.outputs["all"].empty());
        }
        EXPECT_EQ(leftOpen(), 0);
    }
}
