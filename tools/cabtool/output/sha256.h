// SHA-256 from the platform's own cryptography: OpenSSL's EVP interface on
// Linux, CNG (bcrypt) on Windows.
#pragma once

#include <cstdint>
#include <string>

namespace cabtool {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    // False when the library refused to start a digest; update and finish
    // then fail too.
    bool begin();
    bool update(const void *bytes, std::uint32_t count);
    // The digest of everything since begin, as 64 lowercase hex digits;
    // empty when the library failed.
    std::string finish();

private:
    void *state_ = nullptr;  // the library's digest object
    bool started_ = false;   // begin succeeded and finish has not come yet
};

}  // namespace cabtool
