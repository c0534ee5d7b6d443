// GIF files written for tests, with what the format has for animation: a
// loop count, and per frame a place, a colour table, a delay, a disposal, a
// transparent index and interlaced rows. The codes are all colours, no
// strings, with their width growing as a reader's table grows: simple to
// write, and every reader must take them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct GifTestFrame {
    int left = 0, top = 0, width = 0, height = 0;
    // 0xRRGGBB colours of a local table; empty: none, the global one counts.
    std::vector<std::uint32_t> palette;
    // width * height colour indexes, rows top-down as the frame shows them.
    std::vector<std::uint8_t> indexes;
    int delay = 0;    // hundredths of a second
    int disposal = 0; // 0 to 7, as stored
    std::optional<int> transparent;
    bool interlaced = false;
    // Stored as the image data instead of the indexes, from the minimum
    // code size byte on (see gifImageData and gifCodeData).
    std::optional<std::string> data;
};

// The file: a global table when globalPalette has colours, the loop
// extension (NETSCAPE2.0) when loopCount is set, and each frame behind a
// graphic control extension.
std::string animatedGif(int screenW, int screenH, const std::vector<GifTestFrame> &frames,
                        std::optional<int> loopCount,
                        const std::vector<std::uint32_t> &globalPalette = {});

// Image data holding the indexes as they are stored. With clearWhenFull
// the table starts again when it is full, as most writers do; without, it
// stays full to the end and the codes stay 12 bits wide.
std::string gifImageData(const std::vector<std::uint8_t> &indexes, int minCodeSize,
                         bool clearWhenFull = true);

// Image data of the given codes (the clear and end codes included), each
// as wide as a reader's table has made them by then.
std::string gifCodeData(int minCodeSize, const std::vector<int> &codes);

} // namespace testsupport
