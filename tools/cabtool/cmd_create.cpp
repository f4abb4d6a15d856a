// cabtool create [-m none|mszip] [--max-cabinet BYTES] [--reserve CAB,FOLDER,BLOCK]
//                [--no-checksum] [--folder-every N] -o OUT.cab FILE...
#include "cabtool.h"
#include "file_meta.h"

#include <cabinet/writer.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace cabtool {

namespace {

bool parseNumber(const std::string &text, unsigned long long max, unsigned long long &value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 12) {
        return false;
    }
    value = std::strtoull(text.c_str(), nullptr, 10);
    return value <= max;
}

// A cabinet stores relative names with backslashes. Paths that are absolute or
// climb with ".." keep only their file name.
std::string nameToStore(const std::string &argument)
{
    std::string name = argument;
    for (char &c : name) {
        c = c == '\\' ? '/' : c;
    }
    while (name.rfind("./", 0) == 0) {
        name.erase(0, 2);
    }
    const bool absolute = !name.empty() && (name[0] == '/' || (name.size() > 1 && name[1] == ':'));
    bool climbs = false;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = name.find('/', start);
        const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
        climbs = climbs || part == ".." || part == "." || (part.empty() && end != std::string::npos);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    if (absolute || climbs) {
        const std::size_t cut = name.find_last_of('/');
        name = cut == std::string::npos ? name : name.substr(cut + 1);
    }
    return name;
}

std::uint16_t setIdFor(const std::string &name)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : name) {
        hash = (hash ^ c) * 16777619u;
    }
    return static_cast<std::uint16_t>(hash ^ (hash >> 16));
}

}  // namespace

int runCreate(const Args &args)
{
    cabwriter::Options options;
    std::string output;
    std::vector<std::string> inputs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string text;
        unsigned long long number = 0;
        if (arg == "-o") {
            if (!value(output)) {
                return usageError("-o needs a cabinet name");
            }
        } else if (arg == "-m") {
            if (!value(text) || !cabwriter::parseCompression(text, options.compression)) {
                return usageError("-m takes none or mszip");
            }
        } else if (arg == "--max-cabinet") {
            if (!value(text) || !parseNumber(text, 0x7FFFFFFF, number) || number == 0) {
                return usageError("--max-cabinet takes a size in bytes");
            }
            options.maxCabinetSize = static_cast<std::uint32_t>(number);
        } else if (arg == "--folder-every") {
            if (!value(text) || !parseNumber(text, 0xFFFFFFFF, number) || number == 0) {
                return usageError("--folder-every takes a file count");
            }
            options.filesPerFolder = static_cast<std::uint32_t>(number);
        } else if (arg == "--reserve") {
            unsigned long long sizes[3];
            std::size_t start = 0;
            bool ok = value(text);
            for (int k = 0; ok && k < 3; ++k) {
                const std::size_t comma = text.find(',', start);
                if ((k < 2) == (comma == std::string::npos)) {
                    ok = false;
                    break;
                }
                const std::string part = text.substr(start, k < 2 ? comma - start : std::string::npos);
                ok = parseNumber(part, k == 0 ? 60000 : 255, sizes[k]);
                start = comma + 1;
            }
            if (!ok) {
                return usageError("--reserve takes CAB,FOLDER,BLOCK (at most 60000,255,255)");
            }
            options.cabinetReserve = static_cast<std::uint16_t>(sizes[0]);
            options.folderReserve = static_cast<std::uint8_t>(sizes[1]);
            options.blockReserve = static_cast<std::uint8_t>(sizes[2]);
            options.reserveFieldsAlways = true;
        } else if (arg == "--no-checksum") {
            options.checksums = false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else {
            inputs.push_back(arg);
        }
    }
    if (output.empty()) {
        return usageError("create needs -o OUT.cab");
    }
    if (inputs.empty()) {
        return usageError("create needs at least one file");
    }
    std::string folder;
    splitCabinetPath(output, folder, options.firstCabinetName);
    if (options.firstCabinetName.empty()) {
        return usageError("-o needs a file name");
    }
    options.setId = setIdFor(options.firstCabinetName);

    cabwriter::Writer writer(options);
    for (const std::string &input : inputs) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(input, ec)) {
            report(input + ": not a readable file");
            return kExitFailed;
        }
        cabwriter::FileInfo info;
        info.name = nameToStore(input);
        bool readOnly = false;
        if (!readStamp(input, info.date, info.time, readOnly)) {
            report(input + ": cannot read its date");
            return kExitFailed;
        }
        info.attributes = static_cast<std::uint16_t>(0x20 | (readOnly ? 0x01 : 0));
        if (!writer.addFileFromPath(info, input)) {
            report(input + ": " + writer.error());
            return kExitFailed;
        }
    }
    if (!folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    std::vector<std::string> written;
    if (!writer.buildToDirectory(folder.empty() ? "." : folder, &written)) {
        report(output + ": " + writer.error());
        return kExitFailed;
    }
    for (const std::string &path : written) {
        std::printf("%s\n", path.c_str());
    }
    return kExitOk;
}

}  // namespace cabtool
