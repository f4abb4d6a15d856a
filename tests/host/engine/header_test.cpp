// Probe and the header checks of extract.
#include "engine_fixture.h"

#include <cstring>

using namespace enginetest;

namespace {

std::int32_t probeBytes(CabinetEngine *engine, const Bytes &bytes, CabinetSummary *summary)
{
    io->files["probe"] = bytes;
    std::int32_t handle = io->openInput("probe");
    return CabinetEngine::probe(engine, handle, summary);
}

}  // namespace

TEST_F(EngineTest, ProbeReportsTheHeaderFields)
{
    CabPlan plan = storedCabinet({{"a", text("abc")}, {"b", text("d")}});
    plan.setId = 0xBEEF;
    plan.index = 2;
    plan.hasPrevious = plan.hasNext = plan.reserveFlag = true;
    plan.previousCabinet = "p.cab";
    plan.nextCabinet = "n.cab";
    Bytes bytes = buildCabinet(plan);
    CabinetSummary summary{};
    ASSERT_EQ(probeBytes(engine, bytes, &summary), 1);
    EXPECT_EQ(summary.totalSize, bytes.size());
    EXPECT_EQ(summary.folderCount, 1);
    EXPECT_EQ(summary.fileCount, 2);
    EXPECT_EQ(summary.setId, static_cast<std::int16_t>(0xBEEF));
    EXPECT_EQ(summary.cabinetIndex, 2);
    EXPECT_EQ(summary.hasReserve, 1);
    EXPECT_EQ(summary.hasPrevious, 1);
    EXPECT_EQ(summary.hasNext, 2);
    EXPECT_EQ(io->handles.back().position, 36u) << "probe reads the header and does not seek";
    EXPECT_EQ(error.isSet, 0);
}

// The same damaged headers, through probe (which refuses quietly except for the
// version) and through extract.
TEST_F(EngineTest, DamagedHeadersAreRefusedByProbeAndExtract)
{
    Bytes good = buildCabinet(storedCabinet({{"a", text("abc")}}));
    Bytes shortHeader(good.begin(), good.begin() + 35);
    Bytes badSignature = good;
    badSignature[3] = 'G';
    Bytes oldVersion = good;
    oldVersion[24] = 0x02;
    struct Case {
        const char *name;
        Bytes bytes;
        CabErrorCode code;
        std::int32_t detail;
        bool probeSetsError;
    } cases[] = {
        {"short", shortHeader, CabErrorCode::NotCabinetFile, 0, false},
        {"signature", badSignature, CabErrorCode::NotCabinetFile, 0, false},
        {"version", oldVersion, CabErrorCode::UnsupportedVersion, 0x0102, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        error = {};
        CabinetSummary summary{};
        EXPECT_EQ(probeBytes(engine, c.bytes, &summary), 0);
        EXPECT_EQ(error.isSet, c.probeSetsError ? 1 : 0);
        if (c.probeSetsError) {
            EXPECT_EQ(error.code, c.code);
            EXPECT_EQ(error.detail, c.detail);
        }
        io->handles.back().open = false;

        fake.files["cabs/one.cab"] = c.bytes;
        expectFailure(c.code);
        EXPECT_EQ(error.detail, c.detail);
    }
}

TEST_F(EngineTest, PathsTooLongForTheBuffersAreRefusedBeforeAnyOpen)
{
    // The path holds at most 256 characters, path and name together 257.
    std::string fits = "cabs/" + std::string(244, 'd') + "/";
    std::string oneTooMany = "cabs/" + std::string(245, 'd') + "/";
    fake.files[fits + "one.cab"] = buildCabinet(storedCabinet({{"a", text("abc")}}));
    ASSERT_EQ(fits.size() + 7, 257u);

    EXPECT_EQ(CabinetEngine::extract(engine, "one.cab", oneTooMany.c_str(), 0, notify, nullptr, nullptr), 0);
    EXPECT_EQ(error.code, CabErrorCode::CabinetOpenFailed);
    EXPECT_EQ(CabinetEngine::extract(engine, "one.cab", std::string(257, 'p').c_str(), 0, notify, nullptr, nullptr), 0);
    EXPECT_EQ(fake.opens, 0);

    EXPECT_EQ(CabinetEngine::extract(engine, "one.cab", fits.c_str(), 0, notify, nullptr, nullptr), 1);
    EXPECT_EQ(fake.outputs["a"], text("abc"));
}
