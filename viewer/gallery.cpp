#include "viewer/gallery.h"

#include "base/cancel.h"
#include "base/error.h"
#include "base/handles.h"
#include "base/paths.h"
#include "base/text.h"
#include "imaging/area_average.h"
#include "imaging/byte_stream.h"
#include "imaging/decode.h"
#include "imaging/dib_info.h"
#include "imaging/jpeg_eighth.h"
#include "imaging/thumbnail.h"
#include "toolkit/controls.h"
#include "util/dlghelp.h"
#include "util/popmsg.h"
#include "viewer/closemenu.h"
#include "viewer/decoder.h"
#include "viewer/picture_budget.h"
#include "viewer/picture_load.h"
#include "viewer/viewwin.h"

#include <algorithm>
#include <map>
#include <optional>

namespace vistoro {
namespace {

// Set while the "nothing to show" notice is up and the window is being
// ended. The box's own loop and the drain after it dispatch the gallery's
// paints (a window moved across it, say); such a paint finds nothing
// either and must not open a second box over the first.
bool tellingNothing = false;

GalleryFillObserver fillObserver = nullptr;

constexpr int kPerRow = kGalleryRowEnd / kGalleryCell;
constexpr int kMostCells = kPerRow * (kGalleryBottom / kGalleryCell);
// Cells asked of the workers ahead of the one whose turn it is: enough to
// keep both busy while the window places what came.
constexpr std::size_t kCellsInFlight = 8;

// A picture's size in its cell: each side cut to the cell on its own.
ImageSize cellPictureSize(const ImageSize &picture) noexcept {
    return {std::min(picture.width, kGalleryCell), std::min(picture.height, kGalleryCell)};
}

// Paints the picture into its cell at `at` with its size in the cell: area
// averaged wherever that is smaller than the picture (the platform's
// stretch keeps one pixel of each block), stretched only where it is
// larger. Without memory for the averaged copy, stretched as it is.
void paintIntoCell(HDC dc, HBITMAP picture, const ImageSize &inCell, POINT at) {
    const ImageSize own = AIMGSIZE(picture);
    UniqueBitmap reduced;
    if (inCell.width < own.width || inCell.height < own.height)
        reduced = reducedSection(picture, std::min(inCell.width, own.width),
                                 std::min(inCell.height, own.height));
    DRAWIMG(dc, reduced ? reduced.get() : picture, at.y, at.x, inCell.width, inCell.height);
}

// A cell of that size, painted over the grid's background as it would be
// painted into the grid itself, so that the cell's pixels are the grid's.
template <class Paint>
DecodeOutcome cellOver(COLORREF background, const ImageSize &inCell, Paint &&paint) {
    DecodeOutcome out;
    BITMAPINFO info = rgb32Info(inCell.width, inCell.height, RowOrder::TopDown);
    void *bits = nullptr;
    UniqueBitmap cell(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueDC dc(::CreateCompatibleDC(nullptr));
    if (!cell || !dc)
        return out;
    {
        SelectGuard into(dc.get(), cell.get());
        const UniqueBrush brush(::CreateSolidBrush(background));
        const RECT all{0, 0, inCell.width, inCell.height};
        ::FillRect(dc.get(), &all, brush.get());
        paint(dc.get(), inCell);
        ::GdiFlush();
    }
    out.bitmap = std::move(cell);
    out.width = inCell.width;
    out.height = inCell.height;
    out.verdict = LoadVerdict::decoded;
    return out;
}

// A worker keeps its read buffer for the next file up to this size.
constexpr std::size_t kKeptReadBufferBytes = std::size_t{32} << 20;

// Only a file named as a JPEG is read whole for its one-eighth picture;
// its bytes decide from there.
bool namedAsJpeg(const std::string &file) {
    const std::string extension = upperExtension(file);
    return extension == "JPG" || extension == "JPEG" || extension == "JPE";
}

// A JPEG's one-eighth picture, upright, when it is at least the picture's
// size in its cell both ways. Only for bytes read whole that pass the checks
// every decode makes, so that no file takes a cell that the viewer would
// not show; whatever this refuses, the whole decode decides.
std::optional<EighthPicture> eighthForCell(const std::string &file) {
    if (!namedAsJpeg(file))
        return std::nullopt;
    // Each worker reads its files into a buffer of its own that it keeps:
    // fresh memory for every file costs more than the read itself, twice so
    // when both workers ask for it at once.
    thread_local std::vector<BYTE> bytes;
    FileReading reading;
    reading.waitWhileHeldMs = kWaitWhileHeldMs;
    std::optional<EighthPicture> eighth;
    if (readFileInto(widen(file), bytes, &reading) &&
        passesDecodeChecks(bytes.data(), bytes.size())) {
        // Counted as a cell's decode is, so that a decode ahead gives way to it.
        const BudgetShare share = pictureBudget().take(bytes.size());
        eighth = readJpegEighth(bytes.data(), bytes.size());
    }
    // A rare large file does not keep its room for the rest of the program.
    if (bytes.capacity() > kKeptReadBufferBytes)
        std::vector<BYTE>().swap(bytes);
    if (!eighth)
        return std::nullopt;
    const ImageSize inCell = cellPictureSize(
        {static_cast<int>(eighth->photoWidth), static_cast<int>(eighth->photoHeight)});
    if (eighth->width < inCell.width || eighth->height < inCell.height)
        return std::nullopt;
    return eighth;
}

// Where a picture of that size in its cell stands in the grid, centred; an
// odd remainder leaves the extra pixel on the right or below.
POINT cellPicturePlace(int n, const ImageSize &inCell) noexcept {
    const RECT cell = GalleryCells::cellRect(n);
    return {cell.left + (kGalleryCell - inCell.width) / 2,
            cell.top + (kGalleryCell - inCell.height) / 2};
}

// The grid of an open gallery, kept off screen and filled as the workers'
// cells come back: each cell takes its place once every file before it is
// known, since a file that fails takes none. A paint copies the grid. Its
// memory context and bitmap live as long as the gallery's Activate.
class GalleryFill {
  public:
    GalleryFill(TDialog &gallery, const ImageList &files) noexcept
        : gallery_(gallery), files_(files) {}
    ~GalleryFill() { stop(); }
    GalleryFill(const GalleryFill &) = delete;
    GalleryFill &operator=(const GalleryFill &) = delete;

    // Makes the grid, blank as the window's own background, and asks the
    // workers for the first cells. Without a grid the cells go straight to
    // the window and a repaint shows the background only.
    void start() {
        const HWND wnd = gallery_.hWnd;
        WindowDC screen(wnd);
        dc_.reset(::CreateCompatibleDC(screen.get()));
        grid_.reset(::CreateCompatibleBitmap(screen.get(), kGalleryRowEnd, kGalleryBottom));
        if (dc_ && grid_) {
            selected_.emplace(dc_.get(), grid_.get());
            // The dialog erases into the grid exactly as it erases its window.
            ::SendMessageW(wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc_.get()), 0);
            background_ = ::GetPixel(dc_.get(), 0, 0);
        } else {
            selected_.reset();
            dc_.reset();
            grid_.reset();
            background_ = ::GetSysColor(COLOR_BTNFACE);
        }
        askForMore();
    }

    // No more cells are asked for or placed; what is placed stays to be
    // painted, and what is under way is released when it comes back.
    void stop() noexcept {
        stopped_ = true;
        for (const auto &[index, ticket] : inFlight_)
            backgroundDecoder().cancel(ticket);
        inFlight_.clear();
        early_.clear();
    }

    // Outside the grid the window's own erased background stays. A folder
    // with nothing to ask for is told so at the first paint.
    void paint(HDC dc, const RECT &area) {
        if (!stopped_ && files_.empty())
            finish();
        if (!selected_)
            return;
        const RECT whole{0, 0, kGalleryRowEnd, kGalleryBottom};
        RECT r;
        if (::IntersectRect(&r, &area, &whole))
            ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, dc_.get(), r.left,
                     r.top, SRCCOPY);
    }

  private:
    void askForMore() {
        BackgroundDecoder &decoder = backgroundDecoder();
        while (!stopped_ && nextToAsk_ < files_.size() &&
               nextToAsk_ < nextToPlace_ + kCellsInFlight) {
            const std::size_t index = nextToAsk_++;
            const COLORREF background = background_;
            inFlight_[index] = decoder.submit(
                files_[index],
                [background](const std::string &f) { return makeGalleryCell(f, background); },
                [this, index](DecodeOutcome cell) { arrived(index, std::move(cell)); });
        }
        if (!stopped_ && !files_.empty() && nextToPlace_ >= files_.size())
            finish();
    }

    void arrived(std::size_t index, DecodeOutcome cell) {
        inFlight_.erase(index);
        if (stopped_)
            return;
        early_[index] = std::move(cell);
        // In list order: the cells that came early wait for those before them.
        for (auto it = early_.find(nextToPlace_); it != early_.end() && !stopped_;
             it = early_.find(nextToPlace_)) {
            const DecodeOutcome placed = std::move(it->second);
            early_.erase(it);
            ++nextToPlace_;
            if (placed.bitmap)
                place(placed);
            if (painted_ >= kMostCells) {
                finish();
                return;
            }
        }
        askForMore();
    }

    // The cell goes into the grid and to the window at once, through its paint.
    void place(const DecodeOutcome &cell) {
        const ImageSize size{cell.width, cell.height};
        const POINT at = cellPicturePlace(painted_, size);
        UniqueDC from(::CreateCompatibleDC(dc_ ? dc_.get() : nullptr));
        if (from) {
            SelectGuard in(from.get(), cell.bitmap.get());
            if (dc_) {
                ::BitBlt(dc_.get(), at.x, at.y, size.width, size.height, from.get(), 0, 0, SRCCOPY);
            } else {
                WindowDC window(gallery_.hWnd);
                ::BitBlt(window.get(), at.x, at.y, size.width, size.height, from.get(), 0, 0,
                         SRCCOPY);
            }
        }
        const RECT drawn = GalleryCells::cellRect(painted_++);
        ::InvalidateRect(gallery_.hWnd, &drawn, FALSE);
        ::UpdateWindow(gallery_.hWnd);
        if (fillObserver)
            fillObserver(painted_, false);
    }

    void finish() {
        stop();
        if (fillObserver)
            fillObserver(painted_, true);
        if (painted_ == 0) {
            POPMSG(kNoImageFound, 1, kViewerCaption);
            gallery_.End();
        }
    }

    TDialog &gallery_;
    const ImageList &files_;
    UniqueBitmap grid_;
    UniqueDC dc_;
    std::optional<SelectGuard> selected_; // released first: the grid leaves dc_
    COLORREF background_ = 0;
    bool stopped_ = false;
    std::size_t nextToAsk_ = 0, nextToPlace_ = 0;
    int painted_ = 0;
    std::map<std::size_t, BackgroundDecoder::Ticket> inFlight_;
    std::map<std::size_t, DecodeOutcome> early_;
};

} // namespace

void setGalleryFillObserver(GalleryFillObserver observer) noexcept {
    fillObserver = observer;
}

RECT GalleryCells::cellRect(int n) noexcept {
    const int left = (n % kPerRow) * kGalleryCell, top = (n / kPerRow) * kGalleryCell;
    return {left, top, left + kGalleryCell, top + kGalleryCell};
}

bool GalleryCells::finished() const noexcept {
    return next_ >= files_.size() || painted_ >= kMostCells;
}

bool GalleryCells::tryNext(HDC hDC) {
    if (finished())
        return false;
    HBITMAP h = LOADIMAGE(files_[next_++], false);
    if (!h)
        return true; // no cell used: the next picture closes up
    const ImageSize size = cellPictureSize(AIMGSIZE(h));
    const POINT at = cellPicturePlace(painted_, size);
    paintIntoCell(hDC, h, size, at);
    DELETEIMG(h);
    ++painted_;
    return true;
}

DecodeOutcome makeGalleryCell(const std::string &file, COLORREF background) {
    DecodeOutcome out;
    if (!isImageFile(file))
        return out;
    // A photo's own thumbnail when it shows the whole photo.
    EmbeddedThumbnail thumbnail = loadEmbeddedThumbnail(file);
    if (UniqueBitmap picture{thumbnail.hBitmap}) {
        const ImageSize photo{static_cast<int>(thumbnail.photoWidth),
                              static_cast<int>(thumbnail.photoHeight)};
        return cellOver(background, cellPictureSize(photo), [&](HDC dc, const ImageSize &inCell) {
            paintIntoCell(dc, picture.get(), inCell, {0, 0});
        });
    }
    // A JPEG's one-eighth picture when it still covers the cell.
    if (const std::optional<EighthPicture> eighth = eighthForCell(file)) {
        const ImageSize photo{static_cast<int>(eighth->photoWidth),
                              static_cast<int>(eighth->photoHeight)};
        const SourceRows rows{eighth->pixels.data(), eighth->width, eighth->width, eighth->height};
        const ImageSize inCell = cellPictureSize(photo);
        const UniqueBitmap reduced = reducedSection(rows, inCell.width, inCell.height);
        if (reduced)
            return cellOver(background, inCell, [&](HDC dc, const ImageSize &size) {
                DRAWIMG(dc, reduced.get(), 0, 0, size.width, size.height);
            });
    }
    // Else the picture itself, as every other format.
    DecodeOutcome whole = decodePicture(file, DecodePurpose::cell);
    // A failure that may pass (memory, most likely, beside the other
    // worker's cell) is tried once more, so that no file loses its cell to
    // a moment's shortage.
    if (whole.verdict == LoadVerdict::transient && !cancelRequested())
        whole = decodePicture(file, DecodePurpose::cell);
    if (!whole.bitmap) {
        out.verdict = whole.verdict;
        return out;
    }
    const HBITMAP picture = whole.bitmap.get();
    return cellOver(background, cellPictureSize(AIMGSIZE(picture)),
                    [&](HDC dc, const ImageSize &inCell) {
                        paintIntoCell(dc, picture, inCell, {0, 0});
                    });
}

void DRAWGLR(TDialog &oDlg, const ImageList &aFiles, HDC hDC) {
    GalleryCells cells(aFiles);
    while (cells.tryNext(hDC)) {
    }
    if (cells.painted() == 0 && !tellingNothing) {
        tellingNothing = true;
        ScopeExit told([]() noexcept { tellingNothing = false; });
        POPMSG(kNoImageFound, 1, kViewerCaption);
        oDlg.End();
    }
}

void GALLERY(const std::string &cFile) {
    const ImageList aFiles = AFILE(folderPart(cFile));

    TDialog gallery({.cCaption = "",
                     .nStyle = static_cast<DWORD>(NOR(
                         {static_cast<long>(WS_POPUP), WS_DLGFRAME, DS_MODALFRAME, DS_SYSMODAL})),
                     .cVarName = "oDlg"});
    gallery.lModify = false;
    gallery.lHelpIcon = false;
    // Outside the visible client area, it only holds the keyboard focus.
    TButton::New({.nRow = -2, .nCol = -2, .cCaption = "", .oWnd = &gallery});

    GalleryFill fill(gallery, aFiles);
    // A click and a mouse move do nothing: both hooks stay empty.
    gallery.Activate({
        .bPainted = [&fill](HDC dc, const PAINTSTRUCT &ps,
                            TWindow &) { fill.paint(dc, ps.rcPaint); },
        .lCentered = false,
        // Ending stops the fill before anything else: cells still coming
        // are released as they arrive.
        .bValid =
            [&gallery, &fill] {
                const bool ends = VALID(gallery, false);
                if (ends)
                    fill.stop();
                return ends;
            },
        .bInit =
            [&gallery, &fill] {
                MOVEWINDOW(gallery.hWnd, 0, 0, kGalleryWidth, kGalleryHeight);
                WNDCENTER(gallery.hWnd);
                fill.start();
            },
        .bRClicked = [&gallery](int nRow, int nCol, int,
                                TWindow &) { MENUCHIUDI(gallery, nRow, nCol); },
        .lResize16 = true,
    });
}

} // namespace vistoro
