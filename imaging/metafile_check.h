// Metafile data told apart the way the platform's loaders tell it, and
// walked by the check of its kind (emf_check.h, wmf_check.h) before any
// platform call sees it. Internal to the imaging layer.
#pragma once

#include <windows.h>

#include <cstddef>

namespace vistoro {

// What the platform's loaders would take the data for, judged by its first
// bytes the way the loaders judge it, plus the plain Windows metafile that
// this program wraps itself.
enum class MetafileKind { none, enhanced, placeable, plainWmf };
MetafileKind metafileKindOf(const BYTE *data, std::size_t size) noexcept;

// True when the data is no metafile at all, or a metafile of its kind whose
// every record holds together.
bool metafileRecordsHoldTogether(const BYTE *data, std::size_t size) noexcept;

} // namespace vistoro
