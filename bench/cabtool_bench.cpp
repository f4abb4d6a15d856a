// cabtool as a user runs it, against the programs a user would compare it
// with, all measured as whole processes in the same run.
//
// The driver writes the benchmark corpus as 32 files, packs them with cabtool
// as MSZIP, LZX:21 and Quantum:21 cabinets, and writes the same corpus as ONE
// raw deflate stream (zlib, default level, the one the MSZIP benchmarks use)
// and, when xz is installed, as one xz stream. Then, in three rounds, it runs
// each process once per round, in three tables:
//   extraction: `cabtool test` on each cabinet, this program decoding the
//     deflate stream with libdeflate and with zlib (it starts itself with
//     --decode), and `xz -d`;
//   packing: `cabtool create` of the corpus folder as MSZIP and LZX:21, this
//     program deflating the corpus file as one stream with libdeflate and
//     zlib at their default level (--encode), and `xz -6`, with each output's
//     size against the corpus and against xz's;
//   a sparse file of 4 GiB - 1 bytes packed by `cabtool create` as a set of
//     cabinets, once per method: its peak memory shows that create's does not
//     grow with the input.
// Each figure is the median of its three wall times, with the largest peak
// resident size the kernel reported for it; each row is also given as a ratio
// against libdeflate and against zlib. The same figures from CPU time (user
// plus system) follow, for a machine busy with other work.
//
//   cabtool_bench [--only NAME,...] [--keep DIR] [CABTOOL]
//
// --only limits the cabtool rows (mszip, lzx, quantum for extraction; create;
// sparse); the baselines always run with them, so the ratios stay measured in
// the same run. --keep DIR keeps the corpus, streams, cabinets and the sparse
// file there and reuses them in later runs (delete a file to have it made
// again; making the LZX and Quantum cabinets takes minutes).
#include "corpus.h"
#include "mszip_folder.h"

#include <zlib.h>
#ifdef ORVEL_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using bench::Bytes;

constexpr unsigned kFiles = 32;
constexpr int kRounds = 3;

#ifdef ORVEL_HAVE_LIBDEFLATE
constexpr bool kHaveLibdeflate = true;
#else
constexpr bool kHaveLibdeflate = false;
#endif

bool readFile(const std::string &path, Bytes &out)
{
    std::FILE *in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        return false;
    }
    std::error_code error;
    out.resize(static_cast<std::size_t>(fs::file_size(path, error)));
    const bool ok = !error && std::fread(out.data(), 1, out.size(), in) == out.size();
    std::fclose(in);
    return ok;
}

bool writeFile(const fs::path &path, const std::uint8_t *data, std::size_t size)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

// ---- The baselines, run as child processes --------------------------------------------

// What a user's own decoding program does: read the stream, decode it whole.
// Answers the output size, and its CRC-32 through crc when given (not timed).
long decodeZlib(const Bytes &in, uLong *crc)
{
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK) {
        return -1;
    }
    static std::uint8_t out[256 << 10];
    stream.next_in = const_cast<Bytef *>(in.data());
    stream.avail_in = static_cast<uInt>(in.size());
    long total = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = out;
        stream.avail_out = sizeof out;
        status = inflate(&stream, Z_NO_FLUSH);
        const std::size_t made = sizeof out - stream.avail_out;
        if (crc != nullptr) {
            *crc = crc32(*crc, out, static_cast<uInt>(made));
        }
        total += static_cast<long>(made);
    }
    inflateEnd(&stream);
    return status == Z_STREAM_END ? total : -1;
}

long decodeLibdeflate([[maybe_unused]] const Bytes &in, [[maybe_unused]] uLong *crc)
{
#ifdef ORVEL_HAVE_LIBDEFLATE
    // libdeflate decodes into one buffer the size of the whole output.
    // The buffer is left uninitialised, as a program of its own would.
    libdeflate_decompressor *decompressor = libdeflate_alloc_decompressor();
    const std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[bench::kCorpusSize]);
    std::size_t made = 0;
    const libdeflate_result result =
        libdeflate_deflate_decompress(decompressor, in.data(), in.size(), out.get(), bench::kCorpusSize, &made);
    libdeflate_free_decompressor(decompressor);
    if (result != LIBDEFLATE_SUCCESS) {
        return -1;
    }
    if (crc != nullptr) {
        *crc = crc32(*crc, out.get(), static_cast<uInt>(made));
    }
    return static_cast<long>(made);
#else
    return -1;
#endif
}

// What a user's own packing program does: read the file, deflate it whole at
// the default level into one buffer. Answers the stream's size.
long encodeZlib(const Bytes &in)
{
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    const std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[size]);
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return -1;
    }
    stream.next_in = const_cast<Bytef *>(in.data());
    stream.avail_in = static_cast<uInt>(in.size());
    stream.next_out = out.get();
    stream.avail_out = static_cast<uInt>(size);
    const int status = deflate(&stream, Z_FINISH);
    size = stream.total_out;
    deflateEnd(&stream);
    return status == Z_STREAM_END ? static_cast<long>(size) : -1;
}

long encodeLibdeflate([[maybe_unused]] const Bytes &in)
{
#ifdef ORVEL_HAVE_LIBDEFLATE
    libdeflate_compressor *compressor = libdeflate_alloc_compressor(6);
    const std::size_t bound = libdeflate_deflate_compress_bound(compressor, in.size());
    const std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[bound]);
    const std::size_t size = libdeflate_deflate_compress(compressor, in.data(), in.size(), out.get(), bound);
    libdeflate_free_compressor(compressor);
    return size == 0 ? -1 : static_cast<long>(size);
#else
    return -1;
#endif
}

// --encode zlib|libdeflate FILE: exits 0 when the file was deflated.
int encodeMain(int argc, char **argv)
{
    Bytes in;
    if (argc < 4 || !readFile(argv[3], in)) {
        return 2;
    }
    const std::string which = argv[2];
    return (which == "zlib" ? encodeZlib(in) : encodeLibdeflate(in)) < 0 ? 1 : 0;
}

// --decode zlib|libdeflate FILE [--crc]: exits 0 when the stream decoded.
int decodeMain(int argc, char **argv)
{
    if (argc < 4) {
        return 2;
    }
    const std::string which = argv[2];
    const bool printCrc = argc > 4 && std::strcmp(argv[4], "--crc") == 0;
    Bytes in;
    if (!readFile(argv[3], in)) {
        return 2;
    }
    uLong crc = crc32(0, nullptr, 0);
    const long made = which == "zlib" ? decodeZlib(in, printCrc ? &crc : nullptr)
                                      : decodeLibdeflate(in, printCrc ? &crc : nullptr);
    if (made < 0) {
        return 1;
    }
    if (printCrc) {
        std::printf("%ld %08lx\n", made, crc);
    }
    return 0;
}

// ---- Processes ---------------------------------------------------------------------------

struct RunResult {
    bool ok;
    double seconds;
    double cpuSeconds;  // user and system time: steadier than wall time on a busy machine
    long peakKiB;
};

// Runs argv with stdout sent to `output` (or /dev/null), and answers its wall
// time and peak resident size.
RunResult runProcess(const std::vector<std::string> &args, const std::string &output = "/dev/null")
{
    std::vector<char *> argv;
    for (const std::string &arg : args) {
        argv.push_back(const_cast<char *>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return {false, 0, 0, 0};
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const auto toSeconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, took.count(),
            toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime), usage.ru_maxrss};
}

struct Row {
    Row(std::string nameIn, std::vector<std::string> commandIn)
        : name(std::move(nameIn)), command(std::move(commandIn))
    {
    }
    std::string name;
    std::vector<std::string> command;
    std::vector<double> seconds;
    std::vector<double> cpuSeconds;
    long peakKiB = 0;
    bool failed = false;

    static double median(std::vector<double> sorted)
    {
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    double megabytesPerSecond(bool cpu = false) const
    {
        const double time = median(cpu ? cpuSeconds : seconds);
        return failed || time <= 0 ? 0 : static_cast<double>(bench::kCorpusSize) / time / 1e6;
    }
};

bool haveProgram(const char *name)
{
    return runProcess({"sh", "-c", std::string("command -v ") + name}).ok;
}

// Checks a baseline's output against the corpus once, outside the timing.
bool baselineReproducesCorpus(const std::string &self, const std::string &which, const fs::path &stream,
                              const fs::path &dir)
{
    const fs::path report = dir / ("check-" + which + ".txt");
    if (!runProcess({self, "--decode", which, stream.string(), "--crc"}, report.string()).ok) {
        return false;
    }
    Bytes text;
    readFile(report.string(), text);
    Bytes corpus;
    readFile((dir / "corpus.bin").string(), corpus);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%zu %08lx\n", corpus.size(),
                  crc32(crc32(0, nullptr, 0), corpus.data(), static_cast<uInt>(corpus.size())));
    return std::string(text.begin(), text.end()) == expected;
}

bool wanted(const std::string &only, const std::string &name)
{
    if (only.empty()) {
        return true;
    }
    const std::string list = "," + only + ",";
    return list.find("," + name + ",") != std::string::npos;
}

}  // namespace

namespace {

struct Cabinet {
    const char *name;
    const char *method;
};
constexpr Cabinet kCabinets[] = {{"mszip", "mszip"}, {"lzx", "lzx:21"}, {"quantum", "quantum:21"}};
// The methods whose packing is timed: Quantum's packer has no baseline to meet.
constexpr Cabinet kPacked[] = {kCabinets[0], kCabinets[1]};

// Writes what is missing in dir: the corpus files, the streams, the cabinets
// wanted. A kept folder is reused as it stands (delete a file to remake it).
bool prepare(const fs::path &dir, const std::string &only, const std::string &cabtool, const std::string &self)
{
    fs::create_directories(dir / "corpus");
    const fs::path whole = dir / "corpus.bin";
    if (!fs::exists(whole) || fs::file_size(whole) != bench::kCorpusSize) {
        // The corpus: 32 files, and the same bytes as one file for the streams.
        const Bytes &corpus = bench::corpus();
        const std::size_t fileSize = corpus.size() / kFiles;
        for (unsigned i = 0; i < kFiles; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "part%02u.bin", i);
            writeFile(dir / "corpus" / name, corpus.data() + i * fileSize, fileSize);
        }
        writeFile(whole, corpus.data(), corpus.size());
        fs::remove(dir / "corpus.deflate");
        fs::remove(dir / "corpus.bin.xz");
        for (const Cabinet &cabinet : kCabinets) {
            fs::remove(dir / (std::string(cabinet.name) + ".cab"));
        }
    }
    const fs::path deflatePath = dir / "corpus.deflate";
    if (!fs::exists(deflatePath)) {
        const Bytes &stream = bench::deflateStream();
        writeFile(deflatePath, stream.data(), stream.size());
    }
    if (haveProgram("xz") && !fs::exists(dir / "corpus.bin.xz")) {
        runProcess({"xz", "-6", "-T1", "-k", "-f", whole.string()});
    }
    for (const Cabinet &cabinet : kCabinets) {
        const fs::path path = dir / (std::string(cabinet.name) + ".cab");
        if (!wanted(only, cabinet.name) || fs::exists(path)) {
            continue;
        }
        const RunResult made =
            runProcess({cabtool, "create", "-m", cabinet.method, "-o", path.string(), (dir / "corpus").string()});
        if (!made.ok) {
            std::fprintf(stderr, "cabtool create -m %s failed\n", cabinet.method);
            return false;
        }
    }
    for (const char *which : {"libdeflate", "zlib"}) {
        if ((kHaveLibdeflate || std::strcmp(which, "zlib") == 0) &&
            !baselineReproducesCorpus(self, which, deflatePath, dir)) {
            std::fprintf(stderr, "%s does not reproduce the corpus\n", which);
            return false;
        }
    }
    return true;
}

// Runs the rows, rounds interleaved, so that a slow spell of the machine hits
// every row alike.
void runRounds(std::vector<Row> &rows, int rounds)
{
    for (int round = 0; round < rounds; ++round) {
        for (Row &row : rows) {
            const RunResult result = runProcess(row.command);
            row.failed = row.failed || !result.ok;
            row.seconds.push_back(result.seconds);
            row.cpuSeconds.push_back(result.cpuSeconds);
            row.peakKiB = std::max(row.peakKiB, result.peakKiB);
        }
    }
}

const Row *findRow(const std::vector<Row> &rows, const char *prefix)
{
    for (const Row &row : rows) {
        if (row.name.rfind(prefix, 0) == 0 && !row.failed) {
            return &row;
        }
    }
    return nullptr;
}

std::string ratio(double speed, const Row *baseline, bool cpu)
{
    if (baseline == nullptr || speed <= 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", speed / baseline->megabytesPerSecond(cpu));
    return text;
}

// Prints each row's speed over the corpus against the two deflate rows, its
// peak resident size, and the same from CPU time; `notes` fill a last column.
void printTable(const std::vector<Row> &rows, const std::vector<std::string> &notes)
{
    const Row *libdeflate = findRow(rows, "libdeflate");
    const Row *zlib = findRow(rows, "zlib");
    std::printf("%-34s %8s %14s %14s %10s %10s %14s  %s\n", "", "MB/s", "vs libdeflate", "vs zlib", "peak RSS",
                "CPU MB/s", "CPU vs libdefl", notes.empty() ? "" : "output");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row &row = rows[i];
        if (row.failed) {
            std::printf("%-34s %8s\n", row.name.c_str(), "FAILED");
            continue;
        }
        const double speed = row.megabytesPerSecond();
        std::printf("%-34s %8.1f %14s %14s %6.1f MiB %10.1f %14s  %s\n", row.name.c_str(), speed,
                    ratio(speed, libdeflate, false).c_str(), ratio(speed, zlib, false).c_str(),
                    static_cast<double>(row.peakKiB) / 1024.0, row.megabytesPerSecond(true),
                    ratio(row.megabytesPerSecond(true), libdeflate, true).c_str(),
                    i < notes.size() ? notes[i].c_str() : "");
    }
}

bool anyFailed(const std::vector<Row> &rows)
{
    return std::any_of(rows.begin(), rows.end(), [](const Row &row) { return row.failed; });
}

// `cabtool test` on each cabinet, against the decoders of one stream.
bool measureTest(const fs::path &dir, const std::string &only, const std::string &cabtool, const std::string &self)
{
    std::vector<Row> rows;
    for (const Cabinet &cabinet : kCabinets) {
        const fs::path path = dir / (std::string(cabinet.name) + ".cab");
        if (wanted(only, cabinet.name) && fs::exists(path)) {
            std::printf("%-12s %9ju bytes\n", (std::string(cabinet.name) + ".cab").c_str(),
                        static_cast<std::uintmax_t>(fs::file_size(path)));
            rows.push_back(Row(std::string("cabtool test, ") + cabinet.method, {cabtool, "test", path.string()}));
        }
    }
    if (rows.empty()) {
        return true;
    }
    const fs::path deflatePath = dir / "corpus.deflate";
    std::printf("%-12s %9ju bytes (zlib, default level, one raw stream)\n", "deflate",
                static_cast<std::uintmax_t>(fs::file_size(deflatePath)));
    if (kHaveLibdeflate) {
        rows.push_back(Row("libdeflate, one stream", {self, "--decode", "libdeflate", deflatePath.string()}));
    }
    rows.push_back(Row("zlib, one stream", {self, "--decode", "zlib", deflatePath.string()}));
    const fs::path xzPath = dir / "corpus.bin.xz";
    if (haveProgram("xz") && fs::exists(xzPath)) {
        std::printf("%-12s %9ju bytes (xz -6, one stream)\n", "xz", static_cast<std::uintmax_t>(fs::file_size(xzPath)));
        rows.push_back(Row("xz -d, one stream", {"xz", "-d", "-T1", "-c", xzPath.string()}));
    } else {
        std::printf("xz: not measured (not installed)\n");
    }
    runRounds(rows, kRounds);
    std::printf("\nExtraction: %u files, %zu MiB; median of %d whole processes each, rounds interleaved\n", kFiles,
                bench::kCorpusSize >> 20, kRounds);
    printTable(rows, {});
    return !anyFailed(rows);
}

// `cabtool create` from the corpus folder, against packing the corpus as one
// stream with the same deflate libraries (default level) and xz -6; the last
// column gives each output's size against the corpus and against xz's.
bool measureCreate(const fs::path &dir, const std::string &cabtool, const std::string &self)
{
    std::vector<Row> rows;
    std::vector<fs::path> outputs;
    for (const Cabinet &cabinet : kPacked) {
        const fs::path made = dir / (std::string("made-") + cabinet.name + ".cab");
        rows.push_back(Row(std::string("cabtool create, ") + cabinet.method,
                           {cabtool, "create", "-m", cabinet.method, "-o", made.string(), (dir / "corpus").string()}));
        outputs.push_back(made);
    }
    const fs::path whole = dir / "corpus.bin";
    if (kHaveLibdeflate) {
        rows.push_back(Row("libdeflate -6, one stream", {self, "--encode", "libdeflate", whole.string()}));
        outputs.emplace_back();
    }
    rows.push_back(Row("zlib -6, one stream", {self, "--encode", "zlib", whole.string()}));
    outputs.emplace_back();
    const fs::path xzPath = dir / "corpus.bin.xz";
    const bool haveXz = haveProgram("xz") && fs::exists(xzPath);
    if (haveXz) {
        rows.push_back(Row("xz -6, one stream", {"xz", "-6", "-T1", "-c", whole.string()}));
        outputs.push_back(xzPath);
    }
    runRounds(rows, kRounds);
    std::vector<std::string> notes;
    for (const fs::path &output : outputs) {
        std::error_code error;
        const std::uintmax_t size = output.empty() ? 0 : fs::file_size(output, error);
        char text[96] = "";
        if (size > 0 && !error) {
            const int used = std::snprintf(text, sizeof text, "%ju bytes, %.3f of the corpus", size,
                                           static_cast<double>(size) / static_cast<double>(bench::kCorpusSize));
            if (haveXz) {
                std::snprintf(text + used, sizeof text - static_cast<std::size_t>(used), ", %.3f of xz -6's",
                              static_cast<double>(size) / static_cast<double>(fs::file_size(xzPath)));
            }
        }
        notes.push_back(text);
    }
    for (std::size_t i = 0; i < std::size(kPacked); ++i) {
        fs::remove(outputs[i]);
    }
    std::printf("\nPacking: the same corpus; median of %d whole processes each, rounds interleaved\n", kRounds);
    printTable(rows, notes);
    return !anyFailed(rows);
}

// `cabtool create` of one sparse file of 4 GiB - 1 bytes (the largest a
// cabinet stores), as a set of cabinets: peak memory must not grow with the
// input. Once each, as it takes about a minute.
bool measureSparse(const fs::path &dir, const std::string &cabtool)
{
    const fs::path sparse = dir / "sparse.bin";
    std::error_code error;
    if (!fs::exists(sparse)) {
        std::ofstream(sparse, std::ios::binary).close();
        fs::resize_file(sparse, 0xFFFFFFFFu, error);
        if (error) {
            std::printf("sparse: not measured (%s)\n", error.message().c_str());
            return true;
        }
    }
    const fs::path setDir = dir / "sparse-set";
    std::printf("\nPacking a sparse file of 4 GiB - 1 bytes as a set (--max-cabinet 1000000000), once each\n");
    std::printf("%-34s %8s %10s %10s  %s\n", "", "MB/s", "seconds", "peak RSS", "output");
    bool ok = true;
    for (const Cabinet &cabinet : kPacked) {
        fs::remove_all(setDir);
        fs::create_directories(setDir);
        const RunResult result = runProcess({cabtool, "create", "-m", cabinet.method, "--max-cabinet", "1000000000", "-o",
                                             (setDir / "sparse.cab").string(), sparse.string()});
        std::uintmax_t bytes = 0;
        unsigned cabinets = 0;
        for (const fs::directory_entry &entry : fs::directory_iterator(setDir)) {
            bytes += entry.file_size();
            ++cabinets;
        }
        ok = ok && result.ok;
        const std::string name = std::string("cabtool create, ") + cabinet.method;
        if (!result.ok) {
            std::printf("%-34s %8s\n", name.c_str(), "FAILED");
            continue;
        }
        std::printf("%-34s %8.1f %10.1f %6.1f MiB  %u cabinets, %ju bytes\n", name.c_str(),
                    4294967295.0 / result.seconds / 1e6, result.seconds,
                    static_cast<double>(result.peakKiB) / 1024.0, cabinets, bytes);
    }
    fs::remove_all(setDir);
    return ok;
}

// Runs in a process of its own, started after prepare() by exec: a child's
// peak resident size counts its parent's at the moment it was started, which
// must not be the corpus held in memory.
int measure(const fs::path &dir, const std::string &only, const std::string &cabtool, const std::string &self)
{
    bool ok = measureTest(dir, only, cabtool, self);
    if (wanted(only, "create")) {
        ok = measureCreate(dir, cabtool, self) && ok;
    }
    if (wanted(only, "sparse")) {
        ok = measureSparse(dir, cabtool) && ok;
    }
    if (!kHaveLibdeflate) {
        std::printf("libdeflate: not measured (this benchmark was built without libdeflate-dev)\n");
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--decode") == 0) {
        return decodeMain(argc, argv);
    }
    if (argc >= 2 && std::strcmp(argv[1], "--encode") == 0) {
        return encodeMain(argc, argv);
    }
    const std::string self = fs::canonical("/proc/self/exe").string();
    if (argc == 6 && std::strcmp(argv[1], "--measure") == 0) {
        const int status = measure(argv[2], argv[3], argv[4], self);
        if (std::strcmp(argv[5], "remove") == 0) {
            fs::remove_all(argv[2]);
        }
        return status;
    }
    std::string cabtool = ORVEL_CABTOOL_PATH;
    std::string only;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else if (arg == "--help" || arg[0] == '-') {
            std::printf("usage: cabtool_bench [--only mszip,lzx,quantum,create,sparse] [--keep DIR] [CABTOOL]\n");
            return arg == "--help" ? 0 : 2;
        } else {
            cabtool = arg;
        }
    }
    const fs::path dir = keep.empty() ? fs::temp_directory_path() / ("cabtool_bench_" + std::to_string(getpid()))
                                      : fs::path(keep);
    if (!prepare(dir, only, cabtool, self)) {
        return 1;
    }
    std::fflush(stdout);
    const std::string dirText = dir.string();
    const char *remove = keep.empty() ? "remove" : "keep";
    execl(self.c_str(), self.c_str(), "--measure", dirText.c_str(), only.c_str(), cabtool.c_str(), remove,
          static_cast<char *>(nullptr));
    std::perror("exec");
    return 1;
}
