#include "folder_table.h"

#include "cabtool.h"
#include "engine_io.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace cabtool {

namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

std::uint16_t le16(const unsigned char *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
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
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(path.c_str(), "rb"));
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
    info.size = le16(header + 8) | (static_cast<std::uint32_t>(le16(header + 10)) << 16);
    info.filesOffset = le16(header + 16) | (static_cast<std::uint32_t>(le16(header + 18)) << 16);
    const std::uint16_t folderCount = le16(header + 26);
    info.fileCount = le16(header + 28);
    const std::uint16_t flags = le16(header + 30);
    info.setId = le16(header + 32);
    info.index = le16(header + 34);
    unsigned folderReserve = 0;
    if ((flags & 4) != 0) {
        unsigned char sizes[4];
        if (std::fread(sizes, 1, 4, in.get()) != 4 || std::fseek(in.get(), le16(sizes), SEEK_CUR) != 0) {
            why = "reserve area cut short";
            return false;
        }
        folderReserve = sizes[2];
    }
    std::string disk;
    if ((flags & 1) != 0 && (!readText(in.get(), info.previousName) || !readText(in.get(), disk))) {
        why = "previous cabinet name cut short";
        return false;
    }
    if ((flags & 2) != 0 && (!readText(in.get(), info.nextName) || !readText(in.get(), disk))) {
        why = "next cabinet name cut short";
        return false;
    }
    for (unsigned f = 0; f < folderCount; ++f) {
        unsigned char entry[8];
        if (std::fread(entry, 1, 8, in.get()) != 8 || std::fseek(in.get(), static_cast<long>(folderReserve), SEEK_CUR) != 0) {
            why = "folder table cut short";
            return false;
        }
        info.folders.push_back(FolderInfo{le16(entry + 4), le16(entry + 6)});
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
