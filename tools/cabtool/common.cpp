#include "cabtool.h"

#include <cstdio>

namespace cabtool {

void report(const std::string &what)
{
    std::fprintf(stderr, "cabtool: %s\n", what.c_str());
}

int usageError(const std::string &what)
{
    report(what + " (see cabtool --help)");
    return kExitUsage;
}

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
    }
    return "UnknownError";
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
