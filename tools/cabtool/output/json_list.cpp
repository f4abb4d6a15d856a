#include "output/json_list.h"

#include "reading/embedded.h"
#include "reading/folder_table.h"
#include "output/json_writer.h"

#include "names/names.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace cabtool {

namespace {

// A stored name as UTF-8 text: converted as file names are (see names.h),
// bytes that do not convert as U+FFFD.
std::string nameText(const std::string &stored, std::uint16_t attributes)
{
    std::string text;
    fileNameOf(stored, attributes, text);
#ifdef _WIN32
    if ((attributes & kNameIsUtf8) == 0) {
        text = ansiToUtf8(text);
    }
#endif
    return text;
}

std::string hexBytes(const std::string &bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 0x0F];
    }
    return out;
}

void optionalName(JsonWriter &json, const char *key, bool present, const std::string &name)
{
    json.key(key);
    if (present) {
        json.string(nameText(name, 0));
    } else {
        json.null();
    }
}

void writeHeader(JsonWriter &json, const CabinetInfo &info)
{
    json.key("header");
    json.beginObject();
    json.member("size", info.size);
    json.member("set_id", info.setId);
    json.member("index", info.index);
    json.member("flags", info.flags);
    json.key("reserve");
    json.beginObject();
    json.member("cabinet", info.cabinetReserve);
    json.member("folder", info.folderReserve);
    json.member("data_block", info.blockReserve);
    json.endObject();
    optionalName(json, "previous_cabinet", (info.flags & 1) != 0, info.previousName);
    optionalName(json, "previous_disk", (info.flags & 1) != 0, info.previousDisk);
    optionalName(json, "next_cabinet", (info.flags & 2) != 0, info.nextName);
    optionalName(json, "next_disk", (info.flags & 2) != 0, info.nextDisk);
    json.endObject();
}

void writeFolder(JsonWriter &json, std::size_t index, const FolderInfo &folder)
{
    static const char *const kMethods[] = {"none", "MSZIP", "Quantum", "LZX"};
    const unsigned method = folder.type & 0x0Fu;
    json.beginObject();
    json.member("index", index);
    json.member("method", method < 4 ? kMethods[method] : "unknown");
    json.member("method_number", method);
    json.member("type", folder.type);
    json.key("window_bits");
    if (method == 1) {
        json.number(15);  // MSZIP's window is fixed
    } else if (method == 2 || method == 3) {
        json.number((folder.type >> 8) & 0x1Fu);
    } else {
        json.null();
    }
    json.member("data_blocks", folder.blocks);
    json.member("first_block_offset", folder.firstBlock);
    json.endObject();
}

// The packed MS-DOS date and time as ISO 8601 local time, or empty when the
// fields are out of range.
std::string isoTime(std::uint16_t date, std::uint16_t time)
{
    const unsigned month = (date >> 5) & 0x0Fu;
    const unsigned day = date & 0x1Fu;
    const unsigned hour = (time >> 11) & 0x1Fu;
    const unsigned minute = (time >> 5) & 0x3Fu;
    const unsigned second = (time & 0x1Fu) * 2;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) {
        return std::string();
    }
    char text[24];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u", 1980u + ((date >> 9) & 0x7Fu), month, day, hour,
                  minute, second);
    return text;
}

void writeFile(JsonWriter &json, const StoredFile &file)
{
    static const struct {
        std::uint16_t bit;
        const char *name;
    } kAttributes[] = {{0x01, "readonly"}, {0x02, "hidden"}, {0x04, "system"},
                       {0x20, "archive"},  {0x40, "exec"},   {kNameIsUtf8, "utf8name"}};
    json.beginObject();
    json.member("name", nameText(file.name, file.attributes));
    json.member("name_bytes", hexBytes(file.name));
    json.member("size", file.size);
    json.member("folder", file.folder);
    json.member("offset", file.offset);
    json.key("datetime");
    const std::string when = isoTime(file.date, file.time);
    if (when.empty()) {
        json.null();
    } else {
        json.string(when);
    }
    json.member("date_raw", file.date);
    json.member("time_raw", file.time);
    json.member("attributes", file.attributes);
    json.key("attribute_names");
    json.beginArray();
    for (const auto &attribute : kAttributes) {
        if ((file.attributes & attribute.bit) != 0) {
            json.string(attribute.name);
        }
    }
    json.endArray();
    json.endObject();
}

// The cabinets to list: the one --offset picks; the file itself when it
// starts as a cabinet or holds none (its reading then says what is wrong);
// otherwise every cabinet found inside it.
bool cabinetOffsets(const std::string &path, std::vector<std::uint64_t> &offsets, std::string &why)
{
    std::uint64_t picked = 0;
    if (pickedOffset(picked)) {
        offsets.push_back(picked);
        return true;
    }
    std::vector<CabinetHead> found;
    if (std::FILE *in = std::fopen(path.c_str(), "rb")) {
        char signature[4] = {};
        const bool startsAsCabinet = std::fread(signature, 1, 4, in) == 4 && std::memcmp(signature, "MSCF", 4) == 0;
        std::fclose(in);
        if (!startsAsCabinet && !findCabinets(path, found, why)) {
            return false;
        }
    }
    for (const CabinetHead &head : found) {
        offsets.push_back(head.offset);
    }
    if (offsets.empty()) {
        offsets.push_back(0);
    }
    return true;
}

}  // namespace

int printJsonListing(const std::string &path, const NameFilter &filter)
{
    std::vector<std::uint64_t> offsets;
    std::string why;
    if (!cabinetOffsets(path, offsets, why)) {
        report(escapeControls(path) + ": " + why);
        return kExitFailed;
    }
    // Everything is read before anything is written, so that a failure
    // leaves no half document behind.
    std::vector<CabinetInfo> infos(offsets.size());
    std::vector<std::vector<StoredFile>> files(offsets.size());
    for (std::size_t c = 0; c < offsets.size(); ++c) {
        if (!readCabinetInfo(path, infos[c], why, offsets[c]) ||
            !readFileTable(path, infos[c], files[c], why, offsets[c])) {
            report(escapeControls(path) + (offsets[c] != 0 ? " at offset " + std::to_string(offsets[c]) : std::string()) + ": " + why);
            return kExitFailed;
        }
    }
    JsonWriter json(stdout);
    json.beginObject();
#ifdef _WIN32
    json.member("file", ansiToUtf8(path));
#else
    json.member("file", path);
#endif
    json.key("cabinets");
    json.beginArray();
    for (std::size_t c = 0; c < offsets.size(); ++c) {
        json.beginObject();
        json.member("offset", offsets[c]);
        writeHeader(json, infos[c]);
        json.key("folders");
        json.beginArray();
        for (std::size_t f = 0; f < infos[c].folders.size(); ++f) {
            writeFolder(json, f, infos[c].folders[f]);
        }
        json.endArray();
        json.key("files");
        json.beginArray();
        for (const StoredFile &file : files[c]) {
            if (filter.selects(file.name.c_str(), file.attributes)) {
                writeFile(json, file);
            }
        }
        json.endArray();
        json.endObject();
    }
    json.endArray();
    json.endObject();
    json.finish();
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

}  // namespace cabtool
