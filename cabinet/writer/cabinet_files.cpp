// Cabinets written into a folder as the layout completes them.
//
// A cabinet's head comes first in its file but is known last, so its blocks
// wait: in memory up to kSpillAt bytes, and beyond that in one scratch file
// beside the cabinets, reused for every cabinet of the set. When the head
// arrives, the cabinet is written under a temporary name: head, the scratch
// file's bytes, then the ones in memory. The memory taken stays the same
// whatever the size of the input or of the cabinets.
#include "layout.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace cabwriter {

namespace {

constexpr std::size_t kSpillAt = std::size_t{4} << 20;
constexpr std::size_t kCopyChunk = std::size_t{64} << 10;

unsigned long processId()
{
#ifdef _WIN32
    return static_cast<unsigned long>(_getpid());
#else
    return static_cast<unsigned long>(getpid());
#endif
}

// Replaces an existing file of the name, as a cabinet written anew does.
bool renameOver(const std::string &from, const std::string &to)
{
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool writeAll(std::FILE *out, const std::uint8_t *bytes, std::size_t count)
{
    return count == 0 || std::fwrite(bytes, 1, count, out) == count;
}

}  // namespace

CabinetFiles::CabinetFiles(std::string folder) : folder_(std::move(folder))
{
    if (!folder_.empty() && folder_.back() != '/' && folder_.back() != '\\') {
        folder_ += '/';
    }
    // Formed in a buffer: one cross compiler misreads the string operators
    // here as an overlapping copy.
    char tag[32];
    std::snprintf(tag, sizeof tag, ".%lu.tmp", processId());
    tag_ = tag;
}

CabinetFiles::~CabinetFiles()
{
    discard();
}

void CabinetFiles::discard()
{
    if (spill_ != nullptr) {
        std::fclose(spill_);
        spill_ = nullptr;
        std::remove(spillPath_.c_str());
    }
    for (const std::string &path : temporary_) {
        std::remove(path.c_str());
    }
    temporary_.clear();
    final_.clear();
}

bool CabinetFiles::spill(std::string &error)
{
    if (spill_ == nullptr) {
        spillPath_ = folder_ + "blocks" + tag_;
        spill_ = std::fopen(spillPath_.c_str(), "w+b");
        if (spill_ == nullptr) {
            error = spillPath_ + ": cannot create: " + std::strerror(errno);
            return false;
        }
    }
    // The scratch file is read back from its start for every cabinet.
    if (spilled_ == 0 && std::fseek(spill_, 0, SEEK_SET) != 0) {
        error = spillPath_ + ": cannot rewind: " + std::strerror(errno);
        return false;
    }
    if (!writeAll(spill_, buffer_.data(), buffer_.size())) {
        error = spillPath_ + ": cannot write: " + std::strerror(errno);
        return false;
    }
    spilled_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool CabinetFiles::appendBlocks(const std::uint8_t *bytes, std::size_t count, std::string &error)
{
    if (buffer_.capacity() == 0) {
        buffer_.reserve(kSpillAt + kCopyChunk);
    }
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    return buffer_.size() < kSpillAt || spill(error);
}

bool CabinetFiles::copySpill(std::FILE *out)
{
    if (spilled_ == 0) {
        return true;
    }
    if (std::fflush(spill_) != 0 || std::fseek(spill_, 0, SEEK_SET) != 0) {
        return false;
    }
    copy_.resize(kCopyChunk);
    for (std::uint64_t left = spilled_; left > 0;) {
        const std::size_t take = left < kCopyChunk ? static_cast<std::size_t>(left) : kCopyChunk;
        if (std::fread(copy_.data(), 1, take, spill_) != take || !writeAll(out, copy_.data(), take)) {
            return false;
        }
        left -= take;
    }
    return true;
}

bool CabinetFiles::finishCabinet(const std::string &name, const std::vector<std::uint8_t> &head, std::string &error)
{
    const std::string path = folder_ + name + tag_;
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        error = path + ": cannot create: " + std::strerror(errno);
        return false;
    }
    temporary_.push_back(path);
    final_.push_back(folder_ + name);
    const bool complete = writeAll(out, head.data(), head.size()) && copySpill(out) &&
                          writeAll(out, buffer_.data(), buffer_.size());
    const bool closed = std::fclose(out) == 0;
    const std::string reason = std::strerror(errno);
    if (!complete || !closed) {
        error = folder_ + name + ": cannot write: " + reason;
        return false;
    }
    spilled_ = 0;
    buffer_.clear();
    return true;
}

bool CabinetFiles::commit(std::vector<std::string> &written, std::string &error)
{
    for (std::size_t i = 0; i < temporary_.size(); ++i) {
        if (!renameOver(temporary_[i], final_[i])) {
            error = final_[i] + ": cannot create: " + std::strerror(errno);
            for (std::size_t done = 0; done < i; ++done) {
                std::remove(final_[done].c_str());
            }
            discard();
            return false;
        }
    }
    written.insert(written.end(), final_.begin(), final_.end());
    temporary_.clear();
    discard();
    return true;
}

}  // namespace cabwriter
