#include "continued_set.h"

#include "writer/encoder.h"

#include <algorithm>
#include <memory>

namespace enginetest {

namespace {

std::string cabName(std::size_t k)
{
    std::string name = "s";  // built up in steps: "literal" + string trips a false -Wrestrict in MinGW's GCC 12
    name += std::to_string(k + 1);
    return name + ".cab";
}

// The blocks each cabinet holds, and the uncompressed start of each cabinet's
// part (one more entry past the last).
void cutAtEdges(const std::vector<BlockPlan> &blocks, const SetLayout &layout,
                std::vector<std::vector<BlockPlan>> &held, std::vector<std::uint32_t> &from)
{
    const std::size_t cabinets = layout.edges.size() + 1;
    held.assign(cabinets, {});
    from.assign(1, 0);
    std::size_t b = 0;
    for (std::size_t k = 0; k < cabinets; ++k) {
        const std::size_t end = k < layout.edges.size() ? layout.edges[k].block : blocks.size();
        if (k > 0 && layout.edges[k - 1].split) {
            const BlockPlan &whole = blocks[b];
            const std::size_t half = whole.data.size() / 2;
            held[k - 1].push_back({Bytes(whole.data.begin(), whole.data.begin() + half), 0, true, {}});
            held[k].push_back({Bytes(whole.data.begin() + half, whole.data.end()), whole.uncompressed, true, {}});
            ++b;
        }
        for (; b < end; ++b) {
            held[k].push_back(blocks[b]);
        }
        if (k + 1 < cabinets) {
            std::uint32_t at = 0;
            for (std::size_t i = 0; i < layout.edges[k].block; ++i) {
                at += blocks[i].uncompressed;
            }
            from.push_back(at);
        }
    }
    from.push_back(0xFFFFFFFF);
}

}  // namespace

Bytes BuiltSet::expected(const std::string &name) const
{
    if (name == "tail") {
        return tail;
    }
    for (const SetFile &f : files) {
        if (f.name == name) {
            return Bytes(stream.begin() + f.offset, stream.begin() + f.offset + f.size);
        }
    }
    return {};
}

std::vector<BlockPlan> encodeFolder(std::uint16_t type, const Bytes &stream, std::string &why,
                                    std::uint32_t storedBlockSize)
{
    std::unique_ptr<cabwriter::BlockEncoder> encoder;
    switch (type & 0x0F) {
    case 0: return storedBlocks(stream, storedBlockSize);
    case 1: return mszipBlocks(stream);
    case 2: encoder = cabwriter::makeQuantumEncoder(type >> 8 & 0x1F, why); break;
    default: {
        cabwriter::LzxSettings settings;
        settings.windowBits = type >> 8 & 0x1F;
        encoder = cabwriter::makeLzxEncoder(settings, why);
    }
    }
    std::vector<cabwriter::EncodedBlock> ready;
    for (std::size_t at = 0; encoder && at < stream.size(); at += 32768) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(32768, stream.size() - at));
        if (!encoder->queueBlock(stream.data() + at, n, ready, why)) {
            return {};
        }
    }
    if (!encoder || !encoder->flush(ready, why)) {
        return {};
    }
    std::vector<BlockPlan> blocks;
    for (cabwriter::EncodedBlock &b : ready) {
        blocks.push_back({std::move(b.data), static_cast<std::uint16_t>(b.uncompressed), true, {}});
    }
    return blocks;
}

bool buildContinuedSet(std::uint16_t type, const SetLayout &layout, BuiltSet &set, std::string &why)
{
    set = BuiltSet{};
    set.stream = layout.content.empty() ? patternBytes(layout.streamSize, type + 7u) : layout.content;
    set.tail = patternBytes(3000, 99);
    set.files = layout.files;
    const std::vector<BlockPlan> blocks = encodeFolder(type, set.stream, why, layout.storedBlockSize);
    if (blocks.empty()) {
        return false;
    }
    std::vector<std::vector<BlockPlan>> held;
    std::vector<std::uint32_t> from;
    cutAtEdges(blocks, layout, held, from);
    const std::size_t cabinets = held.size();
    for (std::size_t k = 0; k < cabinets; ++k) {
        CabPlan plan;
        plan.index = static_cast<std::uint16_t>(k);
        plan.hasPrevious = k > 0;
        plan.previousCabinet = k > 0 ? cabName(k - 1) : "";
        plan.previousDisk = "disk";
        plan.hasNext = k + 1 < cabinets;
        plan.nextCabinet = cabName(k + 1);
        plan.nextDisk = "disk";
        if (layout.reserves) {
            plan.reserveFlag = true;
            plan.cabinetReserve = Bytes(6, static_cast<std::uint8_t>(0xC0 + k));
            plan.folderReserve = 3;
            plan.blockReserve = 5;
            for (BlockPlan &p : held[k]) {
                p.reserve = Bytes(5, 0xBB);
            }
        }
        plan.folders.push_back({type, held[k], layout.reserves ? Bytes(3, 0xAA) : Bytes()});
        set.pieces += held[k].size();
        set.beginIn.emplace_back();
        std::vector<FilePlan> begun;
        for (const SetFile &f : layout.files) {
            const bool before = f.offset < from[k];
            const bool after = f.offset + f.size > from[k + 1];
            const bool begins = !before && f.offset < from[k + 1];
            const bool reaches = before && f.offset + f.size > from[k];
            std::uint16_t folder = 0;
            if (reaches) {
                folder = after ? 0xFFFF : 0xFFFD;
            } else if (begins) {
                folder = after ? 0xFFFE : 0;
                set.beginIn[k].push_back(f.name);
            } else {
                continue;
            }
            (reaches ? plan.files : begun).push_back(fileAt(f.name, f.size, f.offset, folder));
        }
        plan.files.insert(plan.files.end(), begun.begin(), begun.end());
        if (k + 1 == cabinets) {
            FolderPlan tail{0, storedBlocks(set.tail), layout.reserves ? Bytes(3, 0xAA) : Bytes()};
            for (BlockPlan &p : tail.blocks) {
                p.reserve = layout.reserves ? Bytes(5, 0xBB) : Bytes();
            }
            set.pieces += tail.blocks.size();
            plan.folders.push_back(tail);
            plan.files.push_back(fileAt("tail", static_cast<std::uint32_t>(set.tail.size()), 0, 1));
            set.beginIn[k].push_back("tail");
        }
        set.names.push_back(cabName(k));
        set.cabinets.push_back(buildCabinet(plan));
    }
    return true;
}

}  // namespace enginetest
