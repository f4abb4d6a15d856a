// cabtool: lists, tests, extracts and creates cabinet files.
#include "cabtool.h"
#include "embedded.h"
#include "engine_io.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kHelp[] =
    "usage: cabtool COMMAND ...\n"
    "\n"
    "  cabtool list FILE.cab\n"
    "      Shows the cabinet's folders (compression method and window) and one\n"
    "      line per file: size, date and time, attributes (rhsaxu), name.\n"
    "  cabtool test [--max-window-memory BYTES] FILE.cab\n"
    "      Decodes every file of the cabinet, and of the later cabinets of its\n"
    "      set lying beside it, without writing anything; reports each failure.\n"
    "  cabtool extract [-d DIR] [--max-window-memory BYTES] FILE.cab\n"
    "      Writes the files below DIR (default: the current folder) with their\n"
    "      stored dates, times and read-only attribute, following the set through\n"
    "      the cabinets beside FILE.cab. Names with an absolute path, a drive\n"
    "      letter or a \"..\" part are reported and skipped.\n"
    "  cabtool create [-m none|mszip|quantum[:N]|lzx[:N]] [--no-call-translation]\n"
    "                 [--max-cabinet BYTES] [--reserve CAB,FOLDER,BLOCK]\n"
    "                 [--no-checksum] [--folder-every N] -o OUT.cab FILE...\n"
    "      Stores the files under the names given (relative folders are kept,\n"
    "      with backslashes; absolute paths and paths with \"..\" keep only their\n"
    "      file name). The default method is mszip; quantum:N compresses with a\n"
    "      window of 2^N bytes, N from 10 to 21 (21 when left out); lzx:N\n"
    "      likewise with N from 15 to 21, and --no-call-translation keeps it\n"
    "      from rewriting x86 CALL targets. With --max-cabinet the\n"
    "      output is a set of cabinets: OUT.cab, OUT2.cab, OUT3.cab and so on,\n"
    "      the number placed before the extension.\n"
    "\n"
    "  --max-window-memory BYTES\n"
    "      Caps the memory the decoders take for their windows. A Quantum window\n"
    "      that does not fit is kept in a temporary file and paged through 4 KiB\n"
    "      buffers (at least three, and its page table, must fit); an LZX window\n"
    "      that does not fit fails the folder.\n"
    "\n"
    "--verbose after any command adds the engine's error name to each failure.\n"
    "Exit status: 0 success, 1 a failure of the input or the output, 2 a usage error.\n";

// Takes --max-window-memory BYTES out of the arguments; false on a bad value.
bool takeWindowMemoryCap(cabtool::Args &args)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--max-window-memory") {
            continue;
        }
        if (i + 1 == args.size() || args[i + 1].empty() || args[i + 1].size() > 10 ||
            args[i + 1].find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        const unsigned long long bytes = std::strtoull(args[i + 1].c_str(), nullptr, 10);
        if (bytes > 0xFFFFFFFFull) {
            return false;
        }
        cabtool::setWindowMemoryCap(static_cast<std::uint32_t>(bytes));
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        --i;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs(kHelp, stderr);
        return cabtool::kExitUsage;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return cabtool::kExitOk;
    }
    cabtool::Args args;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kHelp, stdout);
            return cabtool::kExitOk;
        }
        if (arg == "--verbose") {
            cabtool::setVerbose(true);
        } else {
            args.push_back(arg);
        }
    }
    if ((command == "test" || command == "extract") && !takeWindowMemoryCap(args)) {
        return cabtool::usageError("--max-window-memory takes a size in bytes");
    }
    if ((command == "list" || command == "test" || command == "extract") && !cabtool::takeOffsetOption(args)) {
        return cabtool::usageError("--offset takes a byte offset, decimal or 0x hexadecimal");
    }
    if (command == "list") {
        return cabtool::runList(args);
    }
    if (command == "test") {
        return cabtool::runTest(args);
    }
    if (command == "extract") {
        return cabtool::runExtract(args);
    }
    if (command == "create") {
        return cabtool::runCreate(args);
    }
    return cabtool::usageError("unknown command " + command);
}
