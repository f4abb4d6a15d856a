// cabtool extract [-d DIR] [--overwrite|--no-overwrite|--keep-newer] FILE.cab
#include "cabtool.h"
#include "embedded.h"
#include "engine_io.h"
#include "file_meta.h"
#include "names.h"
#include "progress.h"
#include "safe_output.h"
#include "set_size.h"
#include "set_walk.h"

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
        std::string name;
        if (!fileNameOf(record.text1, record.attributes, name)) {
            return refuse(shownName(record.text1, record.attributes),
                          "the name does not convert to a file name (see --encoding)");
        }
        std::string why = unsafeNameReason(name);
#ifdef _WIN32
        if (why.empty()) {
            why = windowsNameReason(ansiToUtf8(name));
        }
#endif
        if (!why.empty()) {
            return refuse(escapeControls(name), why);
        }
        path_ = outputPath(folder_, name);
        const std::string linked = linkedFolderPart(folder_, name);
        if (!linked.empty()) {
            return refuse(escapeControls(name), escapeControls(linked) + " is a symbolic link");
        }
        const std::size_t cut = path_.find_last_of('/');
        if (cut != std::string::npos && cut != 0) {
            makeDirectories(path_.substr(0, cut));
        }
        if (keepsExisting(path_, policy_, record.date, record.time)) {
            // Kept on request: not a failure.
            report(escapeControls(path_) +
                   (policy_ == Overwrite::Keep ? ": skipped, it exists" : ": skipped, the file there is newer"));
            return 0;
        }
        std::FILE *stream = createTemporaryFor(path_, temporary_);
        if (stream == nullptr) {
            return refuse(escapeControls(path_), std::string("cannot create: ") + std::strerror(errno));
        }
        const std::int32_t handle = adoptStream(stream);
        if (handle == -1) {
            std::fclose(stream);
            dropTemporary(temporary_);
            return refuse(escapeControls(path_), "too many open files");
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
        // The engine lifts bit 0x40 out of the attributes; read-only is bit 0x01.
        bool ok = writeStamp(temporary_, record.date, record.time);
        if ((record.attributes & 0x01) != 0) {
            ok = setReadOnly(temporary_, true) && ok;
        }
        if (!ok) {
            report(shown + ": cannot set its date or attributes");
        }
        if (!moveIntoPlace(temporary_, path_)) {
            report(shown + ": cannot put it in place: " + std::strerror(errno));
            dropTemporary(temporary_);
            return false;
        }
        forgetTemporary();
        if (!quiet()) {
            emitLine(stdout, shown);
        }
        return ok;
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

}  // namespace

int runExtract(const Args &args)
{
    std::string folder = ".";
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
        report(escapeControls(folder) + ": cannot create the output folder");
        return kExitFailed;
    }
    ExtractHandler handler(folder, policy);
    const bool ok = forEachCabinet(cabinet, true, [&](const CabinetPlace &) {
        startProgress(filesSizeOfSet(cabinet, true));
        const bool walked = walkCabinets(cabinet, handler, true).failures == 0;
        finishProgress();
        return walked;
    });
    return ok && handler.refused == 0 ? kExitOk : kExitFailed;
}

}  // namespace cabtool
