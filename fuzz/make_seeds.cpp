// Writes the seed inputs of the engine fuzz target into a folder: valid
// cabinets of every shape the writer can make (stored, MSZIP and Quantum folders, several
// folders, reserves, sets with split blocks and continued files), some bare and
// some in the framed form that also sets the caller's behaviour.
//
// Usage: make_engine_seeds FOLDER
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
};

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

    int written = 0;
    for (const Seed &seed : seeds) {
        std::vector<cabwriter::CabinetImage> images;
        if (!build(seed, images)) {
            return 1;
        }
        if (images.size() > 3) {
            std::fprintf(stderr, "%s: %zu cabinets, more than a seed may hold\n", seed.name.c_str(), images.size());
            return 1;
        }
        Bytes bytes = (seed.behaviour.empty() && images.size() == 1) ? images[0].bytes : frame(images, seed.behaviour);
        std::ofstream out(folder / (seed.name + ".cab"), std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", (folder / seed.name).string().c_str());
            return 1;
        }
        ++written;
    }
    std::printf("%d seeds written to %s\n", written, folder.string().c_str());
    return 0;
}
