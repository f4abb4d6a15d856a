#include "output/sha256.h"

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

namespace cabtool {

namespace {

constexpr unsigned kDigestBytes = 32;

std::string hex(const unsigned char *digest)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < kDigestBytes; ++i) {
        out += kDigits[digest[i] >> 4];
        out += kDigits[digest[i] & 0x0F];
    }
    return out;
}

}  // namespace

#ifdef _WIN32

// One provider for the program's life: opening it is the slow part.
namespace {

BCRYPT_ALG_HANDLE provider()
{
    static BCRYPT_ALG_HANDLE algorithm = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        return BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ? opened
                                                                                                        : nullptr;
    }();
    return algorithm;
}

}  // namespace

Sha256::Sha256() = default;

Sha256::~Sha256()
{
    if (state_ != nullptr) {
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(state_));
    }
}

bool Sha256::begin()
{
    started_ = false;
    if (state_ != nullptr) {
        BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(state_));
        state_ = nullptr;
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    // With a null object buffer CNG keeps the hash object itself.
    if (provider() == nullptr || !BCRYPT_SUCCESS(BCryptCreateHash(provider(), &hash, nullptr, 0, nullptr, 0, 0))) {
        return false;
    }
    state_ = hash;
    started_ = true;
    return true;
}

bool Sha256::update(const void *bytes, std::uint32_t count)
{
    return started_ &&
           BCRYPT_SUCCESS(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(state_),
                                         static_cast<PUCHAR>(const_cast<void *>(bytes)), count, 0));
}

std::string Sha256::finish()
{
    unsigned char digest[kDigestBytes];
    const bool finished =
        started_ && BCRYPT_SUCCESS(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(state_), digest, kDigestBytes, 0));
    started_ = false;
    return finished ? hex(digest) : std::string();
}

#else

Sha256::Sha256() : state_(EVP_MD_CTX_new()) {}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX *>(state_));
}

bool Sha256::begin()
{
    started_ = state_ != nullptr && EVP_DigestInit_ex(static_cast<EVP_MD_CTX *>(state_), EVP_sha256(), nullptr) == 1;
    return started_;
}

bool Sha256::update(const void *bytes, std::uint32_t count)
{
    return started_ && EVP_DigestUpdate(static_cast<EVP_MD_CTX *>(state_), bytes, count) == 1;
}

std::string Sha256::finish()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    const bool finished =
        started_ && EVP_DigestFinal_ex(static_cast<EVP_MD_CTX *>(state_), digest, &size) == 1 && size == kDigestBytes;
    started_ = false;
    return finished ? hex(digest) : std::string();
}

#endif

}  // namespace cabtool
