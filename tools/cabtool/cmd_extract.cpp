// cabtool extract [-d DIR] FILE.cab
#include "cabtool.h"
#include "embedded.h"
#include "engine_io.h"
#include "file_meta.h"
#include "progress.h"
#include "salvage.h"
#include "set_size.h"
#include "set_walk.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cabtool {

namespace {

class ExtractHandler final : public WalkHandler {
public:
    explicit ExtractHandler(std::string folder) : folder_(std::move(folder)) {}

    int refused = 0;

    std::int32_t fileStart(const CabNotifyRecord &record) override
    {
        const std::string stored = record.text1;
        const std::string why = unsafeNameReason(stored);
        if (!why.empty()) {
            report(stored + ": refused, " + why);
            ++refused;
            return 0;
        }
        path_ = outputPath(folder_, stored);
        const std::string linked = linkedFolderPart(folder_, stored);
        if (!linked.empty()) {
            report(stored + ": refused, " + linked + " is a symbolic link");
            ++refused;
            return 0;
        }
        const std::size_t cut = path_.find_last_of('/');
        if (cut != std::string::npos && cut != 0) {
            makeDirectories(path_.substr(0, cut));
        }
        // A read-only file left by an earlier extraction is replaced (a link's
        // target is never touched: the link itself is replaced).
        if (!isSymbolicLink(path_) && isRegularFile(path_)) {
            setReadOnly(path_, false);
        }
        std::FILE *stream = createPlainFile(path_);
        if (stream == nullptr) {
            report(path_ + ": cannot create: " + std::strerror(errno));
            ++refused;
            return 0;
        }
        const std::int32_t handle = adoptStream(stream);
        if (handle == -1) {
            std::fclose(stream);
            report(path_ + ": too many open files");
            ++refused;
            return 0;
        }
        return handle;
    }

    bool fileDone(const CabNotifyRecord &record) override
    {
        if (closeHandle(record.handle) != 0) {
            report(path_ + ": cannot finish writing");
            std::remove(path_.c_str());
            return false;
        }
        // The engine lifts bit 0x40 out of the attributes; read-only is bit 0x01.
        bool ok = writeStamp(path_, record.date, record.time);
        if ((record.attributes & 0x01) != 0) {
            ok = setReadOnly(path_, true) && ok;
        }
        if (!ok) {
            report(path_ + ": cannot set its date or attributes");
        }
        if (!quiet()) {
            emitLine(stdout, path_);
        }
        return ok;
    }

    void fileFailed(const std::string &) override
    {
        // What the engine left is a truncated file; do not let it pass for the real one.
        std::remove(path_.c_str());
    }

private:
    std::string folder_;
    std::string path_;
};

}  // namespace

int runExtract(const Args &given)
{
    Args args = given;
    std::optional<SalvageFill> salvage;
    if (!takeSalvageOption(args, salvage)) {
        return kExitUsage;
    }
    std::string folder = ".";
    std::string cabinet;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-d") {
            if (i + 1 >= args.size()) {
                return usageError("-d needs a folder");
            }
            folder = args[++i];
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
    if (!makeDirectories(folder)) {
        report(folder + ": cannot create the output folder");
        return kExitFailed;
    }
    if (salvage) {
        return salvageEach(cabinet, &folder, *salvage);
    }
    ExtractHandler handler(folder);
    const bool ok = forEachCabinet(cabinet, true, [&](const CabinetPlace &) {
        startProgress(filesSizeOfSet(cabinet, true));
        const bool walked = walkCabinets(cabinet, handler, true).failures == 0;
        finishProgress();
        return walked;
    });
    return ok && handler.refused == 0 ? kExitOk : kExitFailed;
}

}  // namespace cabtool
