#pragma once

#include "fake_io.h"

#include <gtest/gtest.h>

namespace enginetest {

inline void *const kUser = reinterpret_cast<void *>(static_cast<std::uintptr_t>(0x5EED));

class EngineTest : public ::testing::Test {
protected:
    FakeIo fake;
    CabError error{};
    CabinetEngine *engine = nullptr;

    void SetUp() override
    {
        io = &fake;
        engine = makeEngine(&error);
        ASSERT_NE(engine, nullptr);
    }

    void TearDown() override
    {
        if (engine != nullptr) {
            EXPECT_EQ(CabinetEngine::destroy(engine), 1);
        }
        EXPECT_TRUE(fake.liveBlocks.empty()) << "blocks still allocated after destroy";
        io = nullptr;
    }

    void addCabinet(const std::string &name, const CabPlan &plan) { fake.files["cabs/" + name] = buildCabinet(plan); }

    std::int32_t extract(const char *name = "one.cab", bool withHook = false)
    {
        return CabinetEngine::extract(engine, name, "cabs/", 0, notify, withHook ? hook : nullptr, kUser);
    }

    // Engine handles still open once extract has returned (outputs the caller
    // took back at FileDone are closed by the default handler).
    int leftOpen() const { return fake.openHandleCount(); }

    // A call that fails: the code it ends with, and no handle left open.
    void expectFailure(CabErrorCode code, const char *name = "one.cab")
    {
        error = {};
        EXPECT_EQ(extract(name), 0);
        EXPECT_EQ(error.code, code);
        EXPECT_EQ(leftOpen(), 0);
    }

    // Counts the data blocks the hook is shown (call extract with the hook).
    void countBlocks(std::size_t &count)
    {
        fake.hookOverride = [&count](CabHookRecord *r) {
            count += r->kind == CabHookKind::DataBlock ? 1 : 0;
            return 0;
        };
    }
};

// One stored folder holding the given files back to back.
inline CabPlan storedCabinet(const std::vector<std::pair<std::string, Bytes>> &contents, std::uint32_t blockSize = 32768)
{
    CabPlan plan;
    Bytes stream;
    for (const auto &[name, bytes] : contents) {
        plan.files.push_back(fileAt(name, static_cast<std::uint32_t>(bytes.size()), static_cast<std::uint32_t>(stream.size())));
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    plan.folders.push_back({0, storedBlocks(stream, blockSize), {}});
    return plan;
}

inline Bytes text(const std::string &s)
{
    return Bytes(s.begin(), s.end());
}

inline Bytes slice(const Bytes &b, std::size_t from, std::size_t to)
{
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to));
}

// The names FileStart was sent for, in order.
inline std::vector<std::string> startedFiles(const std::vector<Event> &events)
{
    std::vector<std::string> names;
    for (const Event &e : events) {
        if (e.kind == CabNotifyKind::FileStart) {
            names.push_back(e.text1);
        }
    }
    return names;
}

}  // namespace enginetest
