// cabtool test FILE.cab: decodes every file of the set and writes nothing.
#include "cabtool.h"
#include "embedded.h"
#include "engine_io.h"
#include "names.h"
#include "progress.h"
#include "salvage.h"
#include "set_size.h"
#include "set_walk.h"

#include <cstdio>

namespace cabtool {

namespace {

class TestHandler final : public WalkHandler {
public:
    std::int32_t fileStart(const CabNotifyRecord &) override { return kDiscardHandle; }
    bool fileDone(const CabNotifyRecord &record) override
    {
        if (!quiet()) {
            emitLine(stdout, "ok  " + shownName(record.text1, record.attributes));
        }
        return true;
    }
};

}  // namespace

int runTest(const Args &given)
{
    Args args = given;
    std::optional<SalvageFill> salvage;
    if (!takeSalvageOption(args, salvage)) {
        return kExitUsage;
    }
    if (const int status = checkOneCabinet(args); status != kExitOk) {
        return status;
    }
    if (salvage) {
        return salvageEach(args[0], nullptr, *salvage);
    }
    TestHandler handler;
    WalkOutcome outcome;
    bool walked = false;
    const bool ok = forEachCabinet(args[0], true, [&](const CabinetPlace &) {
        walked = true;
        startProgress(filesSizeOfSet(args[0], true));
        const WalkOutcome one = walkCabinets(args[0], handler, true);
        finishProgress();
        outcome.files += one.files;
        outcome.failures += one.failures;
        return one.failures == 0;
    });
    if (walked) {
        std::printf("%d file(s) good, %d failure(s)\n", outcome.files, outcome.failures);
    }
    return ok && outcome.failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace cabtool
