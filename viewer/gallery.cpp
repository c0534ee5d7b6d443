#include "viewer/gallery.h"

#include "base/error.h"
#include "base/handles.h"
#include "base/paths.h"
#include "toolkit/controls.h"
#include "util/dlghelp.h"
#include "util/popmsg.h"
#include "viewer/closemenu.h"
#include "viewer/viewwin.h"

#include <algorithm>
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
constexpr UINT_PTR kFillTimer = 1;
// Files tried in one tick while nothing waits: a folder of small pictures
// fills without a timer period per cell, a large picture takes a tick alone.
constexpr double kSliceMs = 10;

double nowMs() noexcept {
    LARGE_INTEGER f, c;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Anything for the thread to handle besides the timer: input, a paint, a
// posted or sent message.
bool messagesWaiting() noexcept {
    return (HIWORD(::GetQueueStatus(QS_ALLINPUT)) & ~QS_TIMER) != 0;
}

// The grid of an open gallery, kept off screen and filled by a timer of its
// window, a few files per tick; a paint copies it. Its memory context and
// bitmap live as long as the gallery's Activate.
class GalleryFill {
  public:
    GalleryFill(TDialog &gallery, const ImageList &files) noexcept
        : gallery_(gallery), cells_(files) {}

    // Makes the grid, blank as the window's own background, and starts the
    // timer. False when the grid cannot be made.
    bool start() {
        const HWND wnd = gallery_.hWnd;
        WindowDC screen(wnd);
        dc_.reset(::CreateCompatibleDC(screen.get()));
        grid_.reset(::CreateCompatibleBitmap(screen.get(), kGalleryRowEnd, kGalleryBottom));
        if (dc_ && grid_) {
            selected_.emplace(dc_.get(), grid_.get());
            // The dialog erases into the grid exactly as it erases its window.
            ::SendMessageW(wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc_.get()), 0);
            if (::SetTimer(wnd, kFillTimer, 0, &GalleryFill::onTick))
                return true;
        }
        selected_.reset();
        dc_.reset();
        grid_.reset();
        return false;
    }
    bool ready() const noexcept { return selected_.has_value(); }

    // No more files are tried; what is filled stays to be painted.
    void stop() noexcept {
        if (!stopped_ && gallery_.hWnd)
            ::KillTimer(gallery_.hWnd, kFillTimer);
        stopped_ = true;
    }

    // Outside the grid the window's own erased background stays.
    void paint(HDC dc, const RECT &area) const {
        const RECT whole{0, 0, kGalleryRowEnd, kGalleryBottom};
        RECT r;
        if (::IntersectRect(&r, &area, &whole))
            ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, dc_.get(), r.left,
                     r.top, SRCCOPY);
    }

    // The gallery being filled: one at a time, as it is modal.
    static GalleryFill *current;

  private:
    static void CALLBACK onTick(HWND wnd, UINT, UINT_PTR id, DWORD) {
        recoveryPoint([wnd, id] {
            if (current && current->gallery_.hWnd == wnd && !current->stopped_)
                current->tick();
            else
                ::KillTimer(wnd, id);
        });
    }

    void tick() {
        const double began = nowMs();
        do {
            const int before = cells_.painted();
            if (!cells_.tryNext(dc_.get()))
                break;
            if (cells_.painted() != before)
                show(GalleryCells::cellRect(before));
        } while (!stopped_ && !cells_.finished() && nowMs() - began < kSliceMs &&
                 !messagesWaiting());
        if (!stopped_ && cells_.finished())
            finish();
    }

    // The cell goes to the window at once, through its paint.
    void show(const RECT &cell) {
        ::InvalidateRect(gallery_.hWnd, &cell, FALSE);
        ::UpdateWindow(gallery_.hWnd);
        if (fillObserver)
            fillObserver(cells_.painted(), false);
    }

    void finish() {
        stop();
        if (fillObserver)
            fillObserver(cells_.painted(), true);
        if (cells_.painted() == 0) {
            POPMSG(kNoImageFound, 1, kViewerCaption);
            gallery_.End();
        }
    }

    TDialog &gallery_;
    GalleryCells cells_;
    UniqueBitmap grid_;
    UniqueDC dc_;
    std::optional<SelectGuard> selected_; // released first: the grid leaves dc_
    bool stopped_ = false;
};
GalleryFill *GalleryFill::current = nullptr;

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
    const ImageSize size = AIMGSIZE(h);
    const int w = std::min(size.width, kGalleryCell);
    const int h2 = std::min(size.height, kGalleryCell);
    // Centred in its cell; an odd remainder leaves the extra pixel on the
    // right or below.
    const RECT cell = cellRect(painted_);
    const int x = cell.left + (w < kGalleryCell ? (kGalleryCell - w) / 2 : 0);
    const int y = cell.top + (h2 < kGalleryCell ? (kGalleryCell - h2) / 2 : 0);
    DRAWIMG(hDC, h, y, x, w, h2);
    DELETEIMG(h);
    ++painted_;
    return true;
}

void DRAWGLR(TDialog &oDlg, const ImageList &aFiles, HDC hDC) {
    GalleryCells cells(aFiles);
    while (cells.tryNext(hDC)) {
    }
    if (cells.painted() == 0 && !tellingNothing) {
        tellingNothing = true;
        ScopeExit told([] { tellingNothing = false; });
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
    GalleryFill::current = &fill;
    ScopeExit filled([] { GalleryFill::current = nullptr; });
    // A click and a mouse move do nothing: both hooks stay empty.
    gallery.Activate({
        .bPainted =
            [&gallery, &aFiles, &fill](HDC dc, const PAINTSTRUCT &ps, TWindow &) {
                if (fill.ready())
                    fill.paint(dc, ps.rcPaint);
                else // no grid could be made: every paint decodes, as before
                    DRAWGLR(gallery, aFiles, dc);
            },
        .lCentered = false,
        // Ending stops the fill before anything else: the drain that follows
        // the end would otherwise go on taking its ticks.
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
