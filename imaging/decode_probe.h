// A seam into GDIP_IMAGEFROMFILE for the benchmark and the tests: the time
// of each step and the way taken, and a failure forced at one step. Both are off unless set;
// when off they cost one pointer test per step. A count of the decodes begun
// is always kept, in all and on each thread: one increment per call. Decodes
// may run on several threads at once; the step times are recorded only by
// tools that decode on one.
#pragma once

namespace vistoro {

// How the last picture reached its target format.
enum class DecodeRoute {
    none,
    copyWords, // 32-bit RGB words copied unchanged
    lockRows,  // converted by the service into locked rows
    draw,      // drawn at 1:1
};

struct DecodeTimings {
    double readMs = 0;      // file into a memory block and a stream over it
    double decodeMs = 0;    // the imaging service's decode of the stream
    double normaliseMs = 0; // target image made and filled in its format
    double handleMs = 0;    // conversion to a bitmap handle
    DecodeRoute route = DecodeRoute::none;
    bool directHandle = false; // filled straight into the handle's DIB section
};

enum class DecodeFault {
    none,
    allocBlock, // the memory block cannot be allocated
    shortRead,  // fewer bytes read than the file's size
    makeStream, // the stream cannot be made
    makeTarget, // the target image cannot be made
    fillRows,   // the rows cannot be filled without drawing
    makeHandle, // the bitmap handle cannot be made
};

// Where the next calls record their step times (null: not recorded).
void setDecodeTimings(DecodeTimings *sink) noexcept;
// The step that fails on purpose in the next calls (none: no failure).
void setDecodeFault(DecodeFault fault) noexcept;
// Decodes begun since the program started: every call that went on to read
// its file, whether or not a picture came of it.
unsigned long decodesBegun() noexcept;
// The same, counting only the calls made on the calling thread.
unsigned long decodesBegunOnThisThread() noexcept;

namespace detail {
DecodeTimings *decodeTimings() noexcept;
bool faultAt(DecodeFault step) noexcept;
void noteRoute(DecodeRoute route) noexcept;
void noteDirectHandle() noexcept;
void noteDecodeBegun() noexcept;
} // namespace detail

} // namespace vistoro
