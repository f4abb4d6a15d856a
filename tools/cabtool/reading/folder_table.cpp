#include "reading/folder_table.h"

#include "commands/cabtool.h"
#include "reading/engine_io.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>

namespace cabtool {

namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

std::uint16_t le16(const unsigned char *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const unsigned char *p)
{
    return le16(p) | (static_cast<std::uint32_t>(le16(p + 2)) << 16);
}

bool readText(std::FILE *in, std::string &text)
{
    text.clear();
    for (int n = 0; n < 256; ++n) {
        const int c = std::fgetc(in);
        if (c == EOF) {
            return false;
        }
        if (c == 0) {
            return true;
        }
        text += static_cast<char>(c);
    }
    return false;
}

}  // namespace

bool readCabinetInfo(const std::string &path, CabinetInfo &info, std::string &why, std::uint64_t offset)
{
    std::unique_ptr<std::FILE, FileCloser> in(openCabinetFile(path.c_str()));
    if (!in || !seekStream(in.get(), offset)) {
        why = cannotOpen(errno);
        return false;
    }
    unsigned char header[36];
    if (std::fread(header, 1, sizeof header, in.get()) != sizeof header || header[0] != 'M' || header[1] != 'S' ||
        header[2] != 'C' || header[3] != 'F') {
        why = "not a cabinet file";
        return false;
    }
    info.size = le32(header + 8);
    info.filesOffset = le32(header + 16);
    const std::uint16_t folderCount = le16(header + 26);
    info.fileCount = le16(header + 28);
    const std::uint16_t flags = le16(header + 30);
    info.flags = flags;
    info.setId = le16(header + 32);
    info.index = le16(header + 34);
    if ((flags & 4) != 0) {
        unsigned char sizes[4];
        if (std::fread(sizes, 1, 4, in.get()) != 4 || std::fseek(in.get(), le16(sizes), SEEK_CUR) != 0) {
            why = "reserve area cut short";
            return false;
        }
        info.cabinetReserve = le16(sizes);
        info.folderReserve = sizes[2];
        info.blockReserve = sizes[3];
    }
    const unsigned folderReserve = info.folderReserve;
    if ((flags & 1) != 0 && (!readText(in.get(), info.previousName) || !readText(in.get(), info.previousDisk))) {
        why = "previous cabinet name cut short";
        return false;
    }
    if ((flags & 2) != 0 && (!readText(in.get(), info.nextName) || !readText(in.get(), info.nextDisk))) {
        why = "next cabinet name cut short";
        return false;
    }
    for (unsigned f = 0; f < folderCount; ++f) {
        unsigned char entry[8];
        if (std::fread(entry, 1, 8, in.get()) != 8 || std::fseek(in.get(), static_cast<long>(folderReserve), SEEK_CUR) != 0) {
            why = "folder table cut short";
            return false;
        }
        info.folders.push_back(FolderInfo{le16(entry + 4), le16(entry + 6), le32(entry)});
    }
    return true;
}

bool readFileTable(const std::string &path, const CabinetInfo &info, std::vector<StoredFile> &files,
                   std::string &why, std::uint64_t offset)
{
    files.clear();
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
    if (!in) {
        why = cannotOpen(errno);
        return false;
    }
    if (!seekStream(in.get(), offset + info.filesOffset)) {
        why = "file list out of reach";
        return false;
    }
    for (unsigned i = 0; i < info.fileCount; ++i) {
        unsigned char entry[16];
        StoredFile file;
        if (std::fread(entry, 1, sizeof entry, in.get()) != sizeof entry || !readText(in.get(), file.name)) {
            why = "file list cut short";
            return false;
        }
        file.size = le32(entry);
        file.offset = le32(entry + 4);
        file.folder = le16(entry + 8);
        file.date = le16(entry + 10);
        file.time = le16(entry + 12);
        file.attributes = le16(entry + 14);
        files.push_back(std::move(file));
    }
    return true;
}

std::string describeCompression(std::uint16_t type)
{
    const unsigned window = (type >> 8) & 0x1F;
    char text[48];
    switch (type & 0x0F) {
    case 0:
        return "none";
    case 1:
        return "MSZIP (window 2^15)";
    case 2:
        std::snprintf(text, sizeof text, "Quantum (window 2^%u)", window);
        return text;
    case 3:
        std::snprintf(text, sizeof text, "LZX (window 2^%u)", window);
        return text;
    default:
        std::snprintf(text, sizeof text, "unknown method %u", type & 0x0Fu);
        return text;
    }
}

}  // namespace cabtool
