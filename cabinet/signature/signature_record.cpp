// The signature record's layout, its place in the header, and the reserve
// area made room for; no cryptography here.
#include <cabinet/signature.h>

#include <cstring>

namespace cabsig {
namespace {

constexpr std::uint16_t kFlagPrevious = 0x0001;
constexpr std::uint16_t kFlagNext = 0x0002;
constexpr std::uint16_t kFlagReserve = 0x0004;
constexpr std::size_t kFixedHeader = 36;
constexpr std::size_t kReserveSizes = 4;
constexpr std::size_t kFolderEntry = 8;
constexpr std::size_t kNameLimit = 256;

std::uint16_t get16(const std::uint8_t *p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t get32(const std::uint8_t *p) { return get16(p) | static_cast<std::uint32_t>(get16(p + 2)) << 16; }
void put16(std::uint8_t *p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t *p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

// Skips one terminated name at `at`; false when it runs past size or the limit.
bool skipName(const std::uint8_t *bytes, std::size_t size, std::size_t &at, std::string *name)
{
    for (std::size_t n = 0; n < kNameLimit && at + n < size; ++n) {
        if (bytes[at + n] == 0) {
            if (name != nullptr) {
                name->assign(reinterpret_cast<const char *>(bytes + at), n);
            }
            at += n + 1;
            return true;
        }
    }
    return false;
}

// Where the set names end, that is where the folder entries begin.
bool namesEnd(const std::uint8_t *bytes, std::size_t size, HeaderFacts &facts, std::size_t &at)
{
    if (size < kFixedHeader || std::memcmp(bytes, "MSCF", 4) != 0) {
        return false;
    }
    const std::uint16_t flags = get16(bytes + 30);
    at = kFixedHeader;
    facts = HeaderFacts{};
    if (flags & kFlagReserve) {
        if (size < kFixedHeader + kReserveSizes) {
            return false;
        }
        facts.reserveOffset = kFixedHeader + kReserveSizes;
        facts.reserveSize = get16(bytes + 36);
        at = facts.reserveOffset + facts.reserveSize;
    }
    facts.first = (flags & kFlagPrevious) == 0;
    if (!facts.first && !(skipName(bytes, size, at, nullptr) && skipName(bytes, size, at, nullptr))) {
        return false;
    }
    if ((flags & kFlagNext) && !(skipName(bytes, size, at, &facts.next) && skipName(bytes, size, at, nullptr))) {
        return false;
    }
    return facts.reserveOffset + facts.reserveSize <= size;
}

}  // namespace

bool readHeader(const std::uint8_t *bytes, std::size_t size, HeaderFacts &facts)
{
    std::size_t at = 0;
    return namesEnd(bytes, size, facts, at);
}

RecordState parseRecord(const std::uint8_t *bytes, std::size_t size, const HeaderFacts &facts, Record &record)
{
    if (facts.reserveSize < sizeof kTag || facts.reserveOffset + facts.reserveSize > size) {
        return RecordState::Unsigned;
    }
    const std::uint8_t *area = bytes + facts.reserveOffset;
    if (std::memcmp(area, kTag, sizeof kTag) != 0) {
        return RecordState::Unsigned;
    }
    if (facts.reserveSize < kFixedSize || area[4] != kVersion || area[5] != kAlgorithmP256Sha256) {
        return RecordState::Unknown;
    }
    const std::size_t later = get16(area + 22);
    if (facts.reserveSize < recordSize(later)) {
        return RecordState::Unknown;
    }
    std::memcpy(record.keyId, area + 6, kKeyIdSize);
    std::memcpy(record.signature, area + kSignatureOffset, kSignatureSize);
    record.laterDigests.assign(area + kFixedSize, area + recordSize(later));
    return RecordState::Signed;
}

bool writeRecord(std::uint8_t *bytes, std::size_t size, const HeaderFacts &facts, const Record &record)
{
    const std::size_t later = record.laterDigests.size() / kDigestSize;
    if (later > 0xFFFF || facts.reserveSize < recordSize(later) || facts.reserveOffset + facts.reserveSize > size) {
        return false;
    }
    std::uint8_t *area = bytes + facts.reserveOffset;
    std::memset(area, 0, facts.reserveSize);
    std::memcpy(area, kTag, sizeof kTag);
    area[4] = kVersion;
    area[5] = kAlgorithmP256Sha256;
    std::memcpy(area + 6, record.keyId, kKeyIdSize);
    put16(area + 22, static_cast<std::uint32_t>(later));
    std::memcpy(area + kSignatureOffset, record.signature, kSignatureSize);
    if (later > 0) {
        std::memcpy(area + kFixedSize, record.laterDigests.data(), record.laterDigests.size());
    }
    return true;
}

bool withReserve(const std::vector<std::uint8_t> &cabinet, std::size_t needed, std::vector<std::uint8_t> &out)
{
    HeaderFacts facts;
    std::size_t folders = 0;
    const std::uint8_t *bytes = cabinet.data();
    if (!namesEnd(bytes, cabinet.size(), facts, folders) || needed > 0xFFFF ||
        get32(bytes + 8) != cabinet.size()) {
        return false;
    }
    const std::uint16_t flags = get16(bytes + 30);
    const bool hadArea = (flags & kFlagReserve) != 0;
    const std::size_t folderReserve = hadArea ? bytes[38] : 0;
    const std::size_t folderCount = get16(bytes + 26);
    if (folders + folderCount * (kFolderEntry + folderReserve) > cabinet.size()) {
        return false;
    }
    if (hadArea && facts.reserveSize >= needed) {
        out = cabinet;
        return true;
    }
    // The new bytes go at the end of the area (or where it begins, with its
    // sizes, when there was none).
    const std::size_t insertAt = hadArea ? facts.reserveOffset + facts.reserveSize : kFixedHeader;
    const std::size_t grow = needed - facts.reserveSize + (hadArea ? 0 : kReserveSizes);
    if (cabinet.size() + grow > 0xFFFFFFFFu) {
        return false;
    }
    out.clear();
    out.reserve(cabinet.size() + grow);
    out.insert(out.end(), cabinet.begin(), cabinet.begin() + static_cast<std::ptrdiff_t>(insertAt));
    out.insert(out.end(), grow, 0);
    out.insert(out.end(), cabinet.begin() + static_cast<std::ptrdiff_t>(insertAt), cabinet.end());
    std::uint8_t *o = out.data();
    put16(o + 30, flags | kFlagReserve);
    put16(o + 36, static_cast<std::uint32_t>(needed));
    if (!hadArea) {
        o[38] = 0;
        o[39] = 0;
    }
    put32(o + 8, static_cast<std::uint32_t>(out.size()));
    put32(o + 16, static_cast<std::uint32_t>(get32(o + 16) + grow));
    for (std::size_t i = 0; i < folderCount; ++i) {
        std::uint8_t *entry = o + folders + grow + i * (kFolderEntry + folderReserve);
        put32(entry, static_cast<std::uint32_t>(get32(entry) + grow));
    }
    return true;
}

namespace {

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// The P-256 SubjectPublicKeyInfo up to the point's 0x04.
constexpr std::uint8_t kSpkiPrefix[] = {
    0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01, 0x06,
    0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04,
};

}  // namespace

bool publicKeyFromPem(const std::string &pem, std::vector<std::uint8_t> &spki)
{
    const std::string begin = "-----BEGIN PUBLIC KEY-----";
    const std::string end = "-----END PUBLIC KEY-----";
    const std::size_t from = pem.find(begin);
    const std::size_t to = from == std::string::npos ? from : pem.find(end, from);
    if (to == std::string::npos) {
        return false;
    }
    spki.clear();
    std::uint32_t bits = 0;
    int held = 0;
    for (std::size_t i = from + begin.size(); i < to; ++i) {
        const char c = pem[i];
        if (c == '=') {
            break;
        }
        const int v = base64Value(c);
        if (v < 0) {
            if (c == '\r' || c == '\n' || c == ' ' || c == '\t') {
                continue;
            }
            return false;
        }
        bits = bits << 6 | static_cast<std::uint32_t>(v);
        held += 6;
        if (held >= 8) {
            held -= 8;
            spki.push_back(static_cast<std::uint8_t>(bits >> held));
        }
    }
    std::uint8_t point[kPointSize];
    return pointFromSpki(spki, point);
}

bool pointFromSpki(const std::vector<std::uint8_t> &spki, std::uint8_t point[kPointSize])
{
    if (spki.size() != kSpkiSize || std::memcmp(spki.data(), kSpkiPrefix, sizeof kSpkiPrefix) != 0) {
        return false;
    }
    std::memcpy(point, spki.data() + sizeof kSpkiPrefix, kPointSize);
    return true;
}

std::vector<std::uint8_t> spkiFromPoint(const std::uint8_t point[kPointSize])
{
    std::vector<std::uint8_t> spki(kSpkiSize);
    std::memcpy(spki.data(), kSpkiPrefix, sizeof kSpkiPrefix);
    std::memcpy(spki.data() + sizeof kSpkiPrefix, point, kPointSize);
    return spki;
}

std::string keyIdText(const std::uint8_t keyId[kKeyIdSize])
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < kKeyIdSize; ++i) {
        text += digits[keyId[i] >> 4];
        text += digits[keyId[i] & 15];
    }
    return text;
}

}  // namespace cabsig
