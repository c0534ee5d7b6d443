#include "imaging/metafile_check.h"

#include "imaging/byte_order.h"
#include "imaging/emf_check.h"
#include "imaging/wmf_check.h"

namespace vistoro {

MetafileKind metafileKindOf(const BYTE *data, std::size_t size) noexcept {
    // The platform's loaders take the first two bytes of the placeable key,
    // or a first record of type 1, or the signature at offset 40, for a
    // metafile; each is checked as one here.
    if (size >= 2 && le16(data) == (kPlaceableKey & 0xFFFF))
        return MetafileKind::placeable;
    if ((size >= 4 && le32(data) == kEmfHeaderRecord) ||
        (size >= 44 && le32(data + 40) == kEmfSignature))
        return MetafileKind::enhanced;
    // Memory or disk metafile, a nine-word header, version 1 or 3.
    if (size >= kWmfHeaderBytes && (le16(data) == 1 || le16(data) == 2) && le16(data + 2) == 9 &&
        (le16(data + 4) == 0x0100 || le16(data + 4) == 0x0300))
        return MetafileKind::plainWmf;
    return MetafileKind::none;
}

bool metafileRecordsHoldTogether(const BYTE *data, std::size_t size) noexcept {
    switch (metafileKindOf(data, size)) {
    case MetafileKind::none:
        return true;
    case MetafileKind::enhanced:
        return enhancedMetafileIsSound(data, size);
    case MetafileKind::placeable:
        return size >= kPlaceableBytes && le32(data) == kPlaceableKey &&
               windowsMetafileIsSound(data + kPlaceableBytes, size - kPlaceableBytes);
    case MetafileKind::plainWmf:
        return windowsMetafileIsSound(data, size);
    }
    return false;
}

} // namespace vistoro
