#include "imaging/decode_probe.h"

namespace vistoro {

namespace {
DecodeTimings *timingSink = nullptr;
DecodeFault forcedFault = DecodeFault::none;
} // namespace

void setDecodeTimings(DecodeTimings *sink) noexcept { timingSink = sink; }
void setDecodeFault(DecodeFault fault) noexcept { forcedFault = fault; }

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
} // namespace detail

} // namespace vistoro
