// The gallery: the pictures of the current picture's folder as a fixed
// grid of 64 x 64 cells in a window of 1031 x 775 pixels, for looking only.
#pragma once

#include <windows.h>

#include <string>

#include "toolkit/dialog.h"
#include "viewer/decoder.h"
#include "viewer/imagelist.h"

namespace vistoro {

inline constexpr int kGalleryWidth = 1031, kGalleryHeight = 775;
inline constexpr int kGalleryCell = 64;
// A row is full when the next left edge would reach this; painting stops
// when the next top edge would: 16 x 12 cells, at most 192 pictures.
inline constexpr int kGalleryRowEnd = 1024, kGalleryBottom = 768;

// Shows the gallery of cFile's folder and returns once it has closed.
// Nothing of the viewer's state is changed. The cells are made by the
// background decoder's workers and placed into an off-screen grid as they
// come back, in list order; the window's thread decodes none of them, and a
// paint only copies what is placed so far.
void GALLERY(const std::string &cFile);

// Paints the grid of aFiles into hDC on the calling thread: each file is
// loaded quietly, area averaged to its size in the next cell, painted there
// and released before the next one; files that cannot be decoded take no
// cell. When none can be shown, tells so and ends oDlg. The gallery
// window's grid holds the same pixels wherever its cells come from the
// whole picture.
void DRAWGLR(TDialog &oDlg, const ImageList &aFiles, HDC hDC);

// One file's cell as a worker makes it: a bitmap of the picture's size in
// its cell (each side cut to 64), area averaged from the smallest picture
// the file holds that covers it, and painted over `background` as the grid
// would paint it. That picture is a JPEG photo's embedded thumbnail when it
// shows the whole photo, else a JPEG's one-eighth picture (read only from
// bytes that every decode's checks pass), else the decoded picture; all
// upright. No bitmap when the file does not load.
DecodeOutcome makeGalleryCell(const std::string &file, COLORREF background);

// Walks a list into the grid one file at a time.
class GalleryCells {
  public:
    explicit GalleryCells(const ImageList &files) noexcept : files_(files) {}
    // Tries the next file: loaded quietly, painted centred into the next
    // cell of hDC and released; a file that cannot be decoded takes no
    // cell. False, trying nothing, once the list is used up or the grid full.
    bool tryNext(HDC hDC);
    bool finished() const noexcept;
    int painted() const noexcept { return painted_; }
    // The cell of the n-th picture painted (0-based), in grid coordinates.
    static RECT cellRect(int n) noexcept;

  private:
    const ImageList &files_;
    std::size_t next_ = 0;
    int painted_ = 0;
};

// Told after each cell reaches the gallery's window and once when its fill
// has ended, for the tests and the benchmark; null: nobody is told.
using GalleryFillObserver = void (*)(int nCells, bool lFinished);
void setGalleryFillObserver(GalleryFillObserver observer) noexcept;

} // namespace vistoro
