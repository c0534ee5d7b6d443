// Files in forms that some platform decoders refuse or fault on, replaced
// before any decoder sees them by bytes of the same picture in a form that
// every decoder takes the same way. Internal to the imaging layer.
#pragma once

#include "imaging/byte_stream.h"

#include <memory>

namespace vistoro {

// The bytes themselves when their form is taken everywhere; else the
// equivalent bytes (bmp_bitfields.h, bmp_info_header.h, gif_palette.h), or
// null when the file has no equivalent that is safe to decode.
std::shared_ptr<const ByteBlock> equivalentBytes(std::shared_ptr<const ByteBlock> bytes);

} // namespace vistoro
