#include "viewer/viewwin.h"

#include "base/paths.h"
#include "imaging/decode.h"
#include "imaging/paint.h"
#include "toolkit/controls.h"
#include "toolkit/wrappers.h"
#include "toolkit/message_drain.h"
#include "util/dlghelp.h"
#include "util/popmsg.h"
#include "base/text.h"
#include "viewer/contextmenu.h"
#include "viewer/keys.h"
#include "viewer/openimg.h"

#include <any>

namespace vistoro {
namespace {

long viewerStyle() {
    return NOR({static_cast<long>(WS_POPUP), WS_DLGFRAME, DS_MODALFRAME});
}

// With a folder argument the first entry that loads is shown: a damaged
// file or a sub-folder named like a picture must not end the program while
// good pictures follow. Only when none loads is the first entry's failure told.
HBITMAP loadFirstOfFolder(ViewerState &st) {
    const ImageList &list = *st.aFiles;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::optional<FileStamp> stamp = fileStamp(list[i]);
        if (HBITMAP h = LOADIMAGE(list[i], false)) {
            st.cFile = list[i];
            st.nIdx = static_cast<int>(i + 1);
            st.pictures.nowShowing(st.cFile, stamp, h);
            return h;
        }
    }
    return LOADIMAGE(list.front(), true);
}

// The file's picture with its notices, and its stamp as it was read.
HBITMAP loadShown(ViewerState &st) {
    const std::optional<FileStamp> stamp = fileStamp(st.cFile);
    HBITMAP h = LOADIMAGE(st.cFile);
    st.pictures.nowShowing(st.cFile, stamp, h);
    return h;
}

// The state of the button the user presses as the left one, now, whichever
// window its messages go to.
bool leftButtonPhysicallyDown() {
    const int vk = ::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
    return (::GetAsyncKeyState(vk) & 0x8000) != 0;
}

} // namespace

ViewerState::ViewerState(const StartState &start)
    : cFile(start.cFile), cDir(start.cDir), aFiles(start.aFiles), nIdx(start.nIdx) {}

ViewerState::~ViewerState() = default;

std::string upperExtension(const std::string &cFile) {
    const std::string name = nameOf(cFile);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : upperText(name.substr(dot + 1));
}

HBITMAP LOADIMAGE(const std::string &cFile, bool lMsg) {
    if (!isImageFile(cFile)) {
        if (lMsg)
            POPMSG(upperExtension(cFile) + " format not supported.", 1, kViewerCaption);
        return nullptr;
    }
    HBITMAP h = LOADIMG(cFile);
    if (!h && lMsg)
        POPMSG("Invalid or unsupported " + upperExtension(cFile) + " file.", 1, kViewerCaption);
    return h;
}

ImageSize AIMGSIZE(HBITMAP hBmp) { return {NBMPWIDTH(hBmp), NBMPHEIGHT(hBmp)}; }

void DRAWIMG(HDC hDC, HBITMAP hBmp, int nTop, int nLeft, int nWidth, int nHeight) {
    if (hBmp)
        PAINTIMG(hDC, hBmp, nTop, nLeft, nWidth, nHeight);
}

void DELETEIMG(HBITMAP &hBmp) noexcept {
    DELETEOBJECT(hBmp);
    hBmp = nullptr;
}
void DELETEIMG(UniqueBitmap &hBmp) noexcept { hBmp.reset(); }

void DRAGDLG(TDialog &oDlg) {
    const HWND wnd = oDlg.hWnd;
    const Rect start = GETWNDRECT(wnd);
    const Point from = GETCURSORPOS();
    // The capture sends the button's release to this window wherever the
    // pointer is. The thread's key state learns of a release only from a
    // message that reaches this thread, so the button itself is asked too:
    // a release that went elsewhere still ends the drag at once.
    ::SetCapture(wnd);
    struct Release {
        HWND wnd;
        ~Release() {
            if (::GetCapture() == wnd)
                ::ReleaseCapture();
        }
    } release{wnd};
    while (GETKEYSTATE(VK_LBUTTON) && leftButtonPhysicallyDown()) {
        const Point now = GETCURSORPOS();
        oDlg.Refresh(false);
        MOVEWINDOW(wnd, start.top + (now.row - from.row), start.left + (now.col - from.col));
        SYSREFRESH();
        // Capture taken away (another window, a menu) or the window gone:
        // the drag is over.
        if (!::IsWindow(wnd) || ::GetCapture() != wnd)
            break;
        // Sleeps only while nothing is queued, at most a few milliseconds.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void fitWindowToPicture(HWND wnd, const ImageSize &size) {
    const int width = size.width + kFrameAllowance, height = size.height + kFrameAllowance;
    const Point at = centredOrigin(width, height);
    // Pictures of one size follow each other often; moving a window onto
    // its own place costs the platform a round of size messages for nothing.
    const Rect now = GETWNDRECT(wnd);
    if (now.top == at.row && now.left == at.col && now.right - now.left == width &&
        now.bottom - now.top == height)
        return;
    MOVEWINDOW(wnd, at.row, at.col, width, height, true);
}

void repaintPicture(TDialog &oDlg, HBITMAP hBmp, std::optional<bool> everyPixel) {
    oDlg.Refresh(!(everyPixel ? *everyPixel : paintsEveryPixel(hBmp)));
}

void showNewPicture(TDialog &oDlg, HBITMAP hBmp, const ImageSize &size,
                    std::optional<bool> everyPixel) {
    // Marked before the refit: a window that does not move or resize is
    // not repainted by it, and one that does is painted once, at its place.
    repaintPicture(oDlg, hBmp, everyPixel);
    fitWindowToPicture(oDlg.hWnd, size);
    SYSREFRESH();
}

void playShown(ViewerState &st) {
    if (st.player)
        st.player->start(st.cFile);
}

void playStops(ViewerState &st) noexcept {
    if (st.player)
        st.player->stop();
}

bool showsOwnPicture(const ViewerState &st) noexcept {
    return st.lTurned || (st.player && st.player->showsOwnFrame());
}

HBITMAP pictureForPrint(const ViewerState &st) noexcept {
    return showsOwnPicture(st) ? st.hBmp.get() : nullptr;
}

void lookAheadFrom(ViewerState &st, ViewerCommand command) {
    if (st.aFiles)
        st.pictures.lookAhead(command, *st.aFiles, st.nIdx);
    else
        st.pictures.lookAheadInFolderOf(command, st.cFile);
}

void openViewingWindow(ViewerState &st, const std::function<void(TDialog &)> &afterInit) {
    TDialog dlg({.cCaption = kTitlePrefix + st.cFile,
                 .nStyle = static_cast<DWORD>(viewerStyle()),
                 .cVarName = "oDlg"});
    dlg.lModify = false;
    dlg.lHelpIcon = false;
    // Above the client area and never seen; as the only control it has the
    // focus, so every key of the window reaches its key hook.
    TListBox &holder =
        TListBox::New({.nRow = -3, .nCol = -3, .bSetGet = [] { return std::any{}; }, .oWnd = &dlg});
    holder.bKeyDown = [&dlg, &st](int nKey, int, TWindow &) { return CHANGEIMG(dlg, st, nKey); };
    // The wheel steps as Down and Up do; a file dropped on the window opens.
    dlg.bMouseWheel = [&dlg, &st](int nDelta, int, TWindow &) { turnWheel(dlg, st, nDelta); };
    dlg.bDropFiles = [&dlg, &st](const std::vector<std::string> &files, TWindow &) {
        OPENDROPPED(dlg, st, files.front());
    };
    // Cleared by the toolkit after the first paint; keys wait for that, and
    // the next picture is decoded ahead from then on.
    dlg.bStart = [&st] {
        lookAheadFrom(st, ViewerCommand::None);
        playShown(st);
    };
    // A frame goes on show in place of the one before; frames wait while a
    // command, the menu or a window in front of this one runs.
    st.player = std::make_unique<Playback>(
        [&dlg, &st](UniqueBitmap frame, bool everyPixel) {
            st.hBmp = std::move(frame);
            const ImageSize size = AIMGSIZE(st.hBmp.get());
            if (size != st.aSize) {
                st.aSize = size;
                showNewPicture(dlg, st.hBmp.get(), size, everyPixel);
                return;
            }
            repaintPicture(dlg, st.hBmp.get(), everyPixel);
            ::UpdateWindow(dlg.hWnd);
        },
        [&dlg] {
            return commandRunning() || contextMenuRunning() || !::IsWindowEnabled(dlg.hWnd) ||
                   !::IsWindowVisible(dlg.hWnd);
        });
    // Nothing plays once the window is gone.
    ScopeExit noPlayer([&st]() noexcept { st.player.reset(); });

    dlg.Activate({
        .bLClicked = [&dlg] { DRAGDLG(dlg); },
        .bPainted = [&st](HDC dc, const PAINTSTRUCT &, TWindow &) {
            DRAWIMG(dc, st.hBmp.get(), 0, 0, st.aSize.width, st.aSize.height);
        },
        .lCentered = false,
        // A closing window waits for no decode.
        .bValid =
            [&dlg, &st] {
                const bool ends = VALID(dlg, false);
                if (ends) {
                    playStops(st);
                    st.pictures.abandon();
                }
                return ends;
            },
        .bInit =
            [&dlg, &st, &afterInit] {
                SETCLASSLONG(dlg.hWnd, GCLP_HICON,
                             reinterpret_cast<LONG_PTR>(LOADICON(GETINSTANCE(), "ICONA")));
                fitWindowToPicture(dlg.hWnd, st.aSize);
                if (afterInit)
                    afterInit(dlg);
            },
        .bRClicked = [&dlg, &st](int nRow, int nCol, int, TWindow &) {
            CREAMENU(dlg, nRow, nCol, st);
        },
        .lResize16 = true,
    });
}

void showViewer(ViewerState &st) {
    const bool folderStart = st.aFiles && !st.aFiles->empty() && st.nIdx == 1 &&
                             st.cFile == st.aFiles->front();
    st.hBmp.reset(folderStart ? loadFirstOfFolder(st) : loadShown(st));
    if (!st.hBmp)
        return; // already told
    st.aSize = AIMGSIZE(st.hBmp.get());
    openViewingWindow(st);
    DELETEIMG(st.hBmp);
}

} // namespace vistoro
