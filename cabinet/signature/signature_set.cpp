// Signature checks over a whole set, and signing (Linux).
#include "signature_set.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "signature_crypto.h"

namespace cabsig {

StdioFiles::~StdioFiles() { close(); }

bool StdioFiles::open(const std::string &path)
{
    close();
    file_ = std::fopen(path.c_str(), "rb");
    return file_ != nullptr;
}

bool StdioFiles::read(void *buffer, std::size_t size, std::size_t &got)
{
    std::FILE *file = static_cast<std::FILE *>(file_);
    got = std::fread(buffer, 1, size, file);
    return got == size || !std::ferror(file);
}

void StdioFiles::close()
{
    if (file_ != nullptr) {
        std::fclose(static_cast<std::FILE *>(file_));
        file_ = nullptr;
    }
}

std::string folderOf(const std::string &path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {

// Reads up to kHeaderSpan bytes from the open file into head.
bool readHead(SetFiles &files, std::vector<std::uint8_t> &head)
{
    head.resize(kHeaderSpan);
    std::size_t filled = 0;
    std::size_t got = 0;
    do {
        if (!files.read(head.data() + filled, head.size() - filled, got)) {
            return false;
        }
        filled += got;
    } while (got > 0 && filled < head.size());
    head.resize(filled);
    return true;
}

// Feeds the rest of the open file to digest.
bool digestRest(SetFiles &files, Digest &digest)
{
    std::uint8_t buffer[65536];
    std::size_t got = 0;
    do {
        if (!files.read(buffer, sizeof buffer, got) || !digest.update(buffer, got)) {
            return false;
        }
    } while (got > 0);
    return true;
}

// Opens a later cabinet and takes its digest and the name of the one after it.
bool laterCabinet(SetFiles &files, const std::string &path, std::uint8_t out[kDigestSize], std::string &next)
{
    std::vector<std::uint8_t> head;
    HeaderFacts facts;
    Digest digest;
    const bool read = files.open(path) && readHead(files, head) && digest.update(head.data(), head.size()) &&
                      digestRest(files, digest) && digest.finish(out);
    next = read && readHeader(head.data(), head.size(), facts) ? facts.next : std::string();
    return read;
}

void keyIdOf(const std::vector<std::uint8_t> &spki, std::uint8_t keyId[kKeyIdSize])
{
    std::uint8_t digest[kDigestSize];
    if (!digestOf(spki.data(), spki.size(), digest)) {
        std::memset(digest, 0, sizeof digest);
    }
    std::memcpy(keyId, digest, kKeyIdSize);
}

}  // namespace

bool digestOf(const std::uint8_t *bytes, std::size_t count, std::uint8_t out[kDigestSize])
{
    Digest digest;
    return digest.update(bytes, count) && digest.finish(out);
}

Verdict verifySet(const std::string &path, const std::vector<std::uint8_t> &spki, SetFiles &files, std::string &later)
{
    std::uint8_t point[kPointSize];
    std::vector<std::uint8_t> head;
    if (!pointFromSpki(spki, point) || !files.open(path) || !readHead(files, head)) {
        return Verdict::CannotRead;
    }
    HeaderFacts facts;
    Record record;
    if (!readHeader(head.data(), head.size(), facts) || !facts.first) {
        return Verdict::NotCabinet;
    }
    switch (parseRecord(head.data(), head.size(), facts, record)) {
    case RecordState::Unsigned:
        return Verdict::Unsigned;
    case RecordState::Unknown:
        return Verdict::UnknownRecord;
    case RecordState::Signed:
        break;
    }
    std::uint8_t keyId[kKeyIdSize];
    keyIdOf(spki, keyId);
    if (std::memcmp(keyId, record.keyId, kKeyIdSize) != 0) {
        return Verdict::OtherKey;
    }
    // The signature is read as zeros; everything else as it stands.
    std::memset(head.data() + facts.reserveOffset + kSignatureOffset, 0, kSignatureSize);
    Digest digest;
    std::uint8_t signedDigest[kDigestSize];
    if (!digest.update(head.data(), head.size()) || !digestRest(files, digest) || !digest.finish(signedDigest)) {
        return Verdict::CannotRead;
    }
    if (!verifyDigest(point, signedDigest, record.signature)) {
        return Verdict::Altered;
    }
    const std::string folder = folderOf(path);
    std::string next = facts.next;
    for (std::size_t i = 0; i < record.laterDigests.size() / kDigestSize; ++i) {
        later = next;
        std::uint8_t found[kDigestSize];
        if (next.empty() || !laterCabinet(files, folder + later, found, next)) {
            return Verdict::LaterMissing;
        }
        if (std::memcmp(found, record.laterDigests.data() + i * kDigestSize, kDigestSize) != 0) {
            return Verdict::LaterAltered;
        }
    }
    later = next;
    return next.empty() ? Verdict::Good : Verdict::SetGoesOn;
}

std::string describe(Verdict verdict, const std::string &later)
{
    switch (verdict) {
    case Verdict::Good:
        return "good signature";
    case Verdict::CannotRead:
        return "cannot read the cabinet";
    case Verdict::NotCabinet:
        return "not the first cabinet of a set";
    case Verdict::Unsigned:
        return "not signed";
    case Verdict::UnknownRecord:
        return "signed in a form this version does not know";
    case Verdict::OtherKey:
        return "signed by another key";
    case Verdict::Altered:
        return "altered since it was signed";
    case Verdict::LaterMissing:
        return "the later cabinet " + later + " is missing";
    case Verdict::LaterAltered:
        return "the later cabinet " + later + " was altered since the set was signed";
    case Verdict::SetGoesOn:
        return "the set goes on past what was signed, to " + later;
    }
    return "";
}

RecordState recordOf(const std::string &path, Record &record)
{
    StdioFiles files;
    std::vector<std::uint8_t> head;
    HeaderFacts facts;
    if (!files.open(path) || !readHead(files, head) || !readHeader(head.data(), head.size(), facts)) {
        return RecordState::Unsigned;
    }
    return parseRecord(head.data(), head.size(), facts, record);
}

#ifndef _WIN32
namespace {

bool wholeFile(const std::string &path, std::vector<std::uint8_t> &bytes)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    bytes.clear();
    std::uint8_t buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    const bool good = !std::ferror(file);
    std::fclose(file);
    return good;
}

}  // namespace

bool signCabinet(const std::string &path, const std::string &privatePem, std::vector<std::uint8_t> &out,
                 std::string &error)
{
    std::vector<std::uint8_t> cabinet;
    HeaderFacts facts;
    if (!wholeFile(path, cabinet)) {
        error = "cannot read the cabinet";
        return false;
    }
    if (!readHeader(cabinet.data(), cabinet.size(), facts) || !facts.first) {
        error = "not the first cabinet of a set";
        return false;
    }
    Record record;
    StdioFiles files;
    const std::string folder = folderOf(path);
    for (std::string next = facts.next; !next.empty();) {
        const std::string later = next;
        std::uint8_t digest[kDigestSize];
        if (record.laterDigests.size() / kDigestSize >= 0xFFFF || !laterCabinet(files, folder + later, digest, next)) {
            error = "cannot read the later cabinet " + later;
            return false;
        }
        record.laterDigests.insert(record.laterDigests.end(), digest, digest + kDigestSize);
    }
    const std::size_t needed = recordSize(record.laterDigests.size() / kDigestSize);
    if (!withReserve(cabinet, std::max<std::size_t>(needed, facts.reserveSize), out) ||
        !readHeader(out.data(), out.size(), facts)) {
        error = "no room for a signature in this cabinet";
        return false;
    }
    // The key's identity goes into the signed bytes: sign once for it, then
    // once more over the record that carries it.
    std::uint8_t digest[kDigestSize];
    std::vector<std::uint8_t> spki;
    for (int pass = 0; pass < 2; ++pass) {
        std::memset(record.signature, 0, kSignatureSize);
        if (!writeRecord(out.data(), out.size(), facts, record) || !digestOf(out.data(), out.size(), digest)) {
            error = "the digest library failed";
            return false;
        }
        if (!signDigest(privatePem, digest, record.signature, spki, error)) {
            return false;
        }
        keyIdOf(spki, record.keyId);
    }
    return writeRecord(out.data(), out.size(), facts, record);
}
#endif

}  // namespace cabsig
