// Cabinet signatures: a vendor's ECDSA signature kept in the per-cabinet
// reserve area of the first cabinet of a set.
//
// LOCATING THE RECORD
//   A cabinet whose header flags (offset 30) have bit 2 set carries, at offset
//   36, the size of its per-cabinet reserve area (16 bits), then one byte each
//   for the per-folder and per-block reserve sizes; the area itself begins at
//   offset 40. The record begins at the first byte of the area; bytes of the
//   area after the record are zero when written and are signed like any other.
//
// THE RECORD (all numbers little-endian)
//   offset  size  field
//        0     4  tag, the bytes "OSIG"
//        4     1  version, 1
//        5     1  algorithm, 1: ECDSA over P-256 of a SHA-256 digest
//        6    16  key identity: the first 16 bytes of the SHA-256 digest of
//                 the public key's DER SubjectPublicKeyInfo
//       22     2  later cabinets: how many cabinets follow this one in its set
//       24    64  signature: r then s, 32 bytes each, big-endian
//       88  32*n  for each later cabinet in set order, the SHA-256 digest of
//                 its whole file
//
// WHAT IS SIGNED
//   The SHA-256 digest of every byte of the first cabinet, with the 64
//   signature bytes read as zeros. The digests of the later cabinets lie
//   inside those bytes, so the set is signed as a whole: a later cabinet is
//   found through the next-cabinet name of the one before it, in the first
//   cabinet's folder, and must match its digest byte for byte.
//
// This header and signature_record.cpp need no cryptography; the digests and
// the signature come from the platform (signature_crypto.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cabsig {

inline constexpr std::uint8_t kTag[4] = {'O', 'S', 'I', 'G'};
inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::uint8_t kAlgorithmP256Sha256 = 1;
inline constexpr std::size_t kKeyIdSize = 16;
inline constexpr std::size_t kDigestSize = 32;
inline constexpr std::size_t kSignatureSize = 64;
inline constexpr std::size_t kFixedSize = 88;
inline constexpr std::size_t kSignatureOffset = 24;  // within the record
// The DER SubjectPublicKeyInfo of a P-256 key: a fixed prefix, then the
// uncompressed point (0x04, X, Y).
inline constexpr std::size_t kSpkiSize = 91;
inline constexpr std::size_t kPointSize = 64;  // X then Y

// The first header bytes that hold the reserve area and the set names: the
// fixed header, the largest reserve area and four names.
inline constexpr std::size_t kHeaderSpan = 40 + 65535 + 4 * 256;

inline std::size_t recordSize(std::size_t laterCabinets) { return kFixedSize + kDigestSize * laterCabinets; }

// What the start of a cabinet says about its reserve area and its set.
struct HeaderFacts {
    std::uint32_t reserveOffset = 0;  // 40 when there is an area
    std::uint32_t reserveSize = 0;    // 0 without one
    bool first = true;                // names no previous cabinet
    std::string next;                 // the next cabinet's file name, or empty
};

// False when bytes (the start of a file, up to kHeaderSpan of it; size is the
// count available) do not begin a cabinet header or end inside it.
bool readHeader(const std::uint8_t *bytes, std::size_t size, HeaderFacts &facts);

struct Record {
    std::uint8_t keyId[kKeyIdSize] = {};
    std::uint8_t signature[kSignatureSize] = {};
    std::vector<std::uint8_t> laterDigests;  // kDigestSize bytes per later cabinet
};

enum class RecordState {
    Signed,    // a record of this version and algorithm
    Unsigned,  // no reserve area, or no tag at its start
    Unknown,   // the tag, but another version or algorithm, or cut short
};

// Reads the record from the reserve area facts describe.
RecordState parseRecord(const std::uint8_t *bytes, std::size_t size, const HeaderFacts &facts, Record &record);

// Writes record at the start of the reserve area and zeros the rest of it.
// False when the area is too small for it.
bool writeRecord(std::uint8_t *bytes, std::size_t size, const HeaderFacts &facts, const Record &record);

// A copy of a whole cabinet whose per-cabinet reserve area holds at least
// `needed` bytes: an area is inserted, or the existing one grown, and every
// offset after it moves with it (the cabinet size, the file-list offset, each
// folder's data offset). False when the cabinet is malformed or the area
// cannot grow that large.
bool withReserve(const std::vector<std::uint8_t> &cabinet, std::size_t needed, std::vector<std::uint8_t> &out);

// The 91-byte DER SubjectPublicKeyInfo from the text of a PEM "PUBLIC KEY";
// false when there is none or it is not a P-256 key.
bool publicKeyFromPem(const std::string &pem, std::vector<std::uint8_t> &spki);
// The point of a P-256 SubjectPublicKeyInfo (X then Y); false for anything else.
bool pointFromSpki(const std::vector<std::uint8_t> &spki, std::uint8_t point[kPointSize]);
std::vector<std::uint8_t> spkiFromPoint(const std::uint8_t point[kPointSize]);

// 32 lowercase hex digits of a key identity.
std::string keyIdText(const std::uint8_t keyId[kKeyIdSize]);

}  // namespace cabsig
