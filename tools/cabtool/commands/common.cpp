#include "commands/cabtool.h"
#include "reading/engine_io.h"
#include "output/progress.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace cabtool {

namespace {

bool g_verbose = false;
bool g_quiet = false;
std::string g_command;
bool g_holding = false;
int g_heldEntry = -1;
std::map<int, std::vector<std::pair<std::FILE *, std::string>>> g_held;

const char *errorCodeName(CabErrorCode code)
{
    switch (code) {
    case CabErrorCode::None: return "None";
    case CabErrorCode::CabinetOpenFailed: return "CabinetOpenFailed";
    case CabErrorCode::NotCabinetFile: return "NotCabinetFile";
    case CabErrorCode::UnsupportedVersion: return "UnsupportedVersion";
    case CabErrorCode::CabinetDamaged: return "CabinetDamaged";
    case CabErrorCode::OutOfMemory: return "OutOfMemory";
    case CabErrorCode::UnsupportedCompression: return "UnsupportedCompression";
    case CabErrorCode::DecodeFailed: return "DecodeFailed";
    case CabErrorCode::OutputFailed: return "OutputFailed";
    case CabErrorCode::ReserveMismatch: return "ReserveMismatch";
    case CabErrorCode::CabinetMismatch: return "CabinetMismatch";
    case CabErrorCode::Aborted: return "Aborted";
    case CabErrorCode::PreviousCabinetNeeded: return "PreviousCabinetNeeded";
    }
    return "UnknownError";
}

std::string plainWords(CabErrorCode code)
{
    switch (code) {
    case CabErrorCode::None: return "no error";
    case CabErrorCode::CabinetOpenFailed: return cannotOpen(lastOpenFailure());
    case CabErrorCode::NotCabinetFile: return "not a cabinet file";
    case CabErrorCode::UnsupportedVersion: return "cabinet format version not supported";
    case CabErrorCode::CabinetDamaged: return "the cabinet is damaged";
    case CabErrorCode::OutOfMemory: return "out of memory";
    case CabErrorCode::UnsupportedCompression: return "compression method not supported";
    case CabErrorCode::DecodeFailed: return "the compressed data is damaged";
    case CabErrorCode::OutputFailed: return "cannot write the output";
    case CabErrorCode::ReserveMismatch: return "its reserve areas differ from those of the set's other cabinets";
    case CabErrorCode::CabinetMismatch: return "it belongs to another set or comes out of order";
    case CabErrorCode::Aborted: return "stopped";
    case CabErrorCode::PreviousCabinetNeeded:
        return "its data begins in an earlier cabinet of the set; extract the set from its first cabinet";
    }
    return "unknown error";
}

void printLine(std::FILE *stream, const std::string &text)
{
    clearProgress(stream);
    std::fprintf(stream, "%s\n", text.c_str());
    restoreProgress();
}

}  // namespace

void emitLine(std::FILE *stream, const std::string &text)
{
    if (g_holding) {
        g_held[g_heldEntry].emplace_back(stream, text);
        return;
    }
    printLine(stream, text);
}

void holdOutput(bool hold)
{
    g_holding = hold;
    if (hold) {
        return;
    }
    for (const auto &[entry, lines] : g_held) {
        for (const auto &[stream, text] : lines) {
            printLine(stream, text);
        }
    }
    g_held.clear();
    g_heldEntry = -1;
}

void setHeldEntry(int listIndex)
{
    g_heldEntry = listIndex;
}

int heldEntry()
{
    return g_holding ? g_heldEntry : -1;
}

void report(const std::string &what)
{
    emitLine(stderr, "cabtool: " + what);
}

int usageError(const std::string &what)
{
    report(what + " (see cabtool " + (g_command.empty() ? "" : g_command + " ") + "--help)");
    return kExitUsage;
}

bool takeFlag(Args &args, const std::string &flag)
{
    const std::size_t before = args.size();
    args.erase(std::remove(args.begin(), args.end(), flag), args.end());
    return args.size() != before;
}

int unknownOption(const std::string &option)
{
    return usageError("unknown option " + option + (g_command.empty() ? "" : " for " + g_command));
}

int missingCabinet()
{
    return usageError("missing cabinet file");
}

int checkOneCabinet(const Args &args)
{
    for (const std::string &arg : args) {
        if (arg.size() > 1 && arg[0] == '-') {
            return unknownOption(arg);
        }
    }
    if (args.empty()) {
        return missingCabinet();
    }
    return args.size() == 1 ? kExitOk : usageError(g_command + " takes one cabinet file");
}

void setCommand(const std::string &command)
{
    g_command = command;
}

void setVerbose(bool verbose)
{
    g_verbose = verbose;
}

void setQuiet(bool quiet)
{
    g_quiet = quiet;
}

bool quiet()
{
    return g_quiet;
}

std::string describeError(CabErrorCode code)
{
    std::string words = plainWords(code);
    if (g_verbose) {
        words += std::string(" (") + errorCodeName(code) + ")";
    }
    return words;
}

std::string cannotOpen(int systemError)
{
    if (systemError == kNotRegularFile) {
        return "cannot open: not a regular file (a folder, device or pipe)";
    }
    return std::string("cannot open: ") + std::strerror(systemError);
}

void splitCabinetPath(const std::string &path, std::string &folder, std::string &name)
{
    const std::size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos) {
        folder.clear();
        name = path;
        return;
    }
    folder = path.substr(0, cut + 1);
    name = path.substr(cut + 1);
}

}  // namespace cabtool
