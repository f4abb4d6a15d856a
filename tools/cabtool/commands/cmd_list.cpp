// cabtool list [--json] [-F PATTERN]... FILE.cab: the folders and every file
// entry (or those selected) of one cabinet.
#include "commands/cabtool.h"
#include "signature_set.h"
#include "reading/embedded.h"
#include "reading/folder_table.h"
#include "output/json_list.h"
#include "names/name_filter.h"
#include "names/names.h"
#include "output/progress.h"
#include "reading/set_size.h"
#include "reading/set_walk.h"

#include <cstdio>

namespace cabtool {

namespace {

std::string attributeLetters(std::uint16_t attributes)
{
    std::string letters = "------";
    const struct {
        std::uint16_t bit;
        char letter;
    } bits[] = {{0x01, 'r'}, {0x02, 'h'}, {0x04, 's'}, {0x20, 'a'}, {0x40, 'x'}, {0x80, 'u'}};
    for (std::size_t i = 0; i < 6; ++i) {
        if ((attributes & bits[i].bit) != 0) {
            letters[i] = bits[i].letter;
        }
    }
    return letters;
}

void printEntry(const CabNotifyRecord &r, const char *note)
{
    char fields[64];
    std::snprintf(fields, sizeof fields, "%10u  %04u-%02u-%02u %02u:%02u:%02u  ", static_cast<unsigned>(r.value),
                  1980u + ((r.date >> 9) & 0x7F), (r.date >> 5) & 0x0Fu, r.date & 0x1Fu, (r.time >> 11) & 0x1Fu,
                  (r.time >> 5) & 0x3Fu, (r.time & 0x1Fu) * 2);
    emitLine(stdout, fields + attributeLetters(r.attributes) + "  " + shownName(r.text1, r.attributes) + note);
}

const char *continuation(std::uint16_t folder)
{
    switch (folder) {
    case 0xFFFD: return "  (from the previous cabinet)";
    case 0xFFFE: return "  (goes on in the next cabinet)";
    case 0xFFFF: return "  (from the previous cabinet, goes on in the next)";
    default: return "";
    }
}

class ListHandler final : public WalkHandler {
public:
    int entries = 0;

    std::int32_t fileStart(const CabNotifyRecord &record) override
    {
        printEntry(record, continuation(record.folderIndex));
        ++entries;
        advanceProgress(record.value);
        return 0;  // listing only: nothing is decoded
    }
    bool fileDone(const CabNotifyRecord &) override { return true; }
    bool producesData() const override { return false; }
    void continuedFile(const CabNotifyRecord &record, bool) override
    {
        printEntry(record, continuation(record.folderIndex));
        ++entries;
    }
};

// "none", or the key identity of the signature the first cabinet carries.
std::string signatureText(const std::string &path)
{
    cabsig::Record record;
    switch (cabsig::recordOf(path, record)) {
    case cabsig::RecordState::Signed:
        return "signed, key " + cabsig::keyIdText(record.keyId);
    case cabsig::RecordState::Unknown:
        return "a signature record of an unknown form";
    case cabsig::RecordState::Unsigned:
        break;
    }
    return "none";
}

// One cabinet of the file; a cabinet inside the file has been introduced already.
int listCabinet(const Args &args, const CabinetPlace &place, const NameFilter &filter)
{
    CabinetInfo info;
    std::string why;
    if (!readCabinetInfo(args[0], info, why, place.offset)) {
        report(escapeControls(args[0]) + ": " + why);
        return kExitFailed;
    }
    if (!place.embedded) {
        std::printf("cabinet %s: %u bytes, set %u, index %u\n", escapeControls(args[0]).c_str(),
                    static_cast<unsigned>(info.size), static_cast<unsigned>(info.setId),
                    static_cast<unsigned>(info.index));
    }
    if (!place.embedded && info.previousName.empty()) {
        std::printf("signature: %s\n", signatureText(args[0]).c_str());
    }
    if (!info.previousName.empty()) {
        std::printf("previous cabinet: %s\n", shownName(info.previousName).c_str());
    }
    if (!info.nextName.empty()) {
        std::printf("next cabinet: %s\n", shownName(info.nextName).c_str());
    }
    for (std::size_t f = 0; f < info.folders.size(); ++f) {
        std::printf("folder %u: %s, %u data block(s) here\n", static_cast<unsigned>(f),
                    describeCompression(info.folders[f].type).c_str(), static_cast<unsigned>(info.folders[f].blocks));
    }
    ListHandler lister;
    FilteredHandler handler(lister, filter);
    startProgress(filesSizeOfSet(args[0], false));
    const WalkOutcome outcome = walkCabinets(args[0], handler, false);
    finishProgress();
    std::printf("%d file(s)\n", lister.entries);
    return outcome.failures == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int runList(const Args &given)
{
    Args args = given;
    NameFilter filter;
    if (!filter.take(args)) {
        return kExitUsage;
    }
    const bool json = takeFlag(args, "--json");
    if (const int status = checkOneCabinet(args); status != kExitOk) {
        return status;
    }
    if (json) {
        return printJsonListing(args[0], filter);
    }
    const bool ok = forEachCabinet(args[0], false, [&](const CabinetPlace &place) {
        return listCabinet(args, place, filter) == kExitOk;
    });
    return ok ? kExitOk : kExitFailed;
}

}  // namespace cabtool
