#include "encoder.h"

#include <cctype>

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
    if (lower == "lzx") {
        out = Compression{Method::Lzx, 21};
        return true;
    }
    if (lower.size() == 6 && lower.compare(0, 4, "lzx:") == 0 && std::isdigit(static_cast<unsigned char>(lower[4])) &&
        std::isdigit(static_cast<unsigned char>(lower[5]))) {
        const int bits = (lower[4] - '0') * 10 + (lower[5] - '0');
        if (bits >= 15 && bits <= 21) {
            out = Compression{Method::Lzx, static_cast<std::uint8_t>(bits)};
            return true;
        }
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
    }
    error = "compression method " + std::to_string(static_cast<unsigned>(compression.method)) +
            " cannot be written";
    return nullptr;
}

}  // namespace cabwriter
