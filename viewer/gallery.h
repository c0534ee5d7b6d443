// The gallery: the pictures of the current picture's folder as a fixed
// grid of 64 x 64 cells in a window of 1031 x 775 pixels, for looking only.
#pragma once

#include <windows.h>

#include <string>

#include "toolkit/dialog.h"
#include "viewer/imagelist.h"

namespace vistoro {

inline constexpr int kGalleryWidth = 1031, kGalleryHeight = 775;
inline constexpr int kGalleryCell = 64;
// A row is full when the next left edge would reach this; painting stops
// when the next top edge would: 16 x 12 cells, at most 192 pictures.
inline constexpr int kGalleryRowEnd = 1024, kGalleryBottom = 768;
inline constexpr const char *kNoImageFound = "No image file found.";

// Shows the gallery of cFile's folder and returns once it has closed.
// Nothing of the viewer's state is changed.
void GALLERY(const std::string &cFile);

// Paints the grid of aFiles into hDC: each file is loaded quietly, painted
// into the next cell and released before the next one; files that cannot be
// decoded take no cell. When none can be shown, tells so and ends oDlg.
void DRAWGLR(TDialog &oDlg, const ImageList &aFiles, HDC hDC);

} // namespace vistoro
