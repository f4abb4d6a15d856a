// cabtool: lists, tests, extracts and creates cabinet files.
#include "cabtool.h"

#include <cstdio>
#include <cstring>

namespace {

const char kHelp[] =
    "usage: cabtool COMMAND ...\n"
    "\n"
    "  cabtool list FILE.cab\n"
    "      Shows the cabinet's folders (compression method and window) and one\n"
    "      line per file: size, date and time, attributes (rhsaxu), name.\n"
    "  cabtool test FILE.cab\n"
    "      Decodes every file of the cabinet, and of the later cabinets of its\n"
    "      set lying beside it, without writing anything; reports each failure.\n"
    "  cabtool extract [-d DIR] FILE.cab\n"
    "      Writes the files below DIR (default: the current folder) with their\n"
    "      stored dates, times and read-only attribute, following the set through\n"
    "      the cabinets beside FILE.cab. Names with an absolute path, a drive\n"
    "      letter or a \"..\" part are reported and skipped.\n"
    "  cabtool create [-m none|mszip|lzx[:N]] [--no-call-translation]\n"
    "                 [--max-cabinet BYTES] [--reserve CAB,FOLDER,BLOCK]\n"
    "                 [--no-checksum] [--folder-every N] -o OUT.cab FILE...\n"
    "      Stores the files under the names given (relative folders are kept,\n"
    "      with backslashes; absolute paths and paths with \"..\" keep only their\n"
    "      file name). The default method is mszip; lzx:N uses a window of 2^N\n"
    "      bytes (N from 15 to 21, lzx alone is lzx:21), and\n"
    "      --no-call-translation keeps it from rewriting x86 CALL targets.\n"
    "      With --max-cabinet the\n"
    "      output is a set of cabinets: OUT.cab, OUT2.cab, OUT3.cab and so on,\n"
    "      the number placed before the extension.\n"
    "\n"
    "Exit status: 0 success, 1 a failure of the input or the output, 2 a usage error.\n";

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
    cabtool::Args args(argv + 2, argv + argc);
    for (const std::string &arg : args) {
        if (arg == "--help") {
            std::fputs(kHelp, stdout);
            return cabtool::kExitOk;
        }
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
