// Quantum folders through the engine: a folder of several blocks (the
// decoder's refusals are among the folder faults of reader_test).
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

}  // namespace
