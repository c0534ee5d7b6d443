// The frames of a moving GIF, composed one at a time for playback the way
// web browsers show them: on a canvas of the file's logical screen that
// starts transparent, each frame is drawn at its place over what the frame
// before left, with its own delay, for as many loops as the file asks.
// Frames are decoded straight into the canvas, so a file of thousands of
// frames costs no more memory than one of two.
#pragma once

#include "imaging/byte_stream.h"

#include <cstdint>
#include <memory>

namespace vistoro {

class GifAnimation {
  public:
    // Null unless the bytes are a GIF with two or more images whose logical
    // screen the program takes (pictureFits), or when memory for the canvas
    // runs out. Keeps the bytes for as long as it lives.
    static std::unique_ptr<GifAnimation> open(std::shared_ptr<const ByteBlock> bytes);

    ~GifAnimation();
    GifAnimation(const GifAnimation &) = delete;
    GifAnimation &operator=(const GifAnimation &) = delete;

    // The logical screen.
    long width() const noexcept;
    long height() const noexcept;

    enum class Step {
        frame,  // the canvas and delayMs() now hold the next frame
        ended,  // the last loop is over: the canvas keeps the last frame
        failed, // the frame did not decode: the canvas keeps the last good
                // frame (stays transparent when the first one fails), and
                // playback ends there
    };
    // Composes the next frame. Once playback has ended or failed it says
    // so again and changes nothing. Costs in proportion to the bytes read
    // and the frame's area on the screen.
    Step next();

    // width() * height() premultiplied 0xAARRGGBB words, rows top-down.
    const std::uint32_t *canvas() const noexcept;
    // How long the frame just composed stays on show.
    int delayMs() const noexcept;
    // The canvas as it stands has no transparent pixel.
    bool everyPixelOpaque() const noexcept;

  private:
    struct Playback;
    explicit GifAnimation(std::unique_ptr<Playback> playback) noexcept;
    std::unique_ptr<Playback> playback_;
};

} // namespace vistoro
