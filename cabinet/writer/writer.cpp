#include <cabinet/writer.h>

#include "encoder.h"
#include "layout.h"
#include "names.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cabwriter {

namespace {

// Keeps the cabinets as images in memory.
class CabinetImages final : public CabinetSink {
public:
    explicit CabinetImages(std::vector<CabinetImage> &images) : images_(images) { images_.clear(); }

    bool appendBlocks(const std::uint8_t *bytes, std::size_t count, std::string &) override
    {
        blocks_.insert(blocks_.end(), bytes, bytes + count);
        return true;
    }

    bool finishCabinet(const std::string &name, const std::vector<std::uint8_t> &head, std::string &) override
    {
        CabinetImage image;
        image.name = name;
        image.bytes.reserve(head.size() + blocks_.size());
        image.bytes.assign(head.begin(), head.end());
        image.bytes.insert(image.bytes.end(), blocks_.begin(), blocks_.end());
        blocks_.clear();
        images_.push_back(std::move(image));
        return true;
    }

private:
    std::vector<CabinetImage> &images_;
    std::vector<std::uint8_t> blocks_;
};

}  // namespace

struct Writer::Impl {
    Options options;
    Compression compression;
    bool newFolderNext = false;
    bool built = false;
    std::vector<SourceFile> files;
    std::string error;

    bool fail(std::string why)
    {
        error = std::move(why);
        return false;
    }

    bool take(const FileInfo &info, SourceFile &file)
    {
        if (built) {
            return fail("files cannot be added after the build");
        }
        file.info = info;
        if (!storedName(info, file.stored, error)) {
            return false;
        }
        // Without a size limit there is one cabinet, and a file lies in one
        // folder of it; refused now, before anything is built or written.
        const std::uint64_t folderBytes = std::uint64_t{blockLimit(options)} * kBlockSize;
        if (options.maxCabinetSize == 0 && file.size > folderBytes) {
            return fail(info.name + ": " + std::to_string(file.size) + " bytes do not fit into one cabinet's folder (" +
                        std::to_string(folderBytes) + " bytes at most); a cabinet size limit (--max-cabinet) "
                        "stores it across a set of cabinets");
        }
        file.newFolderBefore = newFolderNext;
        file.compression = compression;
        newFolderNext = false;
        files.push_back(std::move(file));
        return true;
    }
};

Writer::Writer(Options options) : impl_(std::make_unique<Impl>())
{
    impl_->compression = options.compression;
    impl_->options = std::move(options);
}

Writer::~Writer() = default;

bool Writer::addFile(const FileInfo &info, std::vector<std::uint8_t> bytes)
{
    if (bytes.size() > kMaxFileSize) {
        return impl_->fail(info.name + ": a cabinet stores files of at most 4 GiB - 1 bytes");
    }
    SourceFile file;
    file.size = static_cast<std::uint32_t>(bytes.size());
    file.bytes = std::move(bytes);
    return impl_->take(info, file);
}

bool Writer::addFileFromPath(const FileInfo &info, const std::string &path)
{
    std::FILE *in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        return impl_->fail(path + ": cannot open: " + std::strerror(errno));
    }
    // 64-bit positions: the plain ones stop at 2 GiB where long is 32 bits.
#ifdef _WIN32
    const long long size = _fseeki64(in, 0, SEEK_END) == 0 ? _ftelli64(in) : -1;
#else
    const long long size = fseeko(in, 0, SEEK_END) == 0 ? static_cast<long long>(ftello(in)) : -1;
#endif
    std::fclose(in);
    if (size < 0) {
        return impl_->fail(path + ": cannot learn its size");
    }
    if (static_cast<unsigned long long>(size) > kMaxFileSize) {
        return impl_->fail(path + ": a cabinet stores files of at most 4 GiB - 1 bytes");
    }
    SourceFile file;
    file.size = static_cast<std::uint32_t>(size);
    file.path = path;
    return impl_->take(info, file);
}

std::uint64_t Writer::inputSize() const
{
    std::uint64_t total = 0;
    for (const SourceFile &file : impl_->files) {
        total += file.size;
    }
    return total;
}

void Writer::beginFolder(const Compression &compression)
{
    impl_->compression = compression;
    impl_->newFolderNext = true;
}

bool Writer::build(std::vector<CabinetImage> &cabinets)
{
    if (impl_->built) {
        return impl_->fail("a writer builds only once");
    }
    impl_->built = true;
    CabinetImages images(cabinets);
    return layOutCabinets(impl_->options, impl_->files, images, impl_->error);
}

bool Writer::buildToDirectory(const std::string &directory, std::vector<std::string> *writtenPaths)
{
    if (impl_->built) {
        return impl_->fail("a writer builds only once");
    }
    impl_->built = true;
    // A set is written whole or not at all: the cabinets get their names
    // only once the last one is complete.
    CabinetFiles files(directory);
    std::vector<std::string> written;
    if (!layOutCabinets(impl_->options, impl_->files, files, impl_->error) ||
        !files.commit(written, impl_->error)) {
        return false;
    }
    if (writtenPaths != nullptr) {
        writtenPaths->insert(writtenPaths->end(), written.begin(), written.end());
    }
    return true;
}

const std::string &Writer::error() const
{
    return impl_->error;
}

}  // namespace cabwriter
