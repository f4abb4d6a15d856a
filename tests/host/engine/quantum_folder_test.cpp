// Quantum folders through the engine: a folder of several blocks, and how the
// decoder's refusals come out as engine errors.
#include "engine_fixture.h"
#include "support/quantum_frames.h"

using namespace enginetest;

namespace {

// Two blocks, the second reaching back into the first.
FolderPlan quantumFolder(unsigned windowBits, Bytes &stream)
{
    testsupport::TestEncoder encoder(windowBits);
    FolderPlan folder;
    folder.type = static_cast<std::uint16_t>(windowBits << 8 | 2);
    const Bytes pattern = patternBytes(600, 4);
    while (stream.size() < 40000) {
        const std::size_t start = stream.size() / 32768 * 32768;
        const std::size_t room = start + 32768 - stream.size();
        if (stream.size() < 600) {
            encoder.literal(pattern[stream.size()]);
            stream.push_back(pattern[stream.size()]);
        } else {
            const std::uint32_t length = room < 200 ? static_cast<std::uint32_t>(room < 3 ? 0 : room) : 200;
            if (length == 0) {
                encoder.literal(stream[stream.size() - 600]);
                stream.push_back(stream[stream.size() - 600]);
            } else {
                encoder.match(length, 600);
                for (std::uint32_t i = 0; i < length; ++i) {
                    stream.push_back(stream[stream.size() - 600]);
                }
            }
        }
        if (stream.size() % 32768 == 0 || stream.size() >= 40000) {
            const auto size = static_cast<std::uint16_t>(stream.size() - start);
            folder.blocks.push_back(BlockPlan{encoder.finish(), size, true, {}});
        }
    }
    return folder;
}

TEST_F(EngineTest, QuantumFolderOfSeveralBlocksIsExtracted)
{
    for (unsigned bits : {10u, 21u}) {
        SCOPED_TRACE(bits);
        Bytes stream;
        CabPlan plan;
        plan.folders.push_back(quantumFolder(bits, stream));
        plan.files = {fileAt("q", static_cast<std::uint32_t>(stream.size()), 0)};
        addCabinet("one.cab", plan);
        fake.outputs.clear();
        ASSERT_EQ(extract(), 1);
        EXPECT_EQ(fake.outputs["q"], stream);
    }
}

// The updater's open callback cannot make the scratch file "*", so a window that
// does not fit in memory ends the folder for want of memory.
TEST_F(EngineTest, QuantumDecoderRefusalsBecomeEngineErrors)
{
    struct Case {
        const char *name;
        std::uint16_t type;
        std::uint32_t failAllocAbove;
        CabErrorCode code;
    };
    const Case cases[] = {
        {"window exponent 9", 0x0902, 0xFFFFFFFF, CabErrorCode::DecodeFailed},
        {"window refused, no scratch file", 0x1502, 1u << 20, CabErrorCode::OutOfMemory},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CabPlan plan = storedCabinet({{"f", patternBytes(100, 9)}});
        plan.folders[0].type = c.type;
        addCabinet("one.cab", plan);
        fake.failAllocAbove = c.failAllocAbove;
        error = {};
        EXPECT_EQ(extract(), 0);
        EXPECT_EQ(error.code, c.code);
        EXPECT_EQ(leftOpen(), 0);
    }
}

}  // namespace
