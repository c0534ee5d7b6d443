#include "imaging/gif_frame_painter.h"

#include <algorithm>

namespace vistoro {

ScreenArea onScreen(const ScreenArea &a, long screenW, long screenH) noexcept {
    if (a.left >= screenW || a.top >= screenH)
        return {};
    return {a.left, a.top, std::min(a.width, screenW - a.left),
            std::min(a.height, screenH - a.top)};
}

ScreenArea united(const ScreenArea &a, const ScreenArea &b) noexcept {
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    const long left = std::min(a.left, b.left), top = std::min(a.top, b.top);
    return {left, top, std::max(a.left + a.width, b.left + b.width) - left,
            std::max(a.top + a.height, b.top + b.height) - top};
}

FramePainter::FramePainter(const ScreenArea &frame, bool interlaced, long screenW, long screenH,
                           std::uint32_t *canvas, const std::uint32_t *colours,
                           std::uint64_t &transparentPixels) noexcept
    : canvas_(canvas), colours_(colours), transparent_(transparentPixels), screenW_(screenW),
      left_(frame.left), top_(frame.top), width_(static_cast<std::uint32_t>(frame.width)),
      total_(static_cast<std::uint64_t>(frame.width) * static_cast<std::uint64_t>(frame.height)) {
    const ScreenArea visible = onScreen(frame, screenW, screenH);
    visibleWidth_ = visible.empty() ? 0 : static_cast<std::uint32_t>(visible.width);
    const auto rows = static_cast<std::uint32_t>(frame.height);
    const auto visibleRows = visible.empty() ? 0 : static_cast<std::uint32_t>(visible.height);
    if (!interlaced) {
        passes_[passCount_++] = {0, visibleRows, 0, 1};
        return;
    }
    // Every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
    static constexpr std::uint32_t kPasses[][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    const auto passRows = [](std::uint32_t of, std::uint32_t first, std::uint32_t step) {
        return of > first ? (of - first + step - 1) / step : 0;
    };
    std::uint32_t stored = 0;
    for (const auto &[first, step] : kPasses) {
        passes_[passCount_++] = {stored, passRows(visibleRows, first, step), first, step};
        stored += passRows(rows, first, step);
    }
}

bool FramePainter::wants(std::uint32_t count) const noexcept {
    const std::uint64_t n = std::min<std::uint64_t>(count, total_ - at_);
    if (n == 0 || visibleWidth_ == 0)
        return false;
    const auto firstRow = static_cast<std::uint32_t>(at_ / width_);
    const auto lastRow = static_cast<std::uint32_t>((at_ + n - 1) / width_);
    const bool startSeen = screenRow(firstRow) >= 0 && at_ % width_ < visibleWidth_;
    if (firstRow == lastRow)
        return startSeen;
    // The string runs on into its last row from that row's left edge, and
    // covers every row in between whole.
    return startSeen || screenRow(lastRow) >= 0 ||
           (lastRow - firstRow > 1 && anyRowOnScreen(firstRow + 1, lastRow - 1));
}

void FramePainter::skip(std::uint32_t count) noexcept {
    at_ += std::min<std::uint64_t>(count, total_ - at_);
}

void FramePainter::put(const std::uint16_t *indexes, std::uint32_t count) noexcept {
    std::uint64_t left = std::min<std::uint64_t>(count, total_ - at_);
    while (left > 0) {
        const auto x = static_cast<std::uint32_t>(at_ % width_);
        const auto run = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, width_ - x));
        const long y = screenRow(static_cast<std::uint32_t>(at_ / width_));
        if (y >= 0 && x < visibleWidth_)
            draw(indexes, std::min(run, visibleWidth_ - x),
                 canvas_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(screenW_) +
                     static_cast<std::size_t>(left_) + x);
        at_ += run;
        indexes += run;
        left -= run;
    }
}

long FramePainter::screenRow(std::uint32_t stored) const noexcept {
    for (int p = 0; p < passCount_; ++p) {
        const Pass &pass = passes_[p];
        if (stored >= pass.firstStored && stored - pass.firstStored < pass.rowsOnScreen)
            return top_ +
                   static_cast<long>(pass.firstRow + pass.step * (stored - pass.firstStored));
    }
    return -1;
}

// Whether any stored row from `from` to `to` (both included) is on the screen.
bool FramePainter::anyRowOnScreen(std::uint32_t from, std::uint32_t to) const noexcept {
    for (int p = 0; p < passCount_; ++p) {
        const Pass &pass = passes_[p];
        if (pass.rowsOnScreen > 0 && from < pass.firstStored + pass.rowsOnScreen &&
            to >= pass.firstStored)
            return true;
    }
    return false;
}

void FramePainter::draw(const std::uint16_t *indexes, std::uint32_t count,
                        std::uint32_t *out) noexcept {
    for (std::uint32_t i = 0; i < count; ++i)
        if (const std::uint32_t colour = colours_[indexes[i]]) {
            transparent_ -= out[i] == 0;
            out[i] = colour;
        }
}

} // namespace vistoro
