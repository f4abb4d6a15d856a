// The platform's cryptography behind cabinet signatures: OpenSSL on Linux,
// CNG (bcrypt) on Windows. Signing is the tools' business and exists on Linux
// only; verifying exists everywhere.
#pragma once

#include <cabinet/signature.h>

namespace cabsig {

class Digest {
public:
    Digest();
    ~Digest();
    Digest(const Digest &) = delete;
    Digest &operator=(const Digest &) = delete;

    // False once the library has failed; finish then fails too.
    bool update(const void *bytes, std::size_t count);
    bool finish(std::uint8_t out[kDigestSize]);

private:
    void *state_ = nullptr;   // the library's digest object
#ifdef _WIN32
    void *handle_ = nullptr;  // CNG's algorithm provider
#endif
    bool failed_ = false;
};

// The SHA-256 digest of a byte string.
bool digestOf(const std::uint8_t *bytes, std::size_t count, std::uint8_t out[kDigestSize]);

// True when signature (r then s) is a P-256 signature of digest by the key
// whose point (X then Y) is given.
bool verifyDigest(const std::uint8_t point[kPointSize], const std::uint8_t digest[kDigestSize],
                  const std::uint8_t signature[kSignatureSize]);

#ifndef _WIN32
// Signs digest with the P-256 private key in PEM text; spki receives the key's
// public half. False with a reason in error.
bool signDigest(const std::string &privatePem, const std::uint8_t digest[kDigestSize],
                std::uint8_t signature[kSignatureSize], std::vector<std::uint8_t> &spki, std::string &error);
#endif

}  // namespace cabsig
