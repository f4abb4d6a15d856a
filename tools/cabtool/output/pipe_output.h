// extract -p: the selected files' bytes, one file after another in list
// order, on standard output, and nothing else there.
//
// The walk may have the engine produce a cabinet's files in folder order (see
// list_order.h); a file produced before its turn is kept in a scratch file
// until the walk ends and then written out in its place, so that each folder
// is still decoded once.
#pragma once

#include "reading/engine_io.h"
#include "reading/set_walk.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace cabtool {

class PipeHandler final : public WalkHandler, public ByteSink {
public:
    PipeHandler();
    ~PipeHandler() override;
    PipeHandler(const PipeHandler &) = delete;
    PipeHandler &operator=(const PipeHandler &) = delete;

    std::int32_t fileStart(const CabNotifyRecord &record) override;
    bool fileDone(const CabNotifyRecord &record) override;
    void fileFailed(const std::string &name) override;
    bool take(const void *bytes, std::uint32_t count) override;

    // Writes out what was kept back; false (reported) when standard output
    // or the scratch file failed.
    bool finish();

private:
    struct Kept {
        int entry;
        std::uint64_t start;
        std::uint64_t size;
        bool complete;
    };
    std::FILE *spool_ = nullptr;
    std::uint64_t spoolEnd_ = 0;
    std::vector<Kept> kept_;
    bool keeping_ = false;  // the file in progress goes to the spool
    bool failed_ = false;
};

}  // namespace cabtool
