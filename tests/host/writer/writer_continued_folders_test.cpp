// Sets whose folders run on across cabinets with files beginning in the later
// ones (Options::continueFolders), checked structure by structure with the
// independent reader in mini_cab and decoded folder by folder across the set.
// The engine is not used: extracting such a set from a later cabinet is its
// own concern, with its own tests.
#include "corpus.h"
#include "mini_cab.h"

#include "decoder.h"

#include <cabinet/writer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using cabwriter::Compression;
using cabwriter::Method;
using cabwriter::Options;

constexpr std::uint16_t kFromPrevious = 0xFFFD;
constexpr std::uint16_t kToNext = 0xFFFE;
constexpr std::uint16_t kBoth = 0xFFFF;

bool continuedEntry(const minicab::File &f) { return f.folder == kFromPrevious || f.folder == kBoth; }
bool goingOnEntry(const minicab::File &f) { return f.folder == kToNext || f.folder == kBoth; }

struct Set {
    std::vector<cabwriter::CabinetImage> images;
    std::vector<minicab::Cabinet> cabs;
    std::vector<minicab::Extracted> files;  // as cut out of the decoded folders, in set order
    // Files that begin in a later cabinet inside the folder continued into it.
    std::vector<std::string> begunInContinuedFolder;
};

// One decoder per folder, fed the folder's blocks in order: for the methods
// mini_cab does not decode itself.
class EngineBlockDecoder {
public:
    ~EngineBlockDecoder() { close(); }

    bool decode(std::uint16_t type, const minicab::Block &block, bool first, std::vector<std::uint8_t> &out,
                std::string &error)
    {
        if (first) {
            close();
            ops_ = (type & 0xF) == 2 ? &kQuantumDecoder : &kLzxDecoder;
            std::uint32_t maxBlock = 32768;
            const DecoderParams params{(type >> 8) & 0x1Fu, 1};
            const DecoderCallbacks callbacks{[](std::uint32_t n) { return std::malloc(n); }, std::free,
                                             [](const char *, std::int32_t, std::int32_t) { return -1; }, nullptr,
                                             nullptr, nullptr, nullptr};
            if (ops_->queryBufferSizes(&maxBlock, params, &bufferSize_) != DecoderResult::Ok ||
                ops_->createDecoder(&maxBlock, params, callbacks, &object_) != DecoderResult::Ok) {
                error = "cannot make a decoder";
                return false;
            }
        }
        if (block.data.size() > bufferSize_) {
            error = "a block larger than a reader's buffer";
            return false;
        }
        out.assign(32768, 0);
        std::uint32_t size = block.uncompressed;
        if (ops_->decodeBlock(object_, block.data.data(), static_cast<std::uint32_t>(block.data.size()), out.data(),
                              &size) != DecoderResult::Ok) {
            error = "a block does not decode";
            return false;
        }
        out.resize(size);
        return true;
    }

private:
    void close()
    {
        if (object_ != nullptr) {
            ops_->destroyDecoder(object_);
            object_ = nullptr;
        }
    }
    const BlockDecoder *ops_ = nullptr;
    void *object_ = nullptr;
    std::uint32_t bufferSize_ = 0;
};

// Every rule a reader of the set relies on, then every file decoded from its
// folder's data joined across cabinets and compared with its input.
void checkSet(Set &set, const Options &options, const std::vector<corpus::Entry> &input)
{
    const auto &cabs = set.cabs;
    const std::size_t n = cabs.size();
    const bool reserves = options.cabinetReserve != 0 || options.folderReserve != 0 || options.blockReserve != 0;
    std::uint64_t folderStart = 0;  // stream offset where the last cabinet's part of its last folder began
    std::uint64_t folderDone = 0;   // and where its last whole block ended there
    for (std::size_t c = 0; c < n; ++c) {
        SCOPED_TRACE(corpus::numbered("cabinet ", c));
        const minicab::Cabinet &cab = cabs[c];
        EXPECT_EQ(set.images[c].name, cabwriter::setMemberName(options.firstCabinetName, static_cast<unsigned>(c)));
        EXPECT_LE(set.images[c].bytes.size(), options.maxCabinetSize);
        EXPECT_EQ(cab.setId, options.setId);
        EXPECT_EQ(cab.index, c);
        EXPECT_EQ(cab.flags, (c > 0 ? 1 : 0) | (c + 1 < n ? 2 : 0) | (reserves ? 4 : 0));
        EXPECT_EQ(cab.previousName, c > 0 ? set.images[c - 1].name : "");
        EXPECT_EQ(cab.nextName, c + 1 < n ? set.images[c + 1].name : "");
        EXPECT_EQ(cab.cabinetReserve, std::vector<std::uint8_t>(options.cabinetReserve, options.reserveFill));
        ASSERT_FALSE(cab.folders.empty());

        // Continued entries lead the list, exactly the previous cabinet's
        // going-on entries in its order; they alone say that folder 0 began earlier.
        std::vector<const minicab::File *> before, continued;
        if (c > 0) {
            for (const auto &f : cabs[c - 1].files) {
                if (goingOnEntry(f)) {
                    before.push_back(&f);
                }
            }
        }
        for (const auto &f : cab.files) {
            if (continuedEntry(f)) {
                EXPECT_EQ(continued.size(), static_cast<std::size_t>(&f - cab.files.data())) << f.name;
                continued.push_back(&f);
            }
        }
        ASSERT_EQ(continued.size(), before.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(continued[i]->name, before[i]->name);
            EXPECT_EQ(continued[i]->offset, before[i]->offset);
            EXPECT_EQ(continued[i]->size, before[i]->size);
        }
        if (continued.empty()) {
            folderStart = folderDone = 0;
        } else {
            EXPECT_EQ(cab.folders[0].type, cabs[c - 1].folders.back().type);
            folderStart = folderDone;
        }

        for (std::size_t f = 0; f < cab.folders.size(); ++f) {
            const minicab::Folder &folder = cab.folders[f];
            EXPECT_EQ(folder.reserve, std::vector<std::uint8_t>(options.folderReserve, options.reserveFill));
            if (f > 0) {
                folderStart = folderDone = 0;
            }
            std::uint64_t end = folderStart;
            for (std::size_t b = 0; b < folder.blocks.size(); ++b) {
                const minicab::Block &block = folder.blocks[b];
                EXPECT_EQ(block.checksum, minicab::expectedChecksum(block));
                EXPECT_EQ(block.reserve, std::vector<std::uint8_t>(options.blockReserve, options.reserveFill));
                if (block.uncompressed == 0) {
                    // A first piece ends the cabinet; its block is finished in the next.
                    EXPECT_TRUE(b + 1 == folder.blocks.size() && f + 1 == cab.folders.size() && c + 1 < n);
                    ASSERT_FALSE(c + 1 == n || cabs[c + 1].folders[0].blocks.empty());
                }
                folderDone += block.uncompressed;
            }
            end = folderDone;
            if (!folder.blocks.empty() && folder.blocks.back().uncompressed == 0) {
                end += cabs[c + 1].folders[0].blocks[0].uncompressed;
            }
            // Files that begin here have their first byte in this cabinet's
            // part of the folder (a block split off into the next counts);
            // a file goes on exactly when its end lies beyond the last block
            // finished here.
            for (const auto &file : cab.files) {
                const bool last = f + 1 == cab.folders.size();
                const bool here = file.folder == f || (last && file.folder == kToNext) ||
                                  (f == 0 && file.folder == kFromPrevious) || (file.folder == kBoth && last && f == 0);
                if (!here) {
                    continue;
                }
                SCOPED_TRACE(file.name);
                const std::uint64_t fileEnd = std::uint64_t{file.offset} + file.size;
                // An empty file has no bytes to carry on.
                EXPECT_EQ(goingOnEntry(file), file.size != 0 && fileEnd > folderDone);
                if (!continuedEntry(file)) {
                    EXPECT_GE(file.offset, folderStart);
                    EXPECT_TRUE(file.size == 0 ? file.offset <= end : file.offset < end);
                    if (f == 0 && !continued.empty()) {
                        set.begunInContinuedFolder.push_back(file.name);
                    }
                }
            }
        }
        for (const auto &file : cab.files) {
            EXPECT_TRUE(file.folder < cab.folders.size() || file.folder >= kFromPrevious) << file.name;
            EXPECT_FALSE(file.folder == kBoth && cab.folders.size() != 1) << file.name;
        }
        if (c + 1 == n) {
            EXPECT_TRUE(std::none_of(cab.files.begin(), cab.files.end(), goingOnEntry));
        }
    }

    EngineBlockDecoder decoder;
    std::string error;
    ASSERT_TRUE(minicab::extractSet(cabs, set.files, error,
                                    [&](std::uint16_t type, const minicab::Block &block, bool first,
                                        std::vector<std::uint8_t> &out, std::string &why) {
                                        return decoder.decode(type, block, first, out, why);
                                    }))
        << error;
    // Within a cabinet the files that go on are listed last; across the set
    // the files begin in the order they were given.
    ASSERT_EQ(set.files.size(), input.size());
    unsigned cabinet = 0;
    for (const corpus::Entry &entry : input) {
        SCOPED_TRACE(entry.info.name);
        std::string stored = entry.info.name;
        std::replace(stored.begin(), stored.end(), '/', '\\');
        const auto found = std::find_if(set.files.begin(), set.files.end(),
                                        [&](const minicab::Extracted &e) { return e.name == stored; });
        ASSERT_NE(found, set.files.end());
        EXPECT_TRUE(found->bytes == entry.bytes);
        EXPECT_EQ(found->date, entry.info.date);
        EXPECT_EQ(found->attributes, entry.info.attributes);
        EXPECT_GE(found->cabinet, cabinet);
        cabinet = found->cabinet;
    }
}

Set build(const Options &options, const std::vector<corpus::Entry> &input)
{
    Set set;
    cabwriter::Writer writer(options);
    for (const auto &entry : input) {
        EXPECT_TRUE(writer.addFile(entry.info, entry.bytes)) << writer.error();
    }
    EXPECT_TRUE(writer.build(set.images)) << writer.error();
    for (const auto &image : set.images) {
        minicab::Cabinet cab;
        std::string error;
        EXPECT_TRUE(minicab::parse(image.bytes, cab, error)) << image.name << ": " << error;
        set.cabs.push_back(cab);
    }
    return set;
}

// The size of one cabinet holding everything.
std::size_t wholeSize(const Compression &method, const std::vector<corpus::Entry> &input)
{
    Options single;
    single.compression = method;
    return build(single, input).images.at(0).bytes.size();
}

Options continuing(Compression compression, std::uint32_t limit)
{
    Options options;
    options.compression = compression;
    options.maxCabinetSize = limit;
    options.continueFolders = true;
    options.setId = 0x1234;
    options.firstCabinetName = "RUN.cab";
    return options;
}

// Text, incompressible stretches, program-like bytes, an empty file and a run
// of small files; no file ends on a 32768-byte boundary of the stream.
std::vector<corpus::Entry> mixedCorpus()
{
    std::vector<corpus::Entry> files{corpus::file("readme.txt", corpus::prose(30011, 1)),
                                     corpus::file("data/noise.bin", corpus::noise(50003, 2)),
                                     corpus::file("empty.txt", {})};
    std::vector<std::uint8_t> program;
    for (std::uint32_t i = 0; program.size() < 90001; ++i) {
        const std::uint8_t op[] = {0xE8, static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i >> 3), 0, 0,
                                   0x8B, 0x45, static_cast<std::uint8_t>(i & 0x3C)};
        program.insert(program.end(), std::begin(op), std::end(op));
    }
    program.resize(90001);
    files.push_back(corpus::file("bin/tool.exe", program));
    for (std::size_t i = 0; i < 24; ++i) {
        files.push_back(corpus::file(corpus::numbered("small/s", i) + ".txt",
                                     i % 4 == 0 ? corpus::noise(300 + i * 97, static_cast<std::uint32_t>(i))
                                                : corpus::prose(500 + i * 131, static_cast<std::uint32_t>(i))));
    }
    files.push_back(corpus::file("table.txt", corpus::prose(120007, 3)));
    files.push_back(corpus::file("tail.bin", corpus::noise(7001, 4)));
    return files;
}

const Compression kMethods[] = {{Method::None, 0}, {Method::Mszip, 0}, {Method::Lzx, 21}, {Method::Quantum, 21}};

std::string methodName(const Compression &method) { return corpus::numbered("method ", static_cast<unsigned>(method.method)); }

TEST(WriterContinuedFolders, FilesBeginInTheFolderThatRunsOnWithEveryMethod)
{
    const auto input = mixedCorpus();
    for (const Compression &method : kMethods) {
        SCOPED_TRACE(methodName(method));
        const std::size_t whole = wholeSize(method, input);
        for (const std::size_t parts : {2u, 3u}) {
            SCOPED_TRACE(corpus::numbered("parts ", parts));
            const Options options = continuing(method, static_cast<std::uint32_t>(whole / parts + 600));
            Set set = build(options, input);
            ASSERT_EQ(set.cabs.size(), parts);
            checkSet(set, options, input);
            // One folder throughout, and files begin in it in every later
            // cabinet; one that begins there may still go on into the next.
            for (const auto &cab : set.cabs) {
                EXPECT_EQ(cab.folders.size(), 1u);
            }
            for (std::size_t c = 1; c < parts; ++c) {
                EXPECT_TRUE(std::any_of(set.cabs[c].files.begin(), set.cabs[c].files.end(),
                                        [](const minicab::File &f) { return !continuedEntry(f); }));
            }
            EXPECT_FALSE(set.begunInContinuedFolder.empty());
        }
    }
}

// A cabinet of L bytes holding a, then b and c; with stored data every byte
// of the edge is known: header 49 (names E2.cab, DISK2), folder entry 8,
// entries of 18, blocks of 8 + 32768.
TEST(WriterContinuedFolders, AtTheCabinetEdge)
{
    struct Case {
        const char *what;
        std::size_t aSize;
        std::size_t bcSize;
        std::uint32_t limit;
        // Folder index of each entry, cabinet by cabinet.
        std::vector<std::vector<std::uint16_t>> folders;
        unsigned bBeginsIn;
    } cases[] = {
        // a fills the cabinet with whole blocks: nothing crosses, so b begins a new folder.
        {"a ends with a block that fills the cabinet", 65536, 1000, 49 + 8 + 18 + 2 * 32776 + 20, {{0}, {0, 0}}, 1},
        // a's tail is exactly the first piece of a split block: a goes on, b and c follow in the second piece.
        {"a ends with the first piece", 40000, 1000, 49 + 8 + 3 * 18 + 32776 + 8 + 7232,
         {{kToNext, kToNext, kToNext}, {kFromPrevious, kFromPrevious, kFromPrevious}}, 0},
        // No room for b's entry: b and c wait for the next cabinet, the block is split so that a crosses.
        {"b finds no room for its entry", 40000, 1000, 49 + 8 + 18 + 32776 + 20, {{kToNext}, {kFromPrevious, 0, 0}}, 1},
        // Not even room for a piece: the block moves whole, and a still crosses.
        {"no room for a piece", 40000, 1000, 49 + 8 + 18 + 32776 + 5, {{kToNext}, {kFromPrevious, 0, 0}}, 1},
        // The last block (a's last 10 bytes, b and c) would fit whole, but b waits: it is split all the same.
        {"b waits where its block would fit", 32778, 3, 49 + 8 + 18 + 32776 + 26, {{kToNext}, {kFromPrevious, 0, 0}}, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Options options = continuing(Compression{Method::None, 0}, c.limit);
        options.firstCabinetName = "E.cab";
        const std::vector<corpus::Entry> input{corpus::file("a", corpus::noise(c.aSize, 1)),
                                               corpus::file("b", corpus::noise(c.bcSize, 2)),
                                               corpus::file("c", corpus::noise(c.bcSize, 3))};
        Set set = build(options, input);
        ASSERT_EQ(set.cabs.size(), c.folders.size());
        for (std::size_t k = 0; k < set.cabs.size(); ++k) {
            std::vector<std::uint16_t> got;
            for (const auto &f : set.cabs[k].files) {
                got.push_back(f.folder);
            }
            EXPECT_EQ(got, c.folders[k]) << "cabinet " << k;
        }
        checkSet(set, options, input);
        ASSERT_EQ(set.files.size(), 3u);
        EXPECT_EQ(set.files[1].cabinet, c.bBeginsIn);
    }
}

TEST(WriterContinuedFolders, AFileLargerThanACabinetIsFollowedInTheLastOneItReaches)
{
    Options options = continuing(Compression{Method::None, 0}, 50000);
    const std::vector<corpus::Entry> input{
        corpus::file("lead.txt", corpus::prose(5000, 1)), corpus::file("huge.bin", corpus::noise(140000, 2)),
        corpus::file("after.txt", corpus::prose(1000, 3)), corpus::file("after2.txt", corpus::prose(1000, 4))};
    Set set = build(options, input);
    ASSERT_EQ(set.cabs.size(), 3u);
    checkSet(set, options, input);
    ASSERT_EQ(set.cabs[1].files.size(), 1u);
    EXPECT_EQ(set.cabs[1].files[0].folder, kBoth);
    const auto &last = set.cabs[2].files;
    ASSERT_EQ(last.size(), 3u);
    EXPECT_EQ(last[0].folder, kFromPrevious);
    EXPECT_EQ(last[1].name, "after.txt");
    EXPECT_EQ(last[1].folder, 0);
    EXPECT_EQ(last[1].offset, 145000u);
}

TEST(WriterContinuedFolders, ReserveAreasAndChecksumsInEveryCabinet)
{
    const auto input = mixedCorpus();
    const Compression mszip{Method::Mszip, 0};
    Options options = continuing(mszip, static_cast<std::uint32_t>(wholeSize(mszip, input) / 3 + 600));
    options.cabinetReserve = 6;
    options.folderReserve = 4;
    options.blockReserve = 2;
    options.reserveFill = 0x5A;
    Set set = build(options, input);
    ASSERT_EQ(set.cabs.size(), 3u);
    checkSet(set, options, input);
    EXPECT_FALSE(set.begunInContinuedFolder.empty());
}

// Limits stepped over a range cross every kind of edge: entries, pieces,
// whole blocks, held-back LZX blocks, full block counts; none is ever exceeded.
TEST(WriterContinuedFolders, EveryLimitGivesAReadableSetWithinTheLimit)
{
    std::vector<corpus::Entry> input = mixedCorpus();
    input.resize(14);
    std::size_t stream = 0;
    for (const auto &entry : input) {
        stream += entry.bytes.size();
    }
    // Ends the stream on a block boundary, where nothing crosses an edge that falls there.
    input.push_back(corpus::file("exact.bin", corpus::noise(65536 - stream % 32768, 9)));
    input.push_back(corpus::file("zeros.bin", std::vector<std::uint8_t>(70000, 0)));
    input.push_back(corpus::file("last.txt", corpus::prose(2000, 9)));
    for (const Compression &method : kMethods) {
        SCOPED_TRACE(methodName(method));
        const std::size_t whole = wholeSize(method, input);
        const int steps = method.method == Method::None || method.method == Method::Mszip ? 16 : 5;
        for (int step = 0; step < steps; ++step) {
            const auto limit = static_cast<std::uint32_t>(std::max<std::size_t>(
                50000, whole / 6 + (whole / 2) * static_cast<std::size_t>(step) / static_cast<std::size_t>(steps)));
            SCOPED_TRACE(corpus::numbered("limit ", limit));
            Options options = continuing(method, limit);
            // Some steps also end a folder's part in a cabinet after three
            // blocks, so that it goes on for a reason other than room.
            options.maxBlocksPerFolder = step % 3 == 2 ? 3 : 65535;
            Set set = build(options, input);
            checkSet(set, options, input);
        }
    }
}

TEST(WriterContinuedFolders, ChangesNothingWhereNoFolderRunsOn)
{
    const auto input = mixedCorpus();
    for (const std::uint32_t limit : {0u, 10000000u}) {
        Options plain;
        plain.maxCabinetSize = limit;
        Options continued = plain;
        continued.continueFolders = true;
        const Set a = build(plain, input);
        const Set b = build(continued, input);
        ASSERT_EQ(a.images.size(), 1u);
        ASSERT_EQ(b.images.size(), 1u);
        EXPECT_TRUE(a.images[0].bytes == b.images[0].bytes) << "limit " << limit;
    }
}

}  // namespace
