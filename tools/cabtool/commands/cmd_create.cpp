// cabtool create [-m none|mszip|quantum[:N]|lzx[:N]] [--no-call-translation] [--max-cabinet BYTES [--continue-folders]]
//                [--reserve CAB,FOLDER,BLOCK] [--no-checksum] [--folder-every N]
//                [--list FILE] [--date WHEN] [--attributes LETTERS] -o OUT.cab [FILE|FOLDER]...
#include "commands/cabtool.h"
#include "create/create_inputs.h"
#include "output/file_meta.h"
#include "output/progress.h"

#include <cabinet/writer.h>

#include <cstdio>
#include <cstdlib>

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
    // LZX with a 2 MiB window packs best of the methods every reader has.
    cabwriter::parseCompression("lzx:21", options.compression);
    std::string output;
    std::string signingKey;  // PEM text of --sign's key
    std::vector<std::string> arguments;
    std::vector<std::string> lists;
    bool callTranslation = true;
    bool dateGiven = false;
    bool attributesGiven = false;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attributes = 0;
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
        } else if (arg == "--sign") {
            if (!value(text)) {
                return usageError("--sign needs a private key file");
            }
            // Read now, so that a bad key fails before anything is written.
            if (!readKeyFile(text, signingKey)) {
                return kExitFailed;
            }
        } else if (arg == "-m") {
            if (!value(text) || !cabwriter::parseCompression(text, options.compression)) {
                return usageError("-m takes none, mszip, quantum or quantum:N with N from 10 to 21, "
                                  "lzx or lzx:N with N from 15 to 21");
            }
        } else if (arg == "--max-cabinet") {
            if (!value(text) || !parseNumber(text, 0x7FFFFFFF, number) || number == 0) {
                return usageError("--max-cabinet takes a size in bytes");
            }
            options.maxCabinetSize = static_cast<std::uint32_t>(number);
        } else if (arg == "--continue-folders") {
            options.continueFolders = true;
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
        } else if (arg == "--no-call-translation") {
            callTranslation = false;
        } else if (arg == "--list") {
            if (!value(text)) {
                return usageError("--list needs a file of SOURCE<TAB>STORED NAME lines");
            }
            lists.push_back(text);
        } else if (arg == "--date") {
            if (!value(text) || !parseDateTime(text, date, time)) {
                return usageError("--date takes YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS, from 1980 to 2107");
            }
            dateGiven = true;
        } else if (arg == "--attributes") {
            if (!value(text) || !parseAttributes(text, attributes)) {
                return usageError("--attributes takes letters from rhsax (- for none)");
            }
            attributesGiven = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return unknownOption(arg);
        } else {
            arguments.push_back(arg);
        }
    }
    options.compression.callTranslation = callTranslation;
    if (options.continueFolders && options.maxCabinetSize == 0) {
        return usageError("--continue-folders needs --max-cabinet");
    }
    if (output.empty()) {
        return usageError("create needs -o OUT.cab");
    }
    if (arguments.empty() && lists.empty()) {
        return usageError("create needs at least one file, folder or --list");
    }
    std::string folder;
    splitCabinetPath(output, folder, options.firstCabinetName);
    if (options.firstCabinetName.empty()) {
        return usageError("-o needs a file name");
    }
    options.setId = setIdFor(options.firstCabinetName);

    std::vector<CreateInput> inputs;
    std::string why;
    for (const std::string &argument : arguments) {
        if (!gatherArgument(argument, inputs, why)) {
            report(why);
            return kExitFailed;
        }
    }
    for (const std::string &list : lists) {
        if (!readInputList(list, inputs, why)) {
            report(why);
            return kExitFailed;
        }
    }
    leaveOutFile(output, inputs);
    if (inputs.empty()) {
        report("nothing to store: the folders given hold no files");
        return kExitFailed;
    }

    options.onInput = [](std::uint32_t bytes) { advanceProgress(bytes); };
    cabwriter::Writer writer(options);
    for (const CreateInput &input : inputs) {
        cabwriter::FileInfo info;
        info.name = input.stored;
        // The name is already formed; the writer would split it on 0x5C
        // bytes that may be halves of double-byte characters.
        info.verbatimName = true;
        bool readOnly = false;
        if (!readStamp(input.source, info.date, info.time, readOnly)) {
            report(input.source + ": cannot read its date");
            return kExitFailed;
        }
        info.attributes = static_cast<std::uint16_t>(0x20 | (readOnly ? 0x01 : 0));
        if (dateGiven) {
            info.date = date;
            info.time = time;
        }
        if (attributesGiven) {
            info.attributes = attributes;
        }
        // Opens the file, so that one that cannot be read fails here, before
        // anything is written.
        if (!writer.addFileFromPath(info, input.source)) {
            report(writer.error());
            return kExitFailed;
        }
    }
    if (!folder.empty() && !makeDirectories(folder.substr(0, folder.size() - 1))) {
        report(folder + ": cannot create the output folder");
        return kExitFailed;
    }
    std::vector<std::string> written;
    startProgress(writer.inputSize());
    const bool built = writer.buildToDirectory(folder.empty() ? "." : folder, &written);
    finishProgress();
    if (!built) {
        report(writer.error());
        return kExitFailed;
    }
    if (!signingKey.empty() && !written.empty()) {
        if (const int status = signFile(written.front(), signingKey); status != kExitOk) {
            return status;
        }
    }
    for (const std::string &path : written) {
        if (!quiet()) {
            emitLine(stdout, path);
        }
    }
    return kExitOk;
}

}  // namespace cabtool
