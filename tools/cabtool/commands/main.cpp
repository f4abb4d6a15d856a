// cabtool: lists, tests, extracts and creates cabinet files.
#include "commands/cabtool.h"
#include "reading/embedded.h"
#include "reading/engine_io.h"
#include "commands/help.h"
#include "names/names.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

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

// --verbose and -q (--quiet), which every command takes.
bool takeGlobalOption(const std::string &arg)
{
    if (arg == "--verbose") {
        cabtool::setVerbose(true);
    } else if (arg == "-q" || arg == "--quiet") {
        cabtool::setQuiet(true);
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    // The options of every command may also come before it.
    int first = 1;
    while (first < argc && takeGlobalOption(argv[first])) {
        ++first;
    }
    if (first == argc) {
        std::fputs(cabtool::overviewHelp(), stderr);
        return cabtool::kExitUsage;
    }
    const std::string command = argv[first];
    if (command == "--help" || command == "-h" || command == "help") {
        const char *help = first + 1 < argc ? cabtool::commandHelp(argv[first + 1]) : cabtool::overviewHelp();
        if (help == nullptr) {
            return cabtool::usageError(std::string("unknown command ") + argv[first + 1]);
        }
        std::fputs(help, stdout);
        return cabtool::kExitOk;
    }
    if (command == "--version") {
        std::fputs(cabtool::versionText().c_str(), stdout);
        return cabtool::kExitOk;
    }
    if (cabtool::commandHelp(command) == nullptr) {
        return cabtool::usageError("unknown command " + command);
    }
    cabtool::setCommand(command);
    cabtool::Args args;
    for (int i = first + 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(cabtool::commandHelp(command), stdout);
            return cabtool::kExitOk;
        }
        if (arg == "--version") {
            std::fputs(cabtool::versionText().c_str(), stdout);
            return cabtool::kExitOk;
        }
        if (!takeGlobalOption(arg)) {
            args.push_back(arg);
        }
    }
    if ((command == "test" || command == "extract") && !takeWindowMemoryCap(args)) {
        return cabtool::usageError("--max-window-memory takes a size in bytes");
    }
    if ((command == "list" || command == "test" || command == "extract") && !cabtool::takeOffsetOption(args)) {
        return cabtool::usageError("--offset takes a byte offset, decimal or 0x hexadecimal");
    }
    if (command == "list" || command == "test" || command == "extract") {
        const std::string wrong = cabtool::takeNameEncoding(args);
        if (!wrong.empty()) {
            return cabtool::usageError(wrong);
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
    if (command == "sign") {
        return cabtool::runSign(args);
    }
    if (command == "verify") {
        return cabtool::runVerify(args);
    }
    return cabtool::runCreate(args);
}
