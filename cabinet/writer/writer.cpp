#include <cabinet/writer.h>

#include "layout.h"
#include "names.h"

#include <cstdio>

namespace cabwriter {

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
    if (bytes.size() != static_cast<std::uint32_t>(bytes.size())) {
        return impl_->fail("file larger than 4 GiB: " + info.name);
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
        return impl_->fail("cannot open " + path);
    }
    long size = -1;
    if (std::fseek(in, 0, SEEK_END) == 0) {
        size = std::ftell(in);
    }
    std::fclose(in);
    if (size < 0) {
        return impl_->fail("cannot learn the size of " + path + " (or it is 2 GiB or larger)");
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
    return layOutCabinets(impl_->options, impl_->files, cabinets, impl_->error);
}

bool Writer::buildToDirectory(const std::string &directory, std::vector<std::string> *writtenPaths)
{
    std::vector<CabinetImage> cabinets;
    if (!build(cabinets)) {
        return false;
    }
    std::string folder = directory;
    if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
        folder += '/';
    }
    for (const CabinetImage &cabinet : cabinets) {
        const std::string path = folder + cabinet.name;
        std::FILE *out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) {
            return impl_->fail("cannot create " + path);
        }
        const bool written = std::fwrite(cabinet.bytes.data(), 1, cabinet.bytes.size(), out) == cabinet.bytes.size();
        const bool closed = std::fclose(out) == 0;
        if (!written || !closed) {
            return impl_->fail("cannot write " + path);
        }
        if (writtenPaths != nullptr) {
            writtenPaths->push_back(path);
        }
    }
    return true;
}

const std::string &Writer::error() const
{
    return impl_->error;
}

}  // namespace cabwriter
