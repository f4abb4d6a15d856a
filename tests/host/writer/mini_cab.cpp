#include "mini_cab.h"

#include <zlib.h>

#include <cstring>

namespace minicab {

namespace {

struct Cursor {
    const std::vector<std::uint8_t> &bytes;
    std::size_t at;
    bool ok = true;

    bool need(std::size_t n)
    {
        if (!ok || at + n > bytes.size()) {
            ok = false;
            return false;
        }
        return true;
    }
    std::uint8_t u8()
    {
        return need(1) ? bytes[at++] : 0;
    }
    std::uint16_t u16()
    {
        const std::uint16_t lo = u8();
        return static_cast<std::uint16_t>(lo | (u8() << 8));
    }
    std::uint32_t u32()
    {
        const std::uint32_t lo = u16();
        return lo | (static_cast<std::uint32_t>(u16()) << 16);
    }
    std::vector<std::uint8_t> take(std::size_t n)
    {
        if (!need(n)) {
            return {};
        }
        std::vector<std::uint8_t> out(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                      bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        return out;
    }
    std::string text()
    {
        std::string out;
        while (need(1)) {
            const char c = static_cast<char>(bytes[at++]);
            if (c == '\0') {
                if (out.size() > 255) {
                    ok = false;
                }
                return out;
            }
            out += c;
        }
        return out;
    }
};

constexpr std::uint16_t kFromPrevious = 0xFFFD;
constexpr std::uint16_t kToNext = 0xFFFE;
constexpr std::uint16_t kBoth = 0xFFFF;

bool decodeMszip(const std::vector<std::uint8_t> &block, std::uint16_t size, const std::vector<std::uint8_t> &stream,
                 std::vector<std::uint8_t> &out, std::string &error)
{
    if (block.size() < 2 || block[0] != 'C' || block[1] != 'K') {
        error = "MSZIP block without CK";
        return false;
    }
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, -15) != Z_OK) {
        error = "inflateInit2";
        return false;
    }
    const std::size_t history = stream.size() < 32768 ? stream.size() : 32768;
    if (history != 0 &&
        inflateSetDictionary(&z, stream.data() + stream.size() - history, static_cast<uInt>(history)) != Z_OK) {
        inflateEnd(&z);
        error = "inflateSetDictionary";
        return false;
    }
    out.assign(size + 1u, 0);
    z.next_in = const_cast<Bytef *>(block.data() + 2);
    z.avail_in = static_cast<uInt>(block.size() - 2);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const uLong produced = z.total_out;
    inflateEnd(&z);
    if (rc != Z_STREAM_END || produced != size) {
        error = "MSZIP block did not inflate to its stated size";
        return false;
    }
    out.resize(size);
    return true;
}

}  // namespace

std::uint32_t expectedChecksum(const Block &block)
{
    // Byte by byte: byte i of each complete word lands at bit 8*(i%4); the
    // tail's first byte lands highest.
    auto fold = [](const std::vector<std::uint8_t> &bytes, std::uint32_t sum) {
        const std::size_t whole = bytes.size() / 4 * 4;
        for (std::size_t i = 0; i < whole; ++i) {
            sum ^= static_cast<std::uint32_t>(bytes[i]) << (8 * (i % 4));
        }
        const std::size_t tail = bytes.size() - whole;
        for (std::size_t i = 0; i < tail; ++i) {
            sum ^= static_cast<std::uint32_t>(bytes[whole + i]) << (8 * (tail - 1 - i));
        }
        return sum;
    };
    std::vector<std::uint8_t> header{static_cast<std::uint8_t>(block.compressed & 0xFF),
                                     static_cast<std::uint8_t>(block.compressed >> 8),
                                     static_cast<std::uint8_t>(block.uncompressed & 0xFF),
                                     static_cast<std::uint8_t>(block.uncompressed >> 8)};
    header.insert(header.end(), block.reserve.begin(), block.reserve.end());
    return fold(header, fold(block.data, 0));
}

bool parse(const std::vector<std::uint8_t> &image, Cabinet &cab, std::string &error)
{
    cab = Cabinet{};
    Cursor in{image, 0};
    if (image.size() < 36 || std::memcmp(image.data(), "MSCF", 4) != 0) {
        error = "no MSCF header";
        return false;
    }
    in.at = 8;
    cab.size = in.u32();
    in.at = 16;
    cab.fileListOffset = in.u32();
    in.at = 24;
    cab.version = in.u16();
    const std::uint16_t folderCount = in.u16();
    const std::uint16_t fileCount = in.u16();
    cab.flags = in.u16();
    cab.setId = in.u16();
    cab.index = in.u16();
    if (cab.flags & 4) {
        cab.cabinetReserveSize = in.u16();
        cab.folderReserveSize = in.u8();
        cab.blockReserveSize = in.u8();
        cab.cabinetReserve = in.take(cab.cabinetReserveSize);
    }
    if (cab.flags & 1) {
        cab.previousName = in.text();
        cab.previousDisk = in.text();
    }
    if (cab.flags & 2) {
        cab.nextName = in.text();
        cab.nextDisk = in.text();
    }
    for (unsigned f = 0; f < folderCount; ++f) {
        Folder folder;
        folder.dataOffset = in.u32();
        folder.blockCount = in.u16();
        folder.type = in.u16();
        folder.reserve = in.take(cab.folderReserveSize);
        cab.folders.push_back(folder);
    }
    if (!in.ok || in.at != cab.fileListOffset) {
        error = "file list does not follow the folder entries";
        return false;
    }
    for (unsigned f = 0; f < fileCount; ++f) {
        File file;
        file.size = in.u32();
        file.offset = in.u32();
        file.folder = in.u16();
        file.date = in.u16();
        file.time = in.u16();
        file.attributes = in.u16();
        file.name = in.text();
        cab.files.push_back(file);
    }
    if (!in.ok) {
        error = "file list runs past the image";
        return false;
    }
    for (Folder &folder : cab.folders) {
        if (folder.dataOffset != in.at) {
            error = "folder data is not contiguous";
            return false;
        }
        for (unsigned b = 0; b < folder.blockCount; ++b) {
            Block block;
            block.checksum = in.u32();
            block.compressed = in.u16();
            block.uncompressed = in.u16();
            block.reserve = in.take(cab.blockReserveSize);
            block.data = in.take(block.compressed);
            folder.blocks.push_back(block);
        }
    }
    if (!in.ok || in.at != image.size() || cab.size != image.size()) {
        error = "data blocks do not end where the image and its stated size end";
        return false;
    }
    return true;
}

bool extractSet(const std::vector<Cabinet> &cabs, std::vector<Extracted> &files, std::string &error,
                const BlockDecodeFn &other)
{
    // Map every (cabinet, folder) to a folder of the set: folder 0 continues
    // the previous cabinet's last folder when the cabinet lists continued files.
    std::vector<std::vector<std::size_t>> setFolder(cabs.size());
    std::vector<std::vector<Block>> chains;
    std::vector<std::uint16_t> types;
    for (std::size_t c = 0; c < cabs.size(); ++c) {
        bool continued = false;
        for (const File &f : cabs[c].files) {
            continued = continued || f.folder == kFromPrevious || f.folder == kBoth;
        }
        for (std::size_t f = 0; f < cabs[c].folders.size(); ++f) {
            const Folder &folder = cabs[c].folders[f];
            if (f == 0 && continued) {
                if (c == 0 || cabs[c - 1].folders.empty()) {
                    error = "continued files without a previous folder";
                    return false;
                }
                const std::size_t id = setFolder[c - 1].back();
                if (types[id] != folder.type) {
                    error = "continued folder changes its compression type";
                    return false;
                }
                setFolder[c].push_back(id);
                std::vector<Block> &chain = chains[id];
                std::size_t first = 0;
                if (!chain.empty() && chain.back().uncompressed == 0) {
                    if (folder.blocks.empty()) {
                        error = "split block without a continuation";
                        return false;
                    }
                    chain.back().data.insert(chain.back().data.end(), folder.blocks[0].data.begin(),
                                             folder.blocks[0].data.end());
                    chain.back().uncompressed = folder.blocks[0].uncompressed;
                    first = 1;
                }
                chain.insert(chain.end(), folder.blocks.begin() + static_cast<std::ptrdiff_t>(first), folder.blocks.end());
            } else {
                setFolder[c].push_back(chains.size());
                chains.push_back(folder.blocks);
                types.push_back(folder.type);
            }
        }
    }

    std::vector<std::vector<std::uint8_t>> streams(chains.size());
    for (std::size_t id = 0; id < chains.size(); ++id) {
        for (std::size_t b = 0; b < chains[id].size(); ++b) {
            const Block &block = chains[id][b];
            if (block.uncompressed == 0 || block.uncompressed > 32768 ||
                (b + 1 < chains[id].size() && block.uncompressed != 32768)) {
                error = "a block other than a folder's last does not hold 32768 bytes";
                return false;
            }
            std::vector<std::uint8_t> out;
            if ((types[id] & 0xF) == 0) {
                if (block.data.size() != block.uncompressed) {
                    error = "stored block whose sizes differ";
                    return false;
                }
                out = block.data;
            } else if ((types[id] & 0xF) == 1) {
                if (block.data.size() > 32780) {
                    error = "MSZIP block over 32780 bytes";
                    return false;
                }
                if (!decodeMszip(block.data, block.uncompressed, streams[id], out, error)) {
                    return false;
                }
            } else if (other) {
                if (!other(types[id], block, b == 0, out, error)) {
                    return false;
                }
                if (out.size() != block.uncompressed) {
                    error = "a block decoded to another size than its header states";
                    return false;
                }
            } else {
                error = "unexpected compression type";
                return false;
            }
            streams[id].insert(streams[id].end(), out.begin(), out.end());
        }
    }

    files.clear();
    for (std::size_t c = 0; c < cabs.size(); ++c) {
        for (const File &f : cabs[c].files) {
            if (f.folder == kFromPrevious || f.folder == kBoth) {
                continue;
            }
            const std::size_t local = f.folder == kToNext ? cabs[c].folders.size() - 1 : f.folder;
            if (local >= cabs[c].folders.size()) {
                error = "file " + f.name + " names a missing folder";
                return false;
            }
            const std::vector<std::uint8_t> &stream = streams[setFolder[c][local]];
            if (f.size != 0 && std::uint64_t{f.offset} + f.size > stream.size()) {
                error = "file " + f.name + " lies beyond its folder";
                return false;
            }
            Extracted e;
            e.name = f.name;
            e.date = f.date;
            e.time = f.time;
            e.attributes = f.attributes;
            e.cabinet = static_cast<unsigned>(c);
            if (f.size != 0) {
                e.bytes.assign(stream.begin() + f.offset, stream.begin() + f.offset + f.size);
            }
            files.push_back(std::move(e));
        }
    }
    return true;
}

}  // namespace minicab
