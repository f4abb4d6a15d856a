// Sets whose folder runs on from cabinet to cabinet with files beginning
// inside it in the later cabinets (see continued_set.h), walked and taken
// apart through the engine.
#include "continued_set.h"
#include "engine_fixture.h"

#include <algorithm>
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

BuiltSet buildSet(FakeIo &fake, std::uint16_t type, const SetLayout &layout)
{
    BuiltSet set;
    std::string why;
    EXPECT_TRUE(buildContinuedSet(type, layout, set, why)) << why;
    for (std::size_t k = 0; k < set.names.size(); ++k) {
        fake.files["cabs/" + set.names[k]] = set.cabinets[k];
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
