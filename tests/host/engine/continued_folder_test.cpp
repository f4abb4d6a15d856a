// Sets laid out as other writers make them: one folder runs on from cabinet to
// cabinet, and further files begin inside it in the later cabinets (folder
// index 0 there), their offsets counting from the start of the whole folder.
// The cabinets are put together here byte by byte, with data from the
// project's encoders (zlib for MSZIP), not by the writer.
#include "engine_fixture.h"

#include "writer/encoder.h"

#include <cstring>
#include <set>

using namespace enginetest;
using K = CabNotifyKind;

namespace {

struct Method {
    const char *name;
    std::uint16_t type;
};
const Method kMethods[] = {{"stored", 0x0000}, {"mszip", 0x0001}, {"quantum", 0x1002}, {"lzx", 0x1003}};

std::vector<BlockPlan> encodeFolder(std::uint16_t type, const Bytes &stream)
{
    std::string why;
    std::unique_ptr<cabwriter::BlockEncoder> encoder;
    switch (type & 0x0F) {
    case 0: return storedBlocks(stream);
    case 1: return mszipBlocks(stream);
    case 2: encoder = cabwriter::makeQuantumEncoder(type >> 8 & 0x1F, why); break;
    default: {
        cabwriter::LzxSettings settings;
        settings.windowBits = type >> 8 & 0x1F;
        encoder = cabwriter::makeLzxEncoder(settings, why);
    }
    }
    EXPECT_TRUE(encoder) << why;
    std::vector<cabwriter::EncodedBlock> ready;
    for (std::size_t at = 0; encoder && at < stream.size(); at += 32768) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(32768, stream.size() - at));
        EXPECT_TRUE(encoder->queueBlock(stream.data() + at, n, ready, why)) << why;
    }
    EXPECT_TRUE(encoder && encoder->flush(ready, why)) << why;
    std::vector<BlockPlan> blocks;
    for (cabwriter::EncodedBlock &b : ready) {
        blocks.push_back({std::move(b.data), static_cast<std::uint16_t>(b.uncompressed), true, {}});
    }
    return blocks;
}

struct SetFile {
    std::string name;
    std::uint32_t offset, size;
};

// Where cabinet k+1 begins: at data block `block` of the folder, whose bytes are
// split between the two cabinets when `split` is set (its uncompressed bytes
// then count to the later cabinet, where the block is completed).
struct Edge {
    std::size_t block;
    bool split;
};

struct SetLayout {
    std::size_t streamSize;
    std::vector<Edge> edges;
    std::vector<SetFile> files;
    bool reserves = false;
};

std::string cabName(std::size_t k)
{
    return "s" + std::to_string(k + 1) + ".cab";
}

// The cabinets of a layout, with a small stored folder holding "tail" after the
// continued folder in the last cabinet.
struct BuiltSet {
    Bytes stream;
    Bytes tail;
    std::vector<SetFile> files;
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> beginIn;  // files that begin in each cabinet
    std::size_t pieces = 0;                          // data-block pieces in the whole set

    Bytes expected(const std::string &name) const
    {
        if (name == "tail") {
            return tail;
        }
        for (const SetFile &f : files) {
            if (f.name == name) {
                return Bytes(stream.begin() + f.offset, stream.begin() + f.offset + f.size);
            }
        }
        return {};
    }
};

BuiltSet buildSet(FakeIo &fake, std::uint16_t type, const SetLayout &layout)
{
    BuiltSet set;
    set.stream = patternBytes(layout.streamSize, type + 7u);
    set.tail = patternBytes(3000, 99);
    set.files = layout.files;
    const std::vector<BlockPlan> blocks = encodeFolder(type, set.stream);
    const std::size_t cabinets = layout.edges.size() + 1;

    // Uncompressed start of each cabinet's part and the blocks it holds.
    std::vector<std::uint32_t> from{0};
    std::vector<std::vector<BlockPlan>> held(cabinets);
    std::size_t b = 0;
    for (std::size_t k = 0; k < cabinets; ++k) {
        const std::size_t end = k < layout.edges.size() ? layout.edges[k].block : blocks.size();
        if (k > 0 && layout.edges[k - 1].split) {
            const BlockPlan &whole = blocks[b];
            const std::size_t half = whole.data.size() / 2;
            held[k - 1].push_back({Bytes(whole.data.begin(), whole.data.begin() + half), 0, true, {}});
            held[k].push_back({Bytes(whole.data.begin() + half, whole.data.end()), whole.uncompressed, true, {}});
            ++b;
        }
        for (; b < end; ++b) {
            held[k].push_back(blocks[b]);
        }
        if (k + 1 < cabinets) {
            std::uint32_t at = 0;
            for (std::size_t i = 0; i < layout.edges[k].block; ++i) {
                at += blocks[i].uncompressed;
            }
            from.push_back(at);
        }
    }
    from.push_back(0xFFFFFFFF);

    for (std::size_t k = 0; k < cabinets; ++k) {
        CabPlan plan;
        plan.index = static_cast<std::uint16_t>(k);
        plan.hasPrevious = k > 0;
        plan.previousCabinet = k > 0 ? cabName(k - 1) : "";
        plan.previousDisk = "disk";
        plan.hasNext = k + 1 < cabinets;
        plan.nextCabinet = cabName(k + 1);
        plan.nextDisk = "disk";
        if (layout.reserves) {
            plan.reserveFlag = true;
            plan.cabinetReserve = Bytes(6, static_cast<std::uint8_t>(0xC0 + k));
            plan.folderReserve = 3;
            plan.blockReserve = 5;
            for (BlockPlan &p : held[k]) {
                p.reserve = Bytes(5, 0xBB);
            }
        }
        plan.folders.push_back({type, held[k], layout.reserves ? Bytes(3, 0xAA) : Bytes()});
        set.pieces += held[k].size();
        set.beginIn.emplace_back();
        std::vector<FilePlan> begun;
        for (const SetFile &f : layout.files) {
            const bool before = f.offset < from[k];
            const bool after = f.offset + f.size > from[k + 1];
            const bool begins = !before && f.offset < from[k + 1];
            const bool reaches = before && f.offset + f.size > from[k];
            std::uint16_t folder = 0;
            if (reaches) {
                folder = after ? 0xFFFF : 0xFFFD;
            } else if (begins) {
                folder = after ? 0xFFFE : 0;
                set.beginIn[k].push_back(f.name);
            } else {
                continue;
            }
            (reaches ? plan.files : begun).push_back(fileAt(f.name, f.size, f.offset, folder));
        }
        plan.files.insert(plan.files.end(), begun.begin(), begun.end());
        if (k + 1 == cabinets) {
            FolderPlan tail{0, storedBlocks(set.tail), layout.reserves ? Bytes(3, 0xAA) : Bytes()};
            for (BlockPlan &p : tail.blocks) {
                p.reserve = layout.reserves ? Bytes(5, 0xBB) : Bytes();
            }
            set.pieces += tail.blocks.size();
            plan.folders.push_back(tail);
            plan.files.push_back(fileAt("tail", static_cast<std::uint32_t>(set.tail.size()), 0, 1));
            set.beginIn[k].push_back("tail");
        }
        set.names.push_back(cabName(k));
        fake.files["cabs/" + cabName(k)] = buildCabinet(plan);
    }
    return set;
}

struct NamedLayout {
    const char *name;
    SetLayout layout;
};

// Folders of 32768-byte blocks: block i holds bytes 32768 i to 32768 (i + 1).
const NamedLayout kLayouts[] = {
    {"two cabinets, a file across the edge",
     {90000, {{1, false}}, {{"a", 0, 5000}, {"b", 5000, 35000}, {"c", 40000, 7000}, {"d", 47000, 43000}}}},
    {"two cabinets, split block, reserves",
     {90000, {{2, true}}, {{"a", 0, 60000}, {"b", 60000, 10000}, {"empty", 70000, 0}, {"c", 70000, 20000}}, true}},
    {"two cabinets, a file ends at the edge",
     {90000, {{1, false}}, {{"a", 0, 32768}, {"c", 32768, 10000}, {"d", 42768, 47232}}}},
    {"three cabinets, files begin in each, one ends at the second edge",
     {130000,
      {{1, true}, {2, false}},
      {{"a", 0, 10000}, {"b", 10000, 30000}, {"c", 40000, 10000}, {"e", 50000, 15536}, {"f", 65536, 4464},
       {"g", 70000, 60000}}}},
    {"three cabinets, one file across both edges",
     {130000, {{1, false}, {3, true}}, {{"a", 0, 20000}, {"h", 20000, 90000}, {"i", 110000, 20000}}, true}},
};

class ContinuedFolderTest : public EngineTest {
protected:
    std::set<std::string> skip;

    // Walks the set the way a caller does: extract on the first cabinet, then
    // on the cabinet the last call ended in, or else on the next one named.
    void walkSet(const BuiltSet &set)
    {
        std::size_t at = 0;
        std::set<std::size_t> called;
        while (called.insert(at).second) {
            fake.events.clear();
            ASSERT_EQ(extract(set.names[at].c_str(), true), 1) << set.names[at] << " code "
                                                               << static_cast<int>(error.code);
            std::size_t last = at;
            for (const Event &e : fake.events) {
                if (e.kind == K::CabinetOpened) {
                    last = e.cabinetIndex;
                }
            }
            at = last != at ? last : at + 1;
            if (at == set.names.size()) {
                return;
            }
        }
        FAIL() << "the walk came back to " << set.names[at];
    }

    void SetUp() override
    {
        EngineTest::SetUp();
        fake.notifyOverride = [this](CabNotifyKind kind, CabNotifyRecord *r) {
            return kind == K::FileStart && skip.count(r->text1) != 0 ? 0 : -2;
        };
    }
};

TEST_F(ContinuedFolderTest, WalkFromTheFirstCabinetDecodesEachFolderOnceAndByteExact)
{
    for (const Method &method : kMethods) {
        for (const NamedLayout &l : kLayouts) {
            SCOPED_TRACE(std::string(method.name) + ", " + l.name);
            fake.files.clear();
            fake.outputs.clear();
            BuiltSet set = buildSet(fake, method.type, l.layout);
            std::size_t pieces = 0;
            countBlocks(pieces);
            walkSet(set);
            EXPECT_EQ(error.isSet, 0);
            for (const SetFile &f : set.files) {
                EXPECT_EQ(fake.outputs[f.name], set.expected(f.name)) << f.name;
            }
            EXPECT_EQ(fake.outputs["tail"], set.tail);
            EXPECT_EQ(pieces, set.pieces) << "a block was read more than once, or not at all";
            EXPECT_EQ(leftOpen(), 0);
        }
    }
}

// The files that begin inside a continued folder need the earlier cabinets;
// without them each fails on its own, no byte written, and the caller still
// gets the rest by calling again past it.
TEST_F(ContinuedFolderTest, LaterCabinetAloneRefusesFilesOfTheContinuedFolder)
{
    for (const Method &method : kMethods) {
        for (const NamedLayout &l : kLayouts) {
            const BuiltSet set = buildSet(fake, method.type, l.layout);
            for (std::size_t k = 1; k < set.names.size(); ++k) {
                for (bool afterUnrelated : {false, true}) {
                    SCOPED_TRACE(std::string(method.name) + ", " + l.name + ", " + set.names[k] +
                                 (afterUnrelated ? " after another cabinet" : ""));
                    CabinetEngine::destroy(engine);
                    engine = makeEngine(&error);
                    if (afterUnrelated) {
                        // The first cabinet leaves its folder held for the second.
                        addCabinet("other.cab", storedCabinet({{"x", patternBytes(40000, 3)}}));
                        ASSERT_EQ(extract(set.names[0].c_str()), 1);
                        ASSERT_EQ(extract("other.cab"), 1);
                    }
                    skip.clear();
                    fake.outputs.clear();
                    std::vector<std::string> refused;
                    int calls = 0;
                    while (++calls < 20) {
                        fake.events.clear();
                        error = {};
                        if (extract(set.names[k].c_str()) == 1) {
                            break;
                        }
                        ASSERT_EQ(error.code, CabErrorCode::PreviousCabinetNeeded);
                        std::string started;
                        for (const Event &e : fake.events) {
                            started = e.kind == K::FileStart ? e.text1 : started;
                        }
                        refused.push_back(started);
                        skip.insert(started);
                        EXPECT_TRUE(fake.outputs[started].empty()) << started << " got bytes";
                        ASSERT_EQ(leftOpen(), 0);
                    }
                    // All that begin here but the tail's own folder and empty files.
                    std::vector<std::string> expectedRefused;
                    for (const std::string &name : set.beginIn[k]) {
                        if (name != "tail" && !set.expected(name).empty()) {
                            expectedRefused.push_back(name);
                        }
                    }
                    EXPECT_EQ(refused, expectedRefused);
                    if (k + 1 == set.names.size()) {
                        EXPECT_EQ(fake.outputs["tail"], set.tail);
                    }
                }
            }
        }
    }
}

// A cabinet offered for the next one whose folder 0 cannot continue the folder
// (another method, or a window the decoder in force does not have) is one failed
// try: the decoder stays, and the right cabinet offered next goes on with it.
TEST_F(ContinuedFolderTest, WrongCabinetOfferedFirstLeavesTheDecoderForTheRightOne)
{
    const SetLayout &layout = kLayouts[0].layout;
    for (const Method &method : kMethods) {
        // Another method, another window, windows the decoders refuse.
        for (std::uint16_t wrongType : {0x0000, 0x0001, 0x1102, 0x1603, 0x1F02}) {
            if (wrongType == method.type) {
                continue;
            }
            SCOPED_TRACE(std::string(method.name) + " offered type " + std::to_string(wrongType));
            fake.files.clear();
            fake.outputs.clear();
            const BuiltSet set = buildSet(fake, method.type, layout);
            // The second cabinet with another type in its folder entry, which
            // follows the header and the previous cabinet's two names.
            Bytes wrong = fake.files["cabs/s2.cab"];
            const std::size_t typeAt = 36 + std::strlen("s1.cab") + 1 + std::strlen("disk") + 1 + 6;
            ASSERT_EQ(wrong[typeAt] | wrong[typeAt + 1] << 8, method.type);
            wrong[typeAt] = static_cast<std::uint8_t>(wrongType);
            wrong[typeAt + 1] = static_cast<std::uint8_t>(wrongType >> 8);
            fake.files["cabs/wrong.cab"] = wrong;
            std::vector<CabErrorCode> reasons;
            fake.notifyOverride = [&reasons](CabNotifyKind kind, CabNotifyRecord *r) {
                if (kind == K::NeedCabinet) {
                    reasons.push_back(r->error);
                    std::strcpy(r->text1, reasons.size() == 1 ? "wrong.cab" : "s2.cab");
                }
                return -2;
            };
            ASSERT_EQ(extract("s1.cab"), 1);
            EXPECT_EQ(reasons, (std::vector<CabErrorCode>{CabErrorCode::None, CabErrorCode::CabinetMismatch}));
            fake.notifyOverride = nullptr;
            ASSERT_EQ(extract("s2.cab"), 1);
            for (const SetFile &f : set.files) {
                EXPECT_EQ(fake.outputs[f.name], set.expected(f.name)) << f.name;
            }
            EXPECT_EQ(leftOpen(), 0);
        }
    }
}

}  // namespace
