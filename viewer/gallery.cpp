#include "viewer/gallery.h"

#include "toolkit/controls.h"
#include "util/dlghelp.h"
#include "util/popmsg.h"
#include "viewer/closemenu.h"
#include "viewer/viewwin.h"

#include <algorithm>

namespace vistoro {
namespace {

// Set while the "nothing to show" notice is up and the window is being
// ended. The box's own loop and the drain after it dispatch the gallery's
// paints (a window moved across it, say); such a paint finds nothing
// either and must not open a second box over the first.
bool tellingNothing = false;
struct TellingScope {
    TellingScope() noexcept { tellingNothing = true; }
    ~TellingScope() { tellingNothing = false; }
    TellingScope(const TellingScope &) = delete;
    TellingScope &operator=(const TellingScope &) = delete;
};

// The folder part of a path: up to and including its last backslash.
std::string folderPart(const std::string &cFile) {
    const auto slash = cFile.rfind('\\');
    return slash == std::string::npos ? std::string() : cFile.substr(0, slash + 1);
}

} // namespace

void DRAWGLR(TDialog &oDlg, const ImageList &aFiles, HDC hDC) {
    int top = 0, left = 0;
    bool painted = false;
    for (const std::string &file : aFiles) {
        HBITMAP h = LOADIMAGE(file, false);
        if (!h)
            continue; // no cell used: the next picture closes up
        const ImageSize size = AIMGSIZE(h);
        const int w = std::min(size.width, kGalleryCell);
        const int h2 = std::min(size.height, kGalleryCell);
        // Centred in its cell; an odd remainder leaves the extra pixel on
        // the right or below.
        const int x = left + (w < kGalleryCell ? (kGalleryCell - w) / 2 : 0);
        const int y = top + (h2 < kGalleryCell ? (kGalleryCell - h2) / 2 : 0);
        DRAWIMG(hDC, h, y, x, w, h2);
        DELETEIMG(h);
        painted = true;
        left += kGalleryCell;
        if (left >= kGalleryRowEnd) {
            top += kGalleryCell;
            left = 0;
            if (top >= kGalleryBottom)
                return;
        }
    }
    if (!painted && !tellingNothing) {
        TellingScope telling;
        POPMSG(kNoImageFound, 1, kViewerCaption);
        oDlg.End();
    }
}

void GALLERY(const std::string &cFile) {
    const ImageList aFiles = AFILE(folderPart(cFile));

    TDialog gallery({.cCaption = "",
                     .nStyle = static_cast<DWORD>(NOR({static_cast<long>(WS_POPUP), WS_DLGFRAME,
                                                       DS_MODALFRAME, DS_SYSMODAL})),
                     .cVarName = "oDlg"});
    gallery.lModify = false;
    gallery.lHelpIcon = false;
    // Outside the visible client area, it only holds the keyboard focus.
    TButton::New({.nRow = -2, .nCol = -2, .cCaption = "", .oWnd = &gallery});

    // A click and a mouse move do nothing: both hooks stay empty.
    gallery.Activate({
        .bPainted = [&gallery, &aFiles](HDC dc, const PAINTSTRUCT &, TWindow &) {
            DRAWGLR(gallery, aFiles, dc);
        },
        .lCentered = false,
        .bValid = [&gallery] { return VALID(gallery, false); },
        .bInit =
            [&gallery] {
                MOVEWINDOW(gallery.hWnd, 0, 0, kGalleryWidth, kGalleryHeight);
                WNDCENTER(gallery.hWnd);
            },
        .bRClicked = [&gallery](int nRow, int nCol, int, TWindow &) {
            MENUCHIUDI(gallery, nRow, nCol);
        },
        .lResize16 = true,
    });
}

} // namespace vistoro
