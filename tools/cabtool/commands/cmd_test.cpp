// cabtool test [--hash] [-F PATTERN]... FILE.cab: decodes every file of the
// set (or those selected) and writes nothing.
#include "commands/cabtool.h"
#include "reading/decode_stats.h"
#include "reading/embedded.h"
#include "reading/engine_io.h"
#include "names/name_filter.h"
#include "names/names.h"
#include "output/progress.h"
#include "salvage/salvage.h"
#include "reading/set_size.h"
#include "reading/set_walk.h"
#include "output/sha256.h"

#include <cstdio>

namespace cabtool {

namespace {

// With --hash, every decoded byte also goes through SHA-256.
class HashSink final : public ByteSink {
public:
    Sha256 digest;
    bool take(const void *bytes, std::uint32_t count) override { return digest.update(bytes, count); }
};

class TestHandler final : public WalkHandler {
public:
    explicit TestHandler(HashSink *hash) : hash_(hash) {}

    std::int32_t fileStart(const CabNotifyRecord &) override
    {
        // A digest that cannot start fails its first write, or its finish.
        if (hash_ != nullptr) {
            hash_->digest.begin();
        }
        return kDiscardHandle;
    }
    bool fileDone(const CabNotifyRecord &record) override
    {
        std::string line = "ok  ";
        if (hash_ != nullptr) {
            const std::string hex = hash_->digest.finish();
            if (hex.empty()) {
                report(shownName(record.text1, record.attributes) + ": the SHA-256 library failed");
                return false;
            }
            line += hex + "  ";
        }
        // Digests are what --hash asks for, so -q leaves them.
        if (!quiet() || hash_ != nullptr) {
            emitLine(stdout, line + shownName(record.text1, record.attributes));
        }
        return true;
    }

private:
    HashSink *hash_;
};

}  // namespace

int runTest(const Args &given)
{
    Args args = given;
    NameFilter filter;
    if (!filter.take(args)) {
        return kExitUsage;
    }
    const bool stats = takeFlag(args, "--stats");
    const bool hashing = takeFlag(args, "--hash");
    std::optional<SalvageFill> salvage;
    if (!takeSalvageOption(args, salvage)) {
        return kExitUsage;
    }
    if (const int status = checkOneCabinet(args); status != kExitOk) {
        return status;
    }
    if (salvage) {
        if (!filter.empty() || hashing) {
            return usageError("--salvage takes every file and gives no digests: no -F or --hash with it");
        }
        return salvageEach(args[0], nullptr, *salvage);
    }
    HashSink hash;
    if (hashing) {
        setDiscardSink(&hash);
    }
    TestHandler tester(hashing ? &hash : nullptr);
    FilteredHandler handler(tester, filter);
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
    setDiscardSink(nullptr);
    if (walked) {
        std::printf("%d file(s) good, %d failure(s)\n", outcome.files, outcome.failures);
    }
    if (stats) {
        reportDecodeStats();
    }
    return ok && outcome.failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace cabtool
