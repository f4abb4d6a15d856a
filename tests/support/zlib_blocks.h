// MSZIP data blocks made with zlib, as an independent encoder for tests.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport {

// Splits `data` into the data blocks of one MSZIP folder: each 32768-byte
// piece is its own raw deflate stream, primed with the previous piece and
// prefixed "CK".
std::vector<std::vector<std::uint8_t>> zlibMszipBlocks(const std::vector<std::uint8_t> &data, int level,
                                                       int strategy);

}  // namespace testsupport
