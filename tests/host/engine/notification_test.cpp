// The extract call as its caller sees it: notifications, answers, handles.
#include "engine_fixture.h"

using namespace enginetest;
using K = CabNotifyKind;

namespace {

CabPlan threeFiles()
{
    CabPlan plan = storedCabinet({{"a.txt", text("alpha")}, {"b.bin", patternBytes(70000, 1)}, {"c.txt", text("gamma")}},
                                 30000);
    plan.files[2].attributes = 0x21 | 0x40;
    return plan;
}

}  // namespace

TEST_F(EngineTest, OneCabinetSendsOpenedBoundaryStartDonePerFileAndFinalBoundary)
{
    addCabinet("one.cab", threeFiles());
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(error.isSet, 0);
    EXPECT_EQ(kindsOf(fake.events), (std::vector<K>{K::CabinetOpened, K::FileListBoundary, K::FileStart, K::FileDone,
                                                      K::FileStart, K::FileDone, K::FileStart, K::FileDone,
                                                      K::FileListBoundary}));
    EXPECT_EQ(fake.events[0].text3, "cabs/");
    EXPECT_EQ(fake.events[0].setId, 0x1234);
    EXPECT_EQ(fake.events[1].folderIndex, 3);
    EXPECT_EQ(fake.events[4].text1, "b.bin");
    EXPECT_EQ(fake.events[4].value, 70000u);
    EXPECT_EQ(fake.events.back().folderIndex, 0);
    EXPECT_EQ(fake.outputs["a.txt"], text("alpha"));
    EXPECT_EQ(fake.outputs["b.bin"], patternBytes(70000, 1));
    EXPECT_EQ(fake.outputs["c.txt"], text("gamma"));
    EXPECT_EQ(leftOpen(), 0);
    // FileDone lifts the execute bit out of the attributes into value.
    const Event &doneA = fake.events[3];
    const Event &doneC = fake.events[7];
    EXPECT_EQ(doneA.value, 0u);
    EXPECT_EQ(doneA.attributes, 0x20);
    EXPECT_EQ(doneC.value, 1u);
    EXPECT_EQ(doneC.attributes, 0x21);
    EXPECT_EQ(doneC.text1, "c.txt");
}

TEST_F(EngineTest, EmptyFileGetsStartAndDoneWithoutAnyWrite)
{
    addCabinet("one.cab", storedCabinet({{"empty", {}}, {"x", text("x")}}));
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(fake.writes, 1);
    EXPECT_TRUE(fake.outputs.at("empty").empty());
}

TEST_F(EngineTest, SkippingEveryFileWritesAndDecodesNothing)
{
    addCabinet("one.cab", threeFiles());
    fake.notifyOverride = [](CabNotifyKind kind, CabNotifyRecord *) { return kind == K::FileStart ? 0 : -2; };
    int allocsBefore = fake.allocs;
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(fake.writes, 0);
    // Entry buffers only: no block buffers were made, so no folder was read.
    EXPECT_EQ(fake.allocs - allocsBefore, 2);
}

// Answer -1 to each kind in turn: the call fails with Aborted and nothing stays open.
TEST_F(EngineTest, MinusOneToAnyNotificationAborts)
{
    CabPlan first = storedCabinet({{"prev", text("")}, {"whole", text("w")}, {"span", patternBytes(40000, 2)}});
    first.files[0].folder = 0xFFFD;
    first.files[0].size = 10;
    first.files[2].folder = 0xFFFE;
    first.hasNext = true;
    first.nextCabinet = "two.cab";
    // Only part of the folder is here, so writing "span" needs the next cabinet.
    first.folders[0].blocks = storedBlocks(patternBytes(20001, 2));
    addCabinet("one.cab", first);
    for (K kind : {K::CabinetOpened, K::ContinuedFile, K::FileStart, K::FileDone, K::NeedCabinet, K::FileListBoundary}) {
        SCOPED_TRACE(static_cast<int>(kind));
        fake.events.clear();
        error = {};
        fake.notifyOverride = [kind](CabNotifyKind k, CabNotifyRecord *) { return k == kind ? -1 : -2; };
        EXPECT_EQ(extract(), 0);
        EXPECT_EQ(error.code, CabErrorCode::Aborted);
        EXPECT_EQ(fake.events.back().kind, kind);
        EXPECT_EQ(leftOpen(), 0);
    }
}

// After a short write the engine closes the output itself; answered 0,
// FileDone leaves the handle with the caller.
TEST_F(EngineTest, FailedOutputIsOutputFailed)
{
    addCabinet("one.cab", threeFiles());
    fake.shortWriteBy = 1;
    expectFailure(CabErrorCode::OutputFailed);
    fake.shortWriteBy = 0;
    fake.notifyOverride = [](CabNotifyKind kind, CabNotifyRecord *) { return kind == K::FileDone ? 0 : -2; };
    EXPECT_EQ(extract(), 0);
    EXPECT_EQ(error.code, CabErrorCode::OutputFailed);
    EXPECT_EQ(leftOpen(), 1);
}

TEST_F(EngineTest, BoundaryAnswersSteerTheFileList)
{
    addCabinet("one.cab", threeFiles());
    // Count 0 at the first boundary: no entry is read.
    fake.notifyOverride = [](CabNotifyKind kind, CabNotifyRecord *r) {
        if (kind == K::FileListBoundary) {
            r->folderIndex = 0;
        }
        return -2;
    };
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(kindsOf(fake.events), (std::vector<K>{K::CabinetOpened, K::FileListBoundary}));

    // Read only the last entry, then come back for the first one at the second boundary.
    fake.events.clear();
    std::uint32_t firstEntry = 0;
    int boundaries = 0;
    fake.notifyOverride = [&](CabNotifyKind kind, CabNotifyRecord *r) {
        if (kind != K::FileListBoundary) {
            return -2;
        }
        if (++boundaries == 1) {
            firstEntry = r->value;
            r->value = firstEntry + 2 * 16 + 6 + 6;  // past "a.txt" and "b.bin"
            r->folderIndex = 1;
        } else if (boundaries == 2) {
            r->value = firstEntry;
            r->folderIndex = 1;
        }
        return 1;
    };
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(startedFiles(fake.events), (std::vector<std::string>{"c.txt", "a.txt"}));
    EXPECT_EQ(fake.outputs["a.txt"], text("alpha"));
}

TEST_F(EngineTest, EngineStaysUsableAfterAFailedCall)
{
    addCabinet("one.cab", threeFiles());
    EXPECT_EQ(extract("missing.cab"), 0);
    EXPECT_EQ(error.code, CabErrorCode::CabinetOpenFailed);
    fake.notifyOverride = [](CabNotifyKind kind, CabNotifyRecord *) { return kind == K::FileDone ? -1 : -2; };
    EXPECT_EQ(extract(), 0);
    fake.notifyOverride = nullptr;
    fake.outputs.clear();
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(fake.outputs["b.bin"], patternBytes(70000, 1));
}

TEST(EngineCreate, FailedAllocationIsOutOfMemoryAndNull)
{
    FakeIo fake;
    io = &fake;
    fake.failAllocAt = 1;
    CabError error{};
    EXPECT_EQ(makeEngine(&error), nullptr);
    EXPECT_EQ(error.code, CabErrorCode::OutOfMemory);
    EXPECT_EQ(error.isSet, 1);
    io = nullptr;
}
