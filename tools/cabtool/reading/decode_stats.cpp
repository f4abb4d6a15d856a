#include "reading/decode_stats.h"

#include "reading/engine_io.h"

#include <cinttypes>
#include <cstdio>

namespace cabtool {

namespace {

DecodeStats g_stats;

}  // namespace

std::int32_t countDecoding(CabHookRecord *record)
{
    switch (record->kind) {
    case CabHookKind::FolderReserve:
        // A folder that goes on in the next cabinet is still the same pass.
        g_stats.folderPasses += record->continuesFolder != 0 ? 0 : 1;
        break;
    case CabHookKind::DataBlock:
        // A block's second piece comes with the size of the first in partialSize.
        g_stats.blocks += record->partialSize == 0 ? 1 : 0;
        g_stats.compressedBytes += static_cast<std::uint16_t>(record->dataSize - record->partialSize);
        break;
    case CabHookKind::CabinetReserve:
        break;
    }
    return 0;
}

const DecodeStats &decodeStats()
{
    return g_stats;
}

void reportDecodeStats()
{
    std::fprintf(stderr,
                 "cabtool: decoded %" PRIu64 " data block(s) (%" PRIu64 " compressed bytes) in %" PRIu64
                 " folder pass(es); %" PRIu64 " bytes read from cabinets\n",
                 g_stats.blocks, g_stats.compressedBytes, g_stats.folderPasses, bytesReadByEngine());
}

}  // namespace cabtool
