#include "imaging/equivalent_bytes.h"

#include "imaging/bmp_bitfields.h"
#include "imaging/bmp_info_header.h"
#include "imaging/gif_palette.h"

namespace vistoro {

std::shared_ptr<const ByteBlock> equivalentBytes(std::shared_ptr<const ByteBlock> bytes) {
    if (!bytes)
        return nullptr;
    if (hasBitFieldPixels(bytes->data(), bytes->size()))
        return plainBmpFrom(bytes->data(), bytes->size());
    if (hasMaskInfoHeader(bytes->data(), bytes->size()))
        return withPlainInfoHeader(bytes->data(), bytes->size());
    if (lacksGlobalColourTable(bytes->data(), bytes->size()))
        return withDefaultColourTable(bytes->data(), bytes->size());
    return bytes;
}

} // namespace vistoro
