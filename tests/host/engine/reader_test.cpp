// Reading one cabinet: checksums, reserves and the hook, names, folders and
// blocks, and the failures each of them can raise.
#include "engine_fixture.h"

#include "checksum.h"

#include <cstring>
#include <tuple>

using namespace enginetest;
using K = CabNotifyKind;

namespace {

std::uint32_t checksumOf(const std::string &s, std::uint32_t seed)
{
    return cabinetChecksum(reinterpret_cast<const std::uint8_t *>(s.data()), static_cast<std::uint32_t>(s.size()), seed);
}

struct HookCall {
    CabHookKind kind;
    Bytes reserve;
    std::uint16_t reserveSize;
    std::uint32_t a, b, c, d;  // the kind's own fields, in declaration order

    bool operator==(const HookCall &o) const
    {
        return std::tie(kind, reserve, reserveSize, a, b, c, d) ==
               std::tie(o.kind, o.reserve, o.reserveSize, o.a, o.b, o.c, o.d);
    }
};

std::vector<HookCall> *hookCalls = nullptr;

std::int32_t recordingHook(CabHookRecord *r)
{
    HookCall call{r->kind, {}, r->reserveSize, 0, 0, 0, 0};
    if (r->reserve != nullptr) {
        call.reserve.assign(r->reserve, r->reserve + r->reserveSize);
    }
    switch (r->kind) {
    case CabHookKind::CabinetReserve:
        call.a = r->setId;
        call.b = r->cabinetIndex;
        break;
    case CabHookKind::FolderReserve:
        call.a = r->folderIndex;
        break;
    case CabHookKind::DataBlock:
        call.a = r->data[0];
        call.b = r->dataSize;
        call.c = static_cast<std::uint32_t>(r->isSplit);
        call.d = r->partialSize;
        break;
    }
    hookCalls->push_back(call);
    return hook(r);
}

}  // namespace

TEST(Checksum, FoldsWordsLittleEndianAndTheTailBigEndian)
{
    struct Case {
        const char *bytes;
        std::uint32_t seed, expected;
    } cases[] = {
        {"", 0x12345678, 0x12345678}, {"a", 0, 0x61},        {"ab", 0, 0x6162},
        {"abc", 0, 0x00616263},       {"abcd", 0, 0x64636261}, {"abcdefg", 0, 0x64636261 ^ 0x00656667},
        {"abc", 0xFF000000, 0xFF616263},
        {"abcdefghijk", 0, 0x64636261 ^ 0x68676665 ^ 0x00696A6B},
        {"abcdefghijkl", 7, 7 ^ 0x64636261 ^ 0x68676665 ^ 0x6C6B6A69},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(checksumOf(c.bytes, c.seed), c.expected) << '"' << c.bytes << '"';
    }

    // Longer runs, folded in wide pieces, against one word at a time: every
    // length up to past three pieces, so each tail meets each start.
    std::string bytes;
    std::uint32_t state = 1;
    for (int i = 0; i < 100; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(state >> 16));
    }
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        std::uint32_t expected = 0x9E3779B9;
        std::size_t i = 0;
        for (; i + 4 <= length; i += 4) {
            expected ^= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) |
                        static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1])) << 8 |
                        static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 2])) << 16 |
                        static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 3])) << 24;
        }
        std::uint32_t tail = 0;
        for (; i < length; ++i) {
            tail = tail << 8 | static_cast<std::uint8_t>(bytes[i]);
        }
        EXPECT_EQ(checksumOf(bytes.substr(0, length), 0x9E3779B9), expected ^ tail) << length << " bytes";
    }
}

TEST_F(EngineTest, BlockChecksumsAreVerifiedUnlessStoredAsZero)
{
    // Blocks of 1 to 7 bytes give every tail length.
    Bytes stream = patternBytes(28, 3);
    CabPlan plan = storedCabinet({{"f", stream}});
    plan.reserveFlag = true;
    plan.blockReserve = 2;
    plan.folders[0].blocks.clear();
    for (std::size_t at = 0, n = 1; at < stream.size(); at += n, ++n) {
        plan.folders[0].blocks.push_back(
            {Bytes(stream.begin() + at, stream.begin() + at + n), static_cast<std::uint16_t>(n), true, {0xA5, 0x5A}});
    }
    plan.folders[0].blocks[2].checksum = false;
    std::vector<std::size_t> blockAt;
    Bytes good = buildCabinet(plan, &blockAt);
    fake.files["cabs/one.cab"] = good;
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(fake.outputs["f"], stream);

    // One bit off in the stored sum, the block reserve, or the last data byte.
    for (int where = 0; where < 3; ++where) {
        for (std::size_t block = 0; block < blockAt.size(); ++block) {
            if (block == 2) {
                continue;
            }
            Bytes bad = good;
            const std::size_t offset[] = {0, 8, 10 + block};
            bad[blockAt[block] + offset[where]] ^= 0x10;
            fake.files["cabs/one.cab"] = bad;
            SCOPED_TRACE(testing::Message() << "block " << block << " at " << offset[where]);
            expectFailure(CabErrorCode::CabinetDamaged);
        }
    }
}

// A set reserve flag with all sizes zero reads like no reserves at all.
TEST_F(EngineTest, ReserveHookSeesEveryReserveAndMayEditBlockData)
{
    CabPlan plan = storedCabinet({{"f", text("hello world")}});
    plan.reserveFlag = true;
    plan.index = 3;
    plan.cabinetReserve = text("CABRES");
    plan.folderReserve = 3;
    plan.blockReserve = 2;
    plan.folders[0].reserve = {1, 2, 3};
    plan.folders[0].blocks[0].reserve = {7, 8};
    addCabinet("one.cab", plan);
    std::vector<HookCall> calls;
    hookCalls = &calls;
    fake.hookOverride = [](CabHookRecord *r) {
        if (r->kind == CabHookKind::DataBlock) {
            r->data[0] = 'J';
        }
        return 0;
    };
    ASSERT_EQ(CabinetEngine::extract(engine, "one.cab", "cabs/", 0, notify, recordingHook, kUser), 1);
    EXPECT_EQ(calls, (std::vector<HookCall>{{CabHookKind::CabinetReserve, text("CABRES"), 6, 0x1234, 3, 0, 0},
                                           {CabHookKind::FolderReserve, {1, 2, 3}, 3, 0, 0, 0, 0},
                                           {CabHookKind::DataBlock, {7, 8}, 2, 'h', 11, 0, 0}}));
    EXPECT_EQ(fake.outputs["f"], text("Jello world"));

    // The hook's -1 aborts.
    fake.hookOverride = [](CabHookRecord *r) { return r->kind == CabHookKind::FolderReserve ? -1 : 0; };
    EXPECT_EQ(extract("one.cab", true), 0);
    EXPECT_EQ(error.code, CabErrorCode::Aborted);
    EXPECT_EQ(leftOpen(), 0);

    CabPlan zero = storedCabinet({{"f", text("plain")}});
    zero.reserveFlag = true;
    addCabinet("one.cab", zero);
    calls.clear();
    fake.outputs.clear();
    fake.hookOverride = nullptr;
    ASSERT_EQ(CabinetEngine::extract(engine, "one.cab", "cabs/", 0, notify, recordingHook, kUser), 1);
    EXPECT_EQ(fake.outputs["f"], text("plain"));
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].reserveSize, 0);
    EXPECT_TRUE(calls[0].reserve.empty());
    hookCalls = nullptr;
}

TEST_F(EngineTest, NamesHoldAtMost255Characters)
{
    std::string longest(255, 'n');
    addCabinet("one.cab", storedCabinet({{longest, text("ok")}}));
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(fake.outputs[longest], text("ok"));

    addCabinet("one.cab", storedCabinet({{longest + "n", text("no")}}));
    expectFailure(CabErrorCode::CabinetDamaged);

    // A name cut off by the end of the file: the bytes after it in the engine's
    // buffer are an earlier name's and must not be taken for this one's.
    CabPlan plan = storedCabinet({{"x", {}}});
    plan.folders[0].blocks.clear();
    Bytes cut = buildCabinet(plan);
    cut.pop_back();
    fake.files["cabs/one.cab"] = cut;
    expectFailure(CabErrorCode::CabinetDamaged);
}

TEST_F(EngineTest, FilesOutOfFolderOrderStillGetTheirBytes)
{
    Bytes a = patternBytes(50000, 4), b = patternBytes(30000, 5), c = patternBytes(20, 6);
    CabPlan plan = storedCabinet({{"a", a}, {"b", b}}, 20000);
    plan.folders.push_back({0, storedBlocks(c), {}});
    plan.files.push_back(fileAt("c", 20, 0, 1));
    std::reverse(plan.files.begin(), plan.files.end());  // c (other folder), b, a
    std::swap(plan.files[0], plan.files[1]);             // b, c, a
    addCabinet("one.cab", plan);
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(fake.outputs["a"], a);
    EXPECT_EQ(fake.outputs["b"], b);
    EXPECT_EQ(fake.outputs["c"], c);
}

TEST_F(EngineTest, BlocksAreReadOnlyAsFarAsTheFilesNeed)
{
    // Two small files in the first block and one in the third of four.
    Bytes stream = patternBytes(4 * 1000, 7);
    CabPlan plan;
    plan.folders.push_back({0, storedBlocks(stream, 1000), {}});
    plan.files = {fileAt("a", 10, 0), fileAt("b", 10, 10), fileAt("c", 5, 2500)};
    addCabinet("one.cab", plan);
    std::size_t blocks = 0;
    countBlocks(blocks);
    ASSERT_EQ(extract("one.cab", true), 1);
    EXPECT_EQ(blocks, 3u);
    EXPECT_EQ(fake.outputs["b"], Bytes(stream.begin() + 10, stream.begin() + 20));
    EXPECT_EQ(fake.outputs["c"], Bytes(stream.begin() + 2500, stream.begin() + 2505));
}

TEST_F(EngineTest, MszipFolderDecodesAcrossBlocks)
{
    Bytes stream = patternBytes(3 * 32768 - 700, 8);
    CabPlan plan;
    plan.folders.push_back({1, mszipBlocks(stream), {}});
    plan.files = {fileAt("tail", 40000, static_cast<std::uint32_t>(stream.size() - 40000)), fileAt("head", 100, 0),
                  fileAt("all", static_cast<std::uint32_t>(stream.size()), 0)};
    addCabinet("one.cab", plan);
    ASSERT_EQ(extract(), 1);
    EXPECT_EQ(fake.outputs["tail"], Bytes(stream.end() - 40000, stream.end()));
    EXPECT_EQ(fake.outputs["head"], Bytes(stream.begin(), stream.begin() + 100));
    EXPECT_EQ(fake.outputs["all"], stream);
}

// Damaged or unsupported folders and blocks, one cabinet each. A Quantum window
// that does not fit in memory ends the folder for want of memory: the
// updater's open callback cannot make the scratch file "*".
TEST_F(EngineTest, FolderAndBlockFaultsEndTheCallWithTheirCode)
{
    auto cabinet = [](auto edit) {
        CabPlan plan = storedCabinet({{"f", patternBytes(100, 9)}});
        edit(plan);
        return plan;
    };
    struct Case {
        const char *name;
        CabPlan plan;
        CabErrorCode code;
        std::uint32_t failAllocAbove = 0xFFFFFFFF;
    };
    std::vector<Case> cases = {
        // A real second folder lies where the header's count says the table ends.
        {"folder index past the table",
         cabinet([](CabPlan &s) {
             s.folders.push_back(s.folders[0]);
             s.folderCountOverride = 1;
             s.files[0].folder = 1;
         }),
         CabErrorCode::CabinetDamaged},
        {"continuing file with no folders", cabinet([](CabPlan &s) { s.files[0].folder = 0xFFFE; s.folderCountOverride = 0; }),
         CabErrorCode::CabinetDamaged},
        {"offset plus size past 32 bits", cabinet([](CabPlan &s) { s.files[0].offset = 0xFFFFFFF0u; s.files[0].size = 0x20; }),
         CabErrorCode::CabinetDamaged},
        {"data runs out, no next cabinet", cabinet([](CabPlan &s) { s.files[0].size = 101; }),
         CabErrorCode::CabinetDamaged},
        {"block larger than the buffer",
         cabinet([](CabPlan &s) { s.folders[0].blocks = {{Bytes(32769, 1), 32768, true, {}}}; s.files[0].size = 10; }),
         CabErrorCode::CabinetDamaged},
        {"stored sizes differ", cabinet([](CabPlan &s) { s.folders[0].blocks[0].uncompressed = 99; }),
         CabErrorCode::DecodeFailed},
        {"block claims more than 32768 bytes",
         cabinet([](CabPlan &s) { s.folders[0].type = 1; s.folders[0].blocks[0].uncompressed = 40000; }),
         CabErrorCode::DecodeFailed},
        {"MSZIP block without its signature", cabinet([](CabPlan &s) { s.folders[0].type = 1; }),
         CabErrorCode::DecodeFailed},
        {"Quantum window 2^22", cabinet([](CabPlan &s) { s.folders[0].type = 0x1602; }), CabErrorCode::DecodeFailed},
        {"Quantum window 2^9", cabinet([](CabPlan &s) { s.folders[0].type = 0x0902; }), CabErrorCode::DecodeFailed},
        {"Quantum window refused, no scratch file", cabinet([](CabPlan &s) { s.folders[0].type = 0x1502; }),
         CabErrorCode::OutOfMemory, 1u << 20},
        {"LZX folder holding bytes that are not LZX data",
         cabinet([](CabPlan &s) { s.folders[0].type = 0x1003; }), CabErrorCode::DecodeFailed},
    };
    for (std::uint16_t method = 4; method <= 15; ++method) {
        cases.push_back({"method 4..15", cabinet([method](CabPlan &s) { s.folders[0].type = method; }),
                         CabErrorCode::UnsupportedCompression});
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        addCabinet("one.cab", c.plan);
        fake.failAllocAbove = c.failAllocAbove;
        expectFailure(c.code);
    }
    // A fault leaves the engine able to read a sound cabinet.
    fake.failAllocAbove = 0xFFFFFFFF;
    addCabinet("one.cab", storedCabinet({{"f", text("fine")}}));
    EXPECT_EQ(extract(), 1);
}

TEST_F(EngineTest, TruncatedCabinetIsDamagedWhereverItEnds)
{
    CabPlan plan = storedCabinet({{"a", patternBytes(3000, 10)}, {"b", text("bee")}}, 1000);
    Bytes whole = buildCabinet(plan);
    for (std::size_t size = 37; size < whole.size(); size += 7) {
        fake.files["cabs/one.cab"] = Bytes(whole.begin(), whole.begin() + size);
        error = {};
        EXPECT_EQ(extract(), 0) << size;
        EXPECT_TRUE(error.code == CabErrorCode::CabinetDamaged || error.code == CabErrorCode::NotCabinetFile) << size;
        EXPECT_EQ(leftOpen(), 0);
    }
}

// Failing each allocation in turn: OutOfMemory, nothing leaked, then success.
TEST_F(EngineTest, EveryFailedAllocationIsOutOfMemory)
{
    CabPlan plan = storedCabinet({{"s", text("stored")}});
    plan.reserveFlag = true;
    plan.cabinetReserve = text("R");
    plan.folders.push_back({1, mszipBlocks(patternBytes(40000, 11)), {}});
    plan.files.push_back(fileAt("m", 40000, 0, 1));
    addCabinet("one.cab", plan);
    CabinetEngine::destroy(engine);
    engine = nullptr;
    for (int n = 2;; ++n) {
        fake.allocs = 0;
        fake.failAllocAt = n;
        error = {};
        engine = makeEngine(&error);
        ASSERT_NE(engine, nullptr);
        std::int32_t result = extract();
        CabinetEngine::destroy(engine);
        engine = nullptr;
        EXPECT_TRUE(fake.liveBlocks.empty()) << n;
        EXPECT_EQ(leftOpen(), 0);
        if (result == 1) {
            EXPECT_GT(n, 5);
            break;
        }
        EXPECT_EQ(error.code, CabErrorCode::OutOfMemory) << n;
        ASSERT_LT(n, 50);
    }
}

// Damage anywhere in a cabinet may fail the call but never reaches outside a
// buffer (the sanitizer build watches), hangs, or leaves a handle or block behind.
TEST_F(EngineTest, ArbitraryByteDamageFailsCleanly)
{
    CabPlan plan = storedCabinet({{"s", patternBytes(3000, 30)}}, 1000);
    plan.reserveFlag = true;
    plan.cabinetReserve = text("RR");
    plan.folderReserve = 1;
    plan.blockReserve = 1;
    plan.folders[0].reserve = {9};
    for (BlockPlan &b : plan.folders[0].blocks) {
        b.reserve = {7};
    }
    plan.folders.push_back({1, mszipBlocks(patternBytes(33000, 31)), {9}});
    for (BlockPlan &b : plan.folders[1].blocks) {
        b.reserve = {7};
    }
    plan.files.push_back(fileAt("m", 33000, 0, 1));
    plan.files.push_back(fileAt("back", 500, 100, 0));
    plan.hasNext = true;
    plan.nextCabinet = "one.cab";  // a damaged folder may ask for more data: offer the same file again
    const Bytes good = buildCabinet(plan);
    fake.notifyOverride = [](CabNotifyKind kind, CabNotifyRecord *r) {
        return kind == K::NeedCabinet && r->error != CabErrorCode::None ? -1 : -2;
    };
    std::uint32_t x = 12345;
    for (int round = 0; round < 1500; ++round) {
        Bytes bad = good;
        for (int hits = 0; hits < 1 + round % 3; ++hits) {
            x = x * 1103515245u + 12345u;
            std::size_t at = (x >> 8) % (round % 2 == 0 ? 120 : bad.size());  // the structures, or anywhere
            bad[at] = static_cast<std::uint8_t>(x >> 24);
        }
        fake.files["cabs/one.cab"] = bad;
        std::int32_t result = extract("one.cab", true);
        EXPECT_TRUE(result == 0 || result == 1);
        ASSERT_EQ(leftOpen(), 0) << "round " << round;
    }
}
