#include "imaging/decode_probe.h"

#include <atomic>

namespace vistoro {

namespace {
std::atomic<DecodeTimings *> timingSink{nullptr};
std::atomic<DecodeFault> forcedFault{DecodeFault::none};
std::atomic<unsigned long> begun{0};
thread_local unsigned long begunHere = 0;
} // namespace

void setDecodeTimings(DecodeTimings *sink) noexcept { timingSink = sink; }
void setDecodeFault(DecodeFault fault) noexcept { forcedFault = fault; }
unsigned long decodesBegun() noexcept { return begun; }
unsigned long decodesBegunOnThisThread() noexcept { return begunHere; }

namespace detail {
DecodeTimings *decodeTimings() noexcept { return timingSink; }
bool faultAt(DecodeFault step) noexcept { return forcedFault == step; }
void noteRoute(DecodeRoute route) noexcept {
    if (DecodeTimings *sink = timingSink)
        sink->route = route;
}
void noteDirectHandle() noexcept {
    if (DecodeTimings *sink = timingSink)
        sink->directHandle = true;
}
void noteDecodeBegun() noexcept {
    ++begun;
    ++begunHere;
}
} // namespace detail

} // namespace vistoro
