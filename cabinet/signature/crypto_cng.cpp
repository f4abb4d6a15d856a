// Digests and ECDSA verification through CNG (bcrypt).
#include "signature_crypto.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>

namespace cabsig {

Digest::Digest()
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    failed_ = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
              BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0;
    handle_ = algorithm;
    state_ = hash;
}

Digest::~Digest()
{
    if (state_ != nullptr) {
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(state_));
    }
    if (handle_ != nullptr) {
        BCryptCloseAlgorithmProvider(static_cast<BCRYPT_ALG_HANDLE>(handle_), 0);
    }
}

bool Digest::update(const void *bytes, std::size_t count)
{
    failed_ = failed_ || BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(state_),
                                        static_cast<PUCHAR>(const_cast<void *>(bytes)), static_cast<ULONG>(count), 0) != 0;
    return !failed_;
}

bool Digest::finish(std::uint8_t out[kDigestSize])
{
    failed_ = failed_ || BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(state_), out, kDigestSize, 0) != 0;
    return !failed_;
}

bool verifyDigest(const std::uint8_t point[kPointSize], const std::uint8_t digest[kDigestSize],
                  const std::uint8_t signature[kSignatureSize])
{
    std::uint8_t blob[sizeof(BCRYPT_ECCKEY_BLOB) + kPointSize];
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, point, kPointSize);
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_KEY_HANDLE key = nullptr;
    bool good = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) == 0 &&
                BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob, sizeof blob, 0) == 0;
    if (good) {
        good = BCryptVerifySignature(key, nullptr, const_cast<PUCHAR>(digest), kDigestSize,
                                     const_cast<PUCHAR>(signature), kSignatureSize, 0) == 0;
    }
    if (key != nullptr) {
        BCryptDestroyKey(key);
    }
    if (algorithm != nullptr) {
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    return good;
}

}  // namespace cabsig
