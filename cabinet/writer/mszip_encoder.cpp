// MSZIP: every data block is "CK" followed by a complete raw deflate stream.
// Readers keep the previous block's output as the deflate window, so each
// block is compressed with the previous 32768 bytes of the folder as its
// preset dictionary and may refer back into them.
#include "encoder.h"

#include <zlib.h>

#include <cstring>

namespace cabwriter {

namespace {

// The largest block a reader accepts: the uncompressed maximum plus 12.
constexpr std::uint32_t kMaxMszipBlock = kBlockSize + 12;

class MszipEncoder final : public BlockEncoder {
public:
    MszipEncoder() = default;
    ~MszipEncoder() override
    {
        if (ready_) {
            deflateEnd(&stream_);
        }
    }
    MszipEncoder(const MszipEncoder &) = delete;
    MszipEncoder &operator=(const MszipEncoder &) = delete;

    bool init(std::string &error)
    {
        std::memset(&stream_, 0, sizeof stream_);
        if (deflateInit2(&stream_, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            error = "deflate could not be set up";
            return false;
        }
        ready_ = true;
        return true;
    }

    bool encodeBlock(const std::uint8_t *data, std::uint32_t size, std::vector<std::uint8_t> &out,
                     std::string &error) override
    {
        if (deflateReset(&stream_) != Z_OK) {
            error = "deflate reset failed";
            return false;
        }
        if (!history_.empty() &&
            deflateSetDictionary(&stream_, history_.data(), static_cast<uInt>(history_.size())) != Z_OK) {
            error = "deflate refused the previous block as dictionary";
            return false;
        }
        const uLong bound = deflateBound(&stream_, size) + 16;
        out.assign(2 + bound, 0);
        out[0] = 'C';
        out[1] = 'K';
        stream_.next_in = const_cast<Bytef *>(data);
        stream_.avail_in = size;
        stream_.next_out = out.data() + 2;
        stream_.avail_out = static_cast<uInt>(bound);
        if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) {
            error = "deflate did not finish a block";
            return false;
        }
        out.resize(2 + stream_.total_out);
        if (out.size() > kMaxMszipBlock) {
            // Incompressible data can come out a few bytes over the limit;
            // one stored deflate block always fits (5 bytes of framing).
            storeBlock(data, size, out);
        }
        history_.assign(data, data + size);
        return true;
    }

private:
    static void storeBlock(const std::uint8_t *data, std::uint32_t size, std::vector<std::uint8_t> &out)
    {
        out.resize(7 + size);
        out[0] = 'C';
        out[1] = 'K';
        out[2] = 0x01;  // final block, type 0 (stored), padding bits zero
        out[3] = static_cast<std::uint8_t>(size & 0xFF);
        out[4] = static_cast<std::uint8_t>(size >> 8);
        out[5] = static_cast<std::uint8_t>(~size & 0xFF);
        out[6] = static_cast<std::uint8_t>((~size >> 8) & 0xFF);
        if (size != 0) {
            std::memcpy(out.data() + 7, data, size);
        }
    }

    z_stream stream_{};
    bool ready_ = false;
    std::vector<std::uint8_t> history_;
};

}  // namespace

std::unique_ptr<BlockEncoder> makeMszipEncoder(std::string &error)
{
    auto encoder = std::make_unique<MszipEncoder>();
    if (!encoder->init(error)) {
        return nullptr;
    }
    return encoder;
}

}  // namespace cabwriter
