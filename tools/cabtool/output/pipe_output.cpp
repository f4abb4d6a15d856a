#include "output/pipe_output.h"

#include "commands/cabtool.h"
#include "names/names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace cabtool {

PipeHandler::PipeHandler()
{
#ifdef _WIN32
    // File bytes, not text: no line ends rewritten on the way out.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

PipeHandler::~PipeHandler()
{
    if (spool_ != nullptr) {
        std::fclose(spool_);
    }
}

std::int32_t PipeHandler::fileStart(const CabNotifyRecord &record)
{
    const int entry = heldEntry();
    keeping_ = entry >= 0;
    if (keeping_) {
        if (spool_ == nullptr && (spool_ = scratchFile()) == nullptr) {
            report(shownName(record.text1, record.attributes) + ": cannot make a scratch file to keep it in list order");
            failed_ = true;
            return 0;
        }
        // Reading back moves the position; writing always goes on at the end.
        if (!seekStream(spool_, spoolEnd_)) {
            report(shownName(record.text1, record.attributes) + ": cannot write the scratch file");
            failed_ = true;
            return 0;
        }
        kept_.push_back(Kept{entry, spoolEnd_, 0, false});
    }
    return kDiscardHandle;
}

bool PipeHandler::take(const void *bytes, std::uint32_t count)
{
    if (!keeping_) {
        return std::fwrite(bytes, 1, count, stdout) == count;
    }
    if (std::fwrite(bytes, 1, count, spool_) != count) {
        return false;
    }
    spoolEnd_ += count;
    kept_.back().size += count;
    return true;
}

bool PipeHandler::fileDone(const CabNotifyRecord &)
{
    if (keeping_) {
        kept_.back().complete = true;
    }
    return true;
}

void PipeHandler::fileFailed(const std::string &)
{
    // Bytes already on standard output cannot be taken back; the failure is
    // reported and the exit status tells. Kept bytes are simply dropped.
    if (keeping_ && !kept_.empty() && !kept_.back().complete) {
        kept_.pop_back();
    }
}

bool PipeHandler::finish()
{
    std::stable_sort(kept_.begin(), kept_.end(), [](const Kept &a, const Kept &b) { return a.entry < b.entry; });
    char buffer[65536];
    for (const Kept &file : kept_) {
        if (!file.complete) {
            continue;
        }
        if (!seekStream(spool_, file.start)) {
            report(std::string("cannot read back the scratch file: ") + std::strerror(errno));
            return false;
        }
        for (std::uint64_t left = file.size; left > 0;) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof buffer));
            if (std::fread(buffer, 1, want, spool_) != want || std::fwrite(buffer, 1, want, stdout) != want) {
                report("cannot pass a kept file on to standard output");
                return false;
            }
            left -= want;
        }
    }
    kept_.clear();
    if (std::fflush(stdout) != 0) {
        report(std::string("cannot write to standard output: ") + std::strerror(errno));
        return false;
    }
    return !failed_;
}

}  // namespace cabtool
