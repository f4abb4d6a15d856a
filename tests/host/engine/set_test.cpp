// Folders that go on into the next cabinet of a set.
#include "engine_fixture.h"

#include <cstring>
#include <tuple>

using namespace enginetest;
using K = CabNotifyKind;

namespace {

const Bytes kStream = patternBytes(60000, 20);

// "a" and the start of "big" in the first cabinet; the rest of "big" and all of
// "c" in the second, inside the folder continued there: its offsets count from
// the start of the folder, in the first cabinet.
CabPlan firstOfSet()
{
    CabPlan plan;
    plan.hasNext = true;
    plan.nextCabinet = "two.cab";
    plan.nextDisk = "disk 2";
    plan.folders.push_back({0, storedBlocks(slice(kStream, 0, 40000), 20000), {}});
    plan.files = {fileAt("a", 1000, 0), fileAt("big", 55000, 1000, 0xFFFE)};
    return plan;
}

CabPlan secondOfSet()
{
    CabPlan plan;
    plan.index = 1;
    plan.hasPrevious = true;
    plan.previousCabinet = "one.cab";
    plan.previousDisk = "disk 1";
    plan.folders.push_back({0, storedBlocks(slice(kStream, 40000, 60000)), {}});
    plan.files = {fileAt("big", 55000, 1000, 0xFFFD), fileAt("c", 4000, 56000), fileAt("d", 0, 60000)};
    return plan;
}

}  // namespace

TEST_F(EngineTest, SetExtractWritesContinuingFileAndStopsAtFirstFileOfNextCabinet)
{
    addCabinet("one.cab", firstOfSet());
    addCabinet("two.cab", secondOfSet());
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(kindsOf(fake.events), (std::vector<K>{K::CabinetOpened, K::FileListBoundary, K::FileStart, K::FileDone,
                                                      K::FileStart, K::NeedCabinet, K::CabinetOpened, K::FileDone,
                                                      K::FileListBoundary}));
    EXPECT_EQ(fake.events[0].text1, "two.cab");
    EXPECT_EQ(fake.events[0].text2, "disk 2");
    const Event &need = fake.events[5];
    EXPECT_EQ(need.text1, "two.cab");
    EXPECT_EQ(need.text2, "disk 2");
    EXPECT_EQ(need.text3, "cabs/");
    EXPECT_EQ(need.setId, 0x1234);
    EXPECT_EQ(need.cabinetIndex, 1);
    EXPECT_EQ(need.error, CabErrorCode::None);
    EXPECT_EQ(fake.events[6].cabinetIndex, 1);
    EXPECT_EQ(fake.events[7].text1, "big");
    EXPECT_EQ(fake.events[7].folderIndex, 0xFFFE);
    EXPECT_EQ(fake.outputs["a"], slice(kStream, 0, 1000));
    EXPECT_EQ(fake.outputs["big"], slice(kStream, 1000, 56000));
    EXPECT_EQ(fake.outputs.count("c"), 0u);
    EXPECT_EQ(leftOpen(), 0);
    // The pass ended at "c", the first file that begins in two.cab: nothing after
    // it was read.
    const Bytes &two = fake.files["cabs/two.cab"];
    const std::uint32_t listAt = two[16] | two[17] << 8 | two[18] << 16 | static_cast<std::uint32_t>(two[19]) << 24;
    EXPECT_EQ(fake.events.back().value, listAt + (16 + 4) + (16 + 2));

    // The caller then extracts the last cabinet for the files that begin there.
    fake.events.clear();
    ASSERT_EQ(extract("two.cab"), 1);
    EXPECT_EQ(kindsOf(fake.events), (std::vector<K>{K::CabinetOpened, K::FileListBoundary, K::ContinuedFile,
                                                      K::FileStart, K::FileDone, K::FileStart, K::FileDone,
                                                      K::FileListBoundary}));
    EXPECT_EQ(fake.events[2].text1, "big");
    EXPECT_EQ(fake.events[2].text2, "one.cab");
    EXPECT_EQ(fake.events[2].text3, "disk 1");
    EXPECT_EQ(fake.events[2].value, 55000u);
    EXPECT_EQ(fake.outputs["c"], slice(kStream, 56000, 60000));
}

// Answers other than -1 to the kinds that carry no handle all mean "go on".
TEST_F(EngineTest, ZeroAndOtherAnswersGoOnAlike)
{
    addCabinet("one.cab", firstOfSet());
    addCabinet("two.cab", secondOfSet());
    for (std::int32_t answer : {0, 7}) {
        SCOPED_TRACE(answer);
        fake.outputs.clear();
        fake.notifyOverride = [answer](CabNotifyKind kind, CabNotifyRecord *) {
            return kind == K::FileStart || kind == K::FileDone ? -2 : answer;
        };
        ASSERT_EQ(extract(), 1);
        ASSERT_EQ(extract("two.cab"), 1);
        EXPECT_EQ(fake.outputs["big"], slice(kStream, 1000, 56000));
        EXPECT_EQ(fake.outputs["c"], slice(kStream, 56000, 60000));
    }
}

TEST_F(EngineTest, SplitBlockIsJoinedAcrossCabinets)
{
    Bytes stream = patternBytes(2 * 32768 + 5000, 21);
    std::vector<BlockPlan> blocks = mszipBlocks(stream);
    ASSERT_EQ(blocks.size(), 3u);
    std::size_t half = blocks[1].data.size() / 2;
    BlockPlan firstPiece{slice(blocks[1].data, 0, half), 0, true, {}};
    BlockPlan secondPiece{slice(blocks[1].data, half, blocks[1].data.size()), 32768, true, {}};

    CabPlan one;
    one.hasNext = true;
    one.nextCabinet = "two.cab";
    one.folders.push_back({1, {blocks[0], firstPiece}, {}});
    one.files = {fileAt("all", static_cast<std::uint32_t>(stream.size()), 0, 0xFFFE)};
    CabPlan two;
    two.index = 1;
    two.folders.push_back({1, {secondPiece, blocks[2]}, {}});
    two.files = {fileAt("all", static_cast<std::uint32_t>(stream.size()), 0, 0xFFFD)};
    addCabinet("one.cab", one);
    addCabinet("two.cab", two);

    // The hook sees each piece as it is read: whether split, what came before
    // it, and what the block holds so far.
    using Piece = std::tuple<std::int32_t, std::size_t, std::size_t>;
    std::vector<Piece> pieces;
    fake.hookOverride = [&](CabHookRecord *r) {
        if (r->kind == CabHookKind::DataBlock) {
            pieces.emplace_back(r->isSplit, r->partialSize, r->dataSize);
        }
        return 0;
    };
    ASSERT_EQ(extract("one.cab", true), 1);
    EXPECT_EQ(fake.outputs["all"], stream);
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(std::get<0>(pieces[0]), 0);
    EXPECT_EQ(pieces[1], Piece(1, 0, half));
    EXPECT_EQ(pieces[2], Piece(1, half, blocks[1].data.size()));
    EXPECT_EQ(std::get<0>(pieces[3]), 0);
}

// In the first cabinet "s" is skipped and "t" written into the second; there,
// in the continuation pass, "v" (continued both ways) is skipped and "w"
// written into the third. Each switch steps over the skipped file and the
// written one.
TEST_F(EngineTest, SkippedContinuingFilesAreSteppedOverInTheNextCabinet)
{
    CabPlan one;
    one.hasNext = true;
    one.nextCabinet = "two.cab";
    one.folders.push_back({0, storedBlocks(slice(kStream, 0, 40000)), {}});
    one.files = {fileAt("s", 20000, 30000, 0xFFFE), fileAt("t", 15000, 35000, 0xFFFE)};
    CabPlan two;
    two.index = 1;
    two.hasNext = true;
    two.nextCabinet = "three.cab";
    two.folders.push_back({0, storedBlocks(slice(kStream, 40000, 50000)), {}});
    two.files = {fileAt("s", 20000, 30000, 0xFFFD), fileAt("t", 15000, 35000, 0xFFFD),
                 fileAt("v", 12000, 42000, 0xFFFF), fileAt("w", 13000, 45000, 0xFFFF)};
    CabPlan three;
    three.index = 2;
    three.folders.push_back({0, storedBlocks(slice(kStream, 50000, 60000)), {}});
    three.files = {fileAt("v", 12000, 42000, 0xFFFD), fileAt("w", 13000, 45000, 0xFFFD), fileAt("u", 10, 10000)};
    addCabinet("one.cab", one);
    addCabinet("two.cab", two);
    addCabinet("three.cab", three);
    fake.notifyOverride = [](CabNotifyKind kind, CabNotifyRecord *r) {
        const bool skipped = std::strcmp(r->text1, "s") == 0 || std::strcmp(r->text1, "v") == 0;
        return kind == K::FileStart && skipped ? 0 : -2;
    };
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(startedFiles(fake.events), (std::vector<std::string>{"s", "t", "v", "w"}));
    EXPECT_EQ(fake.outputs["t"], slice(kStream, 35000, 50000));
    EXPECT_EQ(fake.outputs["w"], slice(kStream, 45000, 58000));
}

// Whatever makes the next cabinet unusable, NeedCabinet comes again with the
// reason, for as long as the caller keeps answering.
TEST_F(EngineTest, NeedCabinetRepeatsWithTheFailureUntilTheCallerGivesUp)
{
    auto second = [](auto edit) {
        CabPlan plan = secondOfSet();
        edit(plan);
        return buildCabinet(plan);
    };
    Bytes notCabinet = second([](CabPlan &) {});
    notCabinet[0] = 'X';
    struct Case {
        const char *name;
        bool present;
        Bytes bytes;
        CabErrorCode code;
    } cases[] = {
        {"missing", false, {}, CabErrorCode::CabinetOpenFailed},
        {"not a cabinet", true, notCabinet, CabErrorCode::NotCabinetFile},
        {"other set", true, second([](CabPlan &s) { s.setId = 0x4321; }), CabErrorCode::CabinetMismatch},
        {"wrong index", true, second([](CabPlan &s) { s.index = 2; }), CabErrorCode::CabinetMismatch},
        {"other folder reserve", true, second([](CabPlan &s) { s.reserveFlag = true; s.folderReserve = 4; s.folders[0].reserve = Bytes(4); }),
         CabErrorCode::ReserveMismatch},
        {"unsupported folder", true, second([](CabPlan &s) { s.folders[0].type = 9; }),
         CabErrorCode::UnsupportedCompression},
    };
    addCabinet("one.cab", firstOfSet());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fake.files.erase("cabs/two.cab");
        if (c.present) {
            fake.files["cabs/two.cab"] = c.bytes;
        }
        fake.events.clear();
        error = {};
        std::vector<CabErrorCode> reasons;
        fake.notifyOverride = [&reasons](CabNotifyKind kind, CabNotifyRecord *r) {
            if (kind != K::NeedCabinet) {
                return -2;
            }
            reasons.push_back(r->error);
            return reasons.size() < 3 ? 1 : -1;
        };
        EXPECT_EQ(extract(), 0);
        EXPECT_EQ(error.code, CabErrorCode::Aborted);
        EXPECT_EQ(reasons, (std::vector<CabErrorCode>{CabErrorCode::None, c.code, c.code}));
        EXPECT_EQ(leftOpen(), 0);
    }
}

TEST_F(EngineTest, NeedCabinetAnswerMayPointAtAnotherFolder)
{
    addCabinet("one.cab", firstOfSet());
    fake.files["elsewhere/two.cab"] = buildCabinet(secondOfSet());
    fake.notifyOverride = [](CabNotifyKind kind, CabNotifyRecord *r) {
        if (kind == K::NeedCabinet) {
            std::strcpy(r->text3, "elsewhere/");
        }
        return -2;
    };
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(fake.outputs["big"], slice(kStream, 1000, 56000));
}

TEST_F(EngineTest, FailedCloseWhileSwitchingIsDamage)
{
    addCabinet("one.cab", firstOfSet());
    addCabinet("two.cab", secondOfSet());
    fake.failCloseAt = 1;
    expectFailure(CabErrorCode::CabinetDamaged);
}

// A file listed in the next cabinet as begun earlier, but lying before the block
// now held, needs the folder's start, which is in an earlier cabinet.
TEST_F(EngineTest, ContinuedEntryBeforeTheHeldBlockIsDamage)
{
    addCabinet("one.cab", firstOfSet());
    for (std::uint16_t folder : {0xFFFD, 0xFFFF}) {
        SCOPED_TRACE(folder);
        CabPlan two = secondOfSet();
        two.files.insert(two.files.begin() + 1, fileAt("back", 3000, 2000, folder));
        addCabinet("two.cab", two);
        expectFailure(CabErrorCode::CabinetDamaged);
    }
}

// Reserve sizes bind the cabinets of one set (see NeedCabinetRepeats...), not
// the cabinets of separate calls on one engine.
TEST_F(EngineTest, EachExtractCallLearnsReserveSizesAfresh)
{
    CabPlan plain = storedCabinet({{"f", text("x")}});
    CabPlan folderReserve = plain;
    folderReserve.reserveFlag = true;
    folderReserve.folderReserve = 2;
    folderReserve.folders[0].reserve = Bytes(2);
    CabPlan cabinetReserve = plain;
    cabinetReserve.reserveFlag = true;
    cabinetReserve.cabinetReserve = Bytes(8);
    cabinetReserve.blockReserve = 3;
    cabinetReserve.folders[0].blocks[0].reserve = Bytes(3);
    addCabinet("plain.cab", plain);
    addCabinet("folder.cab", folderReserve);
    addCabinet("cabinet.cab", cabinetReserve);
    for (const char *name : {"plain.cab", "folder.cab", "cabinet.cab", "plain.cab", "cabinet.cab"}) {
        SCOPED_TRACE(name);
        fake.outputs.clear();
        EXPECT_EQ(extract(name), 1);
        EXPECT_EQ(fake.outputs["f"], text("x"));
    }
    EXPECT_EQ(error.isSet, 0);
    EXPECT_EQ(leftOpen(), 0);
}
