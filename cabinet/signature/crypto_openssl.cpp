// Digests and ECDSA through OpenSSL's EVP interface.
#include "signature_crypto.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace cabsig {

Digest::Digest()
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    state_ = context;
    failed_ = context == nullptr || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1;
}

Digest::~Digest() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX *>(state_)); }

bool Digest::update(const void *bytes, std::size_t count)
{
    failed_ = failed_ || EVP_DigestUpdate(static_cast<EVP_MD_CTX *>(state_), bytes, count) != 1;
    return !failed_;
}

bool Digest::finish(std::uint8_t out[kDigestSize])
{
    unsigned size = 0;
    failed_ = failed_ || EVP_DigestFinal_ex(static_cast<EVP_MD_CTX *>(state_), out, &size) != 1 || size != kDigestSize;
    return !failed_;
}

namespace {

// An ECDSA signature in DER from r and s, or empty.
std::vector<std::uint8_t> derSignature(const std::uint8_t signature[kSignatureSize])
{
    std::vector<std::uint8_t> der;
    ECDSA_SIG *sig = ECDSA_SIG_new();
    BIGNUM *r = BN_bin2bn(signature, 32, nullptr);
    BIGNUM *s = BN_bin2bn(signature + 32, 32, nullptr);
    if (sig != nullptr && r != nullptr && s != nullptr && ECDSA_SIG_set0(sig, r, s) == 1) {
        r = s = nullptr;
        unsigned char *out = nullptr;
        const int size = i2d_ECDSA_SIG(sig, &out);
        if (size > 0) {
            der.assign(out, out + size);
        }
        OPENSSL_free(out);
    }
    BN_free(r);
    BN_free(s);
    ECDSA_SIG_free(sig);
    return der;
}

}  // namespace

bool verifyDigest(const std::uint8_t point[kPointSize], const std::uint8_t digest[kDigestSize],
                  const std::uint8_t signature[kSignatureSize])
{
    const std::vector<std::uint8_t> spki = spkiFromPoint(point);
    const unsigned char *in = spki.data();
    EVP_PKEY *key = d2i_PUBKEY(nullptr, &in, kSpkiSize);
    const std::vector<std::uint8_t> der = derSignature(signature);
    EVP_PKEY_CTX *context = key == nullptr ? nullptr : EVP_PKEY_CTX_new(key, nullptr);
    const bool good = context != nullptr && !der.empty() && EVP_PKEY_verify_init(context) == 1 &&
                      EVP_PKEY_verify(context, der.data(), der.size(), digest, kDigestSize) == 1;
    EVP_PKEY_CTX_free(context);
    EVP_PKEY_free(key);
    return good;
}

bool signDigest(const std::string &privatePem, const std::uint8_t digest[kDigestSize],
                std::uint8_t signature[kSignatureSize], std::vector<std::uint8_t> &spki, std::string &error)
{
    BIO *bio = BIO_new_mem_buf(privatePem.data(), static_cast<int>(privatePem.size()));
    EVP_PKEY *key = bio == nullptr ? nullptr : PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (key == nullptr) {
        error = "not a PEM private key";
        return false;
    }
    spki.clear();
    unsigned char *out = nullptr;
    const int size = i2d_PUBKEY(key, &out);
    if (size > 0) {
        spki.assign(out, out + size);
    }
    OPENSSL_free(out);
    std::uint8_t point[kPointSize];
    if (!pointFromSpki(spki, point)) {
        EVP_PKEY_free(key);
        error = "not a P-256 key";
        return false;
    }
    EVP_PKEY_CTX *context = EVP_PKEY_CTX_new(key, nullptr);
    std::size_t derSize = 0;
    std::vector<std::uint8_t> der;
    bool good = context != nullptr && EVP_PKEY_sign_init(context) == 1 &&
                EVP_PKEY_sign(context, nullptr, &derSize, digest, kDigestSize) == 1;
    if (good) {
        der.resize(derSize);
        good = EVP_PKEY_sign(context, der.data(), &derSize, digest, kDigestSize) == 1;
    }
    EVP_PKEY_CTX_free(context);
    EVP_PKEY_free(key);
    const unsigned char *in = der.data();
    ECDSA_SIG *sig = good ? d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(derSize)) : nullptr;
    good = sig != nullptr && BN_bn2binpad(ECDSA_SIG_get0_r(sig), signature, 32) == 32 &&
           BN_bn2binpad(ECDSA_SIG_get0_s(sig), signature + 32, 32) == 32;
    ECDSA_SIG_free(sig);
    if (!good) {
        error = "the signing library failed";
    }
    return good;
}

}  // namespace cabsig
