// Objects that both metafile formats create and that the platform's
// players draw wrongly when a file asks for them. Internal to the imaging
// layer.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vistoro {

// Pens wider than the largest coordinate of a Windows metafile: the
// players widen such a pen's every stroke for minutes.
inline constexpr std::uint32_t kWidestPen = 0x7FFF;

// Brush styles whose hatch field the players take for a handle or a
// pointer: only solid, hollow and hatched brushes are drawn from a file.
constexpr bool plainBrushStyle(std::uint32_t style) noexcept {
    return style == BS_SOLID || style == BS_NULL || style == BS_HATCHED;
}

} // namespace vistoro
