#include "imaging/decode_probe.h"

namespace vistoro {

namespace {
DecodeTimings *timingSink = nullptr;
DecodeFault forcedFault = DecodeFault::none;
unsigned long begun = 0;
} // namespace

void setDecodeTimings(DecodeTimings *sink) noexcept { timingSink = sink; }
void setDecodeFault(DecodeFault fault) noexcept { forcedFault = fault; }
unsigned long decodesBegun() noexcept { return begun; }

namespace detail {
DecodeTimings *decodeTimings() noexcept { return timingSink; }
bool faultAt(DecodeFault step) noexcept { return forcedFault == step; }
void noteRoute(DecodeRoute route) noexcept {
    if (timingSink)
        timingSink->route = route;
}
void noteDirectHandle() noexcept {
    if (timingSink)
        timingSink->directHandle = true;
}
void noteDecodeBegun() noexcept { ++begun; }
} // namespace detail

} // namespace vistoro
