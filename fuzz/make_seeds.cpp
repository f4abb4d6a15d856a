// Writes the seed inputs of the engine fuzz target into a folder: valid
// cabinets of every shape the writer can make (every method, several folders,
// reserves, sets with split blocks and continued files, sets whose folder runs
// on with files beginning in it in the later cabinets), sets of that last kind
// laid out byte by byte as other writers make them (a file ending exactly at a
// cabinet edge, nothing crossing it), and later cabinets of such sets alone;
// some bare and some in the framed form that also sets the caller's behaviour.
//
// Usage: make_engine_seeds FOLDER
#include "continued_set.h"

#include <cabinet/writer.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Text-like bytes that compress but still give MSZIP back-references across
// block ends.
Bytes pattern(std::size_t size, std::uint32_t seed)
{
    static const char *const words[] = {"cabinet ", "folder ", "block ", "window ", "launch ", "update ", "\r\n"};
    Bytes out;
    std::uint32_t x = seed * 2654435761u + 1;
    while (out.size() < size) {
        x = x * 1103515245u + 12345u;
        const char *w = words[(x >> 16) % 7];
        while (*w != '\0' && out.size() < size) {
            out.push_back(static_cast<std::uint8_t>(*w++));
        }
    }
    return out;
}

// Bytes that do not compress, so that size limits split blocks.
Bytes noise(std::size_t size, std::uint32_t seed)
{
    Bytes out(size);
    std::uint32_t x = seed | 1;
    for (auto &b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return out;
}

struct Seed {
    std::string name;
    cabwriter::Options options;
    std::vector<std::pair<std::string, Bytes>> files;
    std::vector<std::size_t> newFolderBefore;  // file positions that begin a stored folder
    std::vector<std::uint8_t> behaviour;       // empty: bare first cabinet
    std::uint32_t parts = 0;                   // cabinets wanted: the size limit is found for them
};

bool build(const Seed &seed, std::vector<cabwriter::CabinetImage> &images);

// With parts set: the largest size limit, in steps, that gives that many cabinets.
bool buildInParts(const Seed &seed, std::vector<cabwriter::CabinetImage> &images)
{
    if (seed.parts == 0 || seed.options.maxCabinetSize != 0) {
        return build(seed, images);
    }
    std::vector<cabwriter::CabinetImage> whole;
    if (!build(seed, whole)) {
        return false;
    }
    Seed limited = seed;
    for (std::uint32_t limit = static_cast<std::uint32_t>(whole[0].bytes.size()); limit > 1000; limit -= limit / 50) {
        limited.options.maxCabinetSize = limit;
        images.clear();
        if (build(limited, images) && images.size() == seed.parts) {
            return true;
        }
    }
    std::fprintf(stderr, "%s: no limit gives %u cabinets\n", seed.name.c_str(), seed.parts);
    return false;
}

bool build(const Seed &seed, std::vector<cabwriter::CabinetImage> &images)
{
    cabwriter::Writer writer(seed.options);
    for (std::size_t i = 0; i < seed.files.size(); ++i) {
        for (std::size_t at : seed.newFolderBefore) {
            if (at == i) {
                writer.beginFolder(cabwriter::Compression{cabwriter::Method::None, 0});
            }
        }
        cabwriter::FileInfo info;
        info.name = seed.files[i].first;
        info.attributes = static_cast<std::uint16_t>(i % 2 == 0 ? 0x20 : 0x61);
        if (!writer.addFile(info, seed.files[i].second)) {
            std::fprintf(stderr, "%s: %s\n", seed.name.c_str(), writer.error().c_str());
            return false;
        }
    }
    if (!writer.build(images)) {
        std::fprintf(stderr, "%s: %s\n", seed.name.c_str(), writer.error().c_str());
        return false;
    }
    return true;
}

void put32(Bytes &out, std::size_t v)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

Bytes frame(const std::vector<cabwriter::CabinetImage> &images, const std::vector<std::uint8_t> &behaviour)
{
    Bytes out{'F', 'Z', static_cast<std::uint8_t>(images.size() - 1)};
    Bytes b = behaviour;
    b.resize(14, 0);
    out.insert(out.end(), b.begin(), b.end());
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (i + 1 < images.size()) {
            put32(out, images[i].bytes.size());
        }
        out.insert(out.end(), images[i].bytes.begin(), images[i].bytes.end());
    }
    return out;
}

// Sets laid out byte by byte as other writers make them, for every method:
// in two cabinets a file ends exactly at the edge and the next begins the
// later cabinet's part of the folder, with nothing crossing (no continued
// entry); in three, with reserves, a file crosses a split block at the first
// edge and one ends exactly at the second. Each walked from its first cabinet,
// and its later cabinets without the first: the second cabinet bare, and the
// last two framed.
bool addLaidOutSets(std::vector<std::pair<std::string, Bytes>> &inputs)
{
    using enginetest::SetLayout;
    const struct {
        const char *name;
        std::uint16_t type;
    } methods[] = {{"stored", 0x0000}, {"mszip", 0x0001}, {"lzx", 0x1003}, {"quantum", 0x1002}};
    const std::vector<std::uint8_t> walk = {0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0x10, 0};
    for (const auto &method : methods) {
        // Stored data in small blocks keeps the seeds short.
        const std::uint32_t b = method.type == 0 ? 4096 : 32768;
        SetLayout two;
        two.streamSize = 2 * b + b / 8;
        two.edges = {{1, false}};
        two.files = {{"a", 0, b}, {"c", b, b / 4}, {"d", b + b / 4, b - b / 8}};
        SetLayout three;
        three.streamSize = 4 * b;
        three.edges = {{1, true}, {2, false}};
        three.files = {{"a", 0, b / 4},          {"b", b / 4, b},     {"c", b + b / 4, b / 4},
                       {"e", b + b / 2, b / 2}, {"f", 2 * b, b / 8}, {"g", 2 * b + b / 8, 2 * b - b / 8}};
        three.reserves = true;
        for (SetLayout *layout : {&two, &three}) {
            layout->storedBlockSize = b;
            if (method.type != 0) {
                layout->content = pattern(layout->streamSize, method.type);
            }
            enginetest::BuiltSet set;
            std::string why;
            if (!enginetest::buildContinuedSet(method.type, *layout, set, why)) {
                std::fprintf(stderr, "laid-out %s set: %s\n", method.name, why.c_str());
                return false;
            }
            std::vector<cabwriter::CabinetImage> images;
            for (std::size_t k = 0; k < set.cabinets.size(); ++k) {
                images.push_back({set.names[k], set.cabinets[k]});
            }
            const std::string name = std::string("laid-out") + std::to_string(images.size()) + "-" + method.name;
            inputs.emplace_back(name, frame(images, walk));
            if (images.size() == 2) {
                inputs.emplace_back(name + "-second-alone", images[1].bytes);
            } else {
                inputs.emplace_back(name + "-later-alone", frame({images[1], images[2]}, walk));
            }
        }
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_engine_seeds FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);

    using cabwriter::Method;
    std::vector<Seed> seeds;
    {
        Seed s;
        s.name = "stored";
        s.options.compression.method = Method::None;
        s.files = {{"a.txt", pattern(100, 1)}, {"empty", {}}, {"dir\\b.bin", noise(40000, 2)}};
        seeds.push_back(s);
    }
    {
        Seed s;
        s.name = "mszip";
        s.files = {{"one.txt", pattern(70000, 3)}, {"two.txt", pattern(300, 4)}, {"three", noise(500, 5)}};
        seeds.push_back(s);
    }
    {
        Seed s;
        s.name = "folders";
        s.options.filesPerFolder = 1;
        s.options.checksums = false;
        s.files = {{"x", pattern(5000, 6)}, {"y", pattern(40000, 7)}, {"z", pattern(10, 8)}};
        s.newFolderBefore = {2};
        seeds.push_back(s);
    }
    {
        Seed s;
        s.name = "reserves";
        s.options.cabinetReserve = 6;
        s.options.folderReserve = 3;
        s.options.blockReserve = 5;
        s.options.reserveFill = 0xA7;
        s.files = {{"r1", pattern(33000, 9)}, {"r2", noise(200, 10)}};
        s.behaviour = {0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0x02, 0};
        seeds.push_back(s);
    }
    {
        Seed s;
        s.name = "reserve-fields-zero";
        s.options.compression.method = Method::None;
        s.options.reserveFieldsAlways = true;
        s.files = {{"z1", pattern(10, 11)}, {"z2", pattern(20, 12)}};
        seeds.push_back(s);
    }
    {
        Seed s;
        s.name = "set-stored";
        s.options.compression.method = Method::None;
        s.options.maxCabinetSize = 3000;
        s.options.setId = 0x4242;
        s.files = {{"s1", noise(2500, 13)}, {"s2", noise(2500, 14)}, {"s3", noise(400, 15)}};
        s.behaviour = {0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0x01, 0};
        seeds.push_back(s);
    }
    {
        Seed s;
        s.name = "set-mszip";
        s.options.maxCabinetSize = 2500;
        s.options.setId = 7;
        s.options.blockReserve = 2;
        s.files = {{"m1", noise(3000, 16)}, {"m2", pattern(1000, 17)}};
        s.behaviour = {0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0x03, 0};
        seeds.push_back(s);
    }
    {
        Seed s;
        s.name = "quantum";
        s.options.compression = cabwriter::Compression{Method::Quantum, 12};
        s.files = {{"q1", pattern(40000, 21)}, {"q2", noise(300, 22)}, {"q3", pattern(900, 23)}};
        seeds.push_back(s);
    }
    {
        Seed s;
        s.name = "set-quantum";
        s.options.compression = cabwriter::Compression{Method::Quantum, 16};
        s.options.maxCabinetSize = 2500;
        s.files = {{"n1", noise(2800, 24)}, {"n2", pattern(3000, 25)}};
        s.behaviour = {0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0x03, 0};
        seeds.push_back(s);
    }
    {
        Seed s;
        s.name = "set-skip";
        s.options.compression.method = Method::None;
        s.options.maxCabinetSize = 2000;
        s.files = {{"k1", noise(1500, 18)}, {"k2", noise(1500, 19)}, {"k3", noise(100, 20)}};
        s.behaviour = {0x01, 0, 0, 0, 0, 0, 0, 0x04, 1, 0, 0x01, 30, 0x05, 0};
        seeds.push_back(s);
    }

    // Folders that run on with files beginning in them in the later cabinets,
    // from the writer: every method in two and three cabinets, the three with
    // reserves; the stored ones split blocks at every edge.
    const Method methods[] = {Method::None, Method::Mszip, Method::Lzx, Method::Quantum};
    const char *const methodNames[] = {"stored", "mszip", "lzx", "quantum"};
    for (std::size_t m = 0; m < 4; ++m) {
        for (std::uint32_t parts : {2u, 3u}) {
            Seed s;
            s.name = std::string("continued") + std::to_string(parts) + "-" + methodNames[m];
            s.options.compression = cabwriter::Compression{methods[m], 16};
            s.options.continueFolders = true;
            s.options.setId = static_cast<std::uint16_t>(0x6000 + m);
            if (parts == 3) {
                s.options.cabinetReserve = 4;
                s.options.folderReserve = 2;
                s.options.blockReserve = 3;
                s.options.reserveFill = 0x5C;
            }
            for (std::uint32_t i = 0; i < 6; ++i) {
                s.files.push_back({"c" + std::to_string(i), i % 2 == 0 ? pattern(6000 + 1500 * i, 40 + i)
                                                                      : noise(2500 + 500 * i, 50 + i)});
            }
            s.parts = parts;
            s.behaviour = {0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, static_cast<std::uint8_t>(parts == 2 ? 0x11 : 0x10), 0};
            seeds.push_back(s);
        }
    }
    // The writer's file that ends exactly where its cabinet does: the tail of
    // a is the first piece of a split block, and b and c follow in the second.
    {
        Seed s;
        s.name = "continued-edge-stored";
        s.options.compression.method = Method::None;
        s.options.continueFolders = true;
        // Header with the next cabinet's names, one folder entry, three file
        // entries, one block header and a's 5000 bytes.
        s.options.maxCabinetSize = 36 + 9 + 6 + 8 + 3 * 18 + 8 + 5000;
        s.files = {{"a", noise(5000, 60)}, {"b", noise(700, 61)}, {"c", pattern(900, 62)}};
        s.parts = 2;
        s.behaviour = {0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0x10, 0};
        seeds.push_back(s);
    }

    std::vector<std::pair<std::string, Bytes>> inputs;
    for (const Seed &seed : seeds) {
        std::vector<cabwriter::CabinetImage> images;
        if (!buildInParts(seed, images)) {
            return 1;
        }
        if (images.size() > 3) {
            std::fprintf(stderr, "%s: %zu cabinets, more than a seed may hold\n", seed.name.c_str(), images.size());
            return 1;
        }
        inputs.emplace_back(seed.name, (seed.behaviour.empty() && images.size() == 1) ? images[0].bytes
                                                                                    : frame(images, seed.behaviour));
    }
    if (!addLaidOutSets(inputs)) {
        return 1;
    }
    int written = 0;
    for (const auto &[name, bytes] : inputs) {
        std::ofstream out(folder / (name + ".cab"), std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", (folder / name).string().c_str());
            return 1;
        }
        ++written;
    }
    std::printf("%d seeds written to %s\n", written, folder.string().c_str());
    return 0;
}
