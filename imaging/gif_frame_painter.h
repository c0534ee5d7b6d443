// Where the colour indexes of one GIF frame land on the canvas: in the
// order of the rows the file stores, interlaced or not, cut to the screen.
// Internal to the imaging layer.
#pragma once

#include "imaging/gif_image_data.h"

#include <array>
#include <cstdint>

namespace vistoro {

// A rectangle of the logical screen, in pixels. Frames are placed at
// unsigned offsets, so they may reach past the screen, never before it.
struct ScreenArea {
    long left = 0, top = 0, width = 0, height = 0;
    bool empty() const noexcept { return width <= 0 || height <= 0; }
};

// The part of an area on a screen of that size.
ScreenArea onScreen(const ScreenArea &area, long screenW, long screenH) noexcept;
// The smallest area holding both.
ScreenArea united(const ScreenArea &a, const ScreenArea &b) noexcept;

// Draws a frame's indexes onto a canvas of screenW-wide rows through its
// colours (by index; 0 for transparent, which leaves the canvas as it is)
// and counts the transparent pixels it covers. Only the part of the frame
// on the screen is written, and only strings that reach it are spelled out.
class FramePainter final : public IndexSink {
  public:
    FramePainter(const ScreenArea &frame, bool interlaced, long screenW, long screenH,
                 std::uint32_t *canvas, const std::uint32_t *colours,
                 std::uint64_t &transparentPixels) noexcept;

    bool full() const noexcept override { return at_ >= total_; }
    bool wants(std::uint32_t count) const noexcept override;
    void skip(std::uint32_t count) noexcept override;
    void put(const std::uint16_t *indexes, std::uint32_t count) noexcept override;

  private:
    // Stored rows run in passes of screen rows firstRow, firstRow + step,
    // ...; those on the screen come first in each pass.
    struct Pass {
        std::uint32_t firstStored, rowsOnScreen, firstRow, step;
    };

    long screenRow(std::uint32_t stored) const noexcept; // -1: off the screen
    bool anyRowOnScreen(std::uint32_t from, std::uint32_t to) const noexcept;
    void draw(const std::uint16_t *indexes, std::uint32_t count, std::uint32_t *out) noexcept;

    std::uint32_t *canvas_;
    const std::uint32_t *colours_;
    std::uint64_t &transparent_;
    long screenW_, left_, top_;
    std::uint32_t width_, visibleWidth_;
    std::uint64_t total_, at_ = 0;
    std::array<Pass, 4> passes_{};
    int passCount_ = 0;
};

} // namespace vistoro
