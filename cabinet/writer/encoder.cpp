#include "encoder.h"

#include <cctype>
#include <string>

namespace cabwriter {

namespace {

class StoredEncoder final : public BlockEncoder {
public:
    bool encodeBlock(const std::uint8_t *data, std::uint32_t size, std::vector<std::uint8_t> &out,
                     std::string &) override
    {
        out.assign(data, data + size);
        return true;
    }
};

// The rest of a "method" or "method:N" text after the method's name.
bool parseWindowBits(const std::string &rest, unsigned defaultBits, unsigned minBits, unsigned maxBits, Method method,
                     Compression &out)
{
    unsigned bits = defaultBits;
    if (!rest.empty()) {
        if (rest.size() < 2 || rest.size() > 3 || rest[0] != ':' ||
            rest.find_first_not_of("0123456789", 1) != std::string::npos) {
            return false;
        }
        bits = static_cast<unsigned>(std::stoul(rest.substr(1)));
    }
    if (bits < minBits || bits > maxBits) {
        return false;
    }
    out = Compression{method, static_cast<std::uint8_t>(bits)};
    return true;
}

}  // namespace

bool BlockEncoder::queueBlock(const std::uint8_t *data, std::uint32_t size, std::vector<EncodedBlock> &ready,
                              std::string &error)
{
    EncodedBlock block;
    block.uncompressed = size;
    if (!encodeBlock(data, size, block.data, error)) {
        return false;
    }
    ready.push_back(std::move(block));
    return true;
}

bool BlockEncoder::flush(std::vector<EncodedBlock> &, std::string &)
{
    return true;
}

std::uint16_t Compression::typeWord() const
{
    return static_cast<std::uint16_t>(static_cast<unsigned>(method) | ((windowBits & 0x1Fu) << 8));
}

bool parseCompression(const std::string &text, Compression &out)
{
    std::string lower;
    for (char c : text) {
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower == "none") {
        out = Compression{Method::None, 0};
        return true;
    }
    if (lower == "mszip") {
        out = Compression{Method::Mszip, 0};
        return true;
    }
    if (lower.rfind("quantum", 0) == 0) {
        return parseWindowBits(lower.substr(7), kQuantumDefaultWindowBits, kQuantumMinWindowBits,
                               kQuantumMaxWindowBits, Method::Quantum, out);
    }
    if (lower.rfind("lzx", 0) == 0) {
        return parseWindowBits(lower.substr(3), 21, 15, 21, Method::Lzx, out);
    }
    return false;
}

std::unique_ptr<BlockEncoder> makeEncoder(const Compression &compression, std::string &error)
{
    switch (compression.method) {
    case Method::None:
        return std::make_unique<StoredEncoder>();
    case Method::Mszip:
        return makeMszipEncoder(error);
    case Method::Lzx: {
        LzxSettings settings;
        settings.windowBits = compression.windowBits;
        settings.callTranslation = compression.callTranslation;
        return makeLzxEncoder(settings, error);
    }
    case Method::Quantum:
        return makeQuantumEncoder(compression.windowBits, error);
    }
    error = "compression method " + std::to_string(static_cast<unsigned>(compression.method)) +
            " cannot be written";
    return nullptr;
}

}  // namespace cabwriter
