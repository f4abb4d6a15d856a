// cabtool extract [-d DIR [--overwrite|--no-overwrite|--keep-newer] | -p] [-F PATTERN]... FILE.cab
#include "commands/cabtool.h"
#include "reading/decode_stats.h"
#include "reading/embedded.h"
#include "reading/engine_io.h"
#include "output/file_meta.h"
#include "names/name_filter.h"
#include "names/names.h"
#include "output/pipe_output.h"
#include "output/progress.h"
#include "output/safe_output.h"
#include "salvage/salvage.h"
#include "reading/set_size.h"
#include "reading/set_walk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cabtool {

namespace {

class ExtractHandler final : public WalkHandler {
public:
    ExtractHandler(std::string folder, Overwrite policy) : folder_(std::move(folder)), policy_(policy) {}

    int refused = 0;

    std::int32_t fileStart(const CabNotifyRecord &record) override
    {
        OutputPlan plan;
        switch (planOutput(folder_, record.text1, record.attributes, policy_, record.date, record.time, plan)) {
        case OutputStep::Refuse:
            return refuse(plan.shown, plan.why);
        case OutputStep::Skip:
            // Kept on request: not a failure.
            report(plan.shown + ": skipped, " + plan.why);
            return 0;
        case OutputStep::Write:
            break;
        }
        path_ = plan.path;
        std::FILE *stream = createTemporaryFor(path_, temporary_);
        if (stream == nullptr) {
            return refuse(plan.shown, std::string("cannot create: ") + std::strerror(errno));
        }
        const std::int32_t handle = adoptStream(stream);
        if (handle == -1) {
            std::fclose(stream);
            dropTemporary(temporary_);
            return refuse(plan.shown, "too many open files");
        }
        return handle;
    }

    bool fileDone(const CabNotifyRecord &record) override
    {
        const std::string shown = escapeControls(path_);
        if (closeHandle(record.handle) != 0) {
            report(shown + ": cannot finish writing");
            dropTemporary(temporary_);
            return false;
        }
        // The engine lifts bit 0x40 out of the attributes.
        std::string why;
        const bool placed = completeOutput(temporary_, path_, record.date, record.time, record.attributes, why);
        if (!why.empty()) {
            report(shown + ": " + why);
        }
        if (placed && !quiet()) {
            emitLine(stdout, shown);
        }
        return placed && why.empty();
    }

    void fileFailed(const std::string &) override
    {
        // The target stays as it was; only the partial temporary goes.
        dropTemporary(temporary_);
    }

private:
    std::int32_t refuse(const std::string &shown, const std::string &why)
    {
        report(shown + ": refused, " + why);
        ++refused;
        return 0;
    }

    std::string folder_;
    Overwrite policy_;
    std::string path_;
    std::string temporary_;
};

// extract -p: the bytes go to standard output and no file is made.
int extractToStandardOutput(const std::string &cabinet, const NameFilter &filter, bool stats)
{
    PipeHandler piper;
    FilteredHandler handler(piper, filter);
    setDiscardSink(&piper);
    setIntroductionStream(stderr);  // cabinets found inside the file are named there
    const bool ok = forEachCabinet(cabinet, true, [&](const CabinetPlace &) {
        startProgress(filesSizeOfSet(cabinet, true));
        const bool walked = walkCabinets(cabinet, handler, true).failures == 0;
        finishProgress();
        // What was kept back comes out before the next cabinet's files.
        return piper.finish() && walked;
    });
    setDiscardSink(nullptr);
    if (stats) {
        reportDecodeStats();
    }
    return ok ? kExitOk : kExitFailed;
}

}  // namespace

int runExtract(const Args &given)
{
    Args args = given;
    NameFilter filter;
    if (!filter.take(args)) {
        return kExitUsage;
    }
    const bool stats = takeFlag(args, "--stats");
    std::optional<SalvageFill> salvage;
    if (!takeSalvageOption(args, salvage)) {
        return kExitUsage;
    }
    std::string folder = ".";
    bool folderGiven = false;
    bool toStandardOutput = false;
    std::string cabinet;
    Overwrite policy = Overwrite::Replace;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--overwrite" || args[i] == "--no-overwrite" || args[i] == "--keep-newer") {
            policy = args[i] == "--overwrite" ? Overwrite::Replace
                     : args[i] == "--no-overwrite" ? Overwrite::Keep
                                                   : Overwrite::KeepNewer;
        } else if (args[i] == "-d") {
            if (i + 1 >= args.size()) {
                return usageError("-d needs a folder");
            }
            folder = args[++i];
            folderGiven = true;
        } else if (args[i] == "-p") {
            toStandardOutput = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return unknownOption(args[i]);
        } else if (cabinet.empty()) {
            cabinet = args[i];
        } else {
            return usageError("extract takes one cabinet file");
        }
    }
    if (cabinet.empty()) {
        return missingCabinet();
    }
    if (salvage && !filter.empty()) {
        return usageError("--salvage takes every file: no -F with it");
    }
    if (toStandardOutput) {
        return folderGiven || salvage ? usageError("-p writes to standard output and takes no -d or --salvage")
                                      : extractToStandardOutput(cabinet, filter, stats);
    }
    if (!makeDirectories(folder)) {
        report(escapeControls(folder) + ": cannot create the output folder");
        return kExitFailed;
    }
    if (salvage) {
        return salvageEach(cabinet, &folder, *salvage, policy);
    }
    ExtractHandler extractor(folder, policy);
    FilteredHandler handler(extractor, filter);
    const bool ok = forEachCabinet(cabinet, true, [&](const CabinetPlace &) {
        startProgress(filesSizeOfSet(cabinet, true));
        const bool walked = walkCabinets(cabinet, handler, true).failures == 0;
        finishProgress();
        return walked;
    });
    if (stats) {
        reportDecodeStats();
    }
    return ok && extractor.refused == 0 ? kExitOk : kExitFailed;
}

}  // namespace cabtool
