// TProgress: the platform's progress bar placed on a dialog built in memory.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "toolkit/controls.h"

namespace vistoro {
namespace {

// The progress class lives in the common controls, which must be told to
// register it once per process.
void registerProgressClass() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
        return ::InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)done;
}

} // namespace

TProgress &TProgress::New(const TProgressNew &a) {
    registerProgressClass();
    auto c = std::make_unique<TProgress>();
    const int top = a.lPixel ? a.nRow : a.nRow * 14;
    const int left = a.lPixel ? a.nCol : a.nCol * 8;
    c->nTop = top;
    c->nLeft = left;
    c->nBottom = top + a.nHeight;
    c->nRight = left + a.nWidth;
    c->nStyle = WS_CHILD | WS_VISIBLE;
    c->cClassName = "msctls_progress32"; // PROGRESS_CLASSA
    c->nFrom = a.nFrom;
    c->nTo = a.nTo;
    c->nPos = a.nFrom;
    c->nId = GetNewId();
    return adopt(std::move(c), a.oWnd);
}

void TProgress::Initiate(HWND hWndDlg) {
    TControl::Initiate(hWndDlg);
    SetRange(nFrom, nTo);
    SetPos(nPos);
}

void TProgress::SetRange(int from, int to) {
    nFrom = from;
    nTo = to;
    if (hWnd)
        ::SendMessageW(hWnd, PBM_SETRANGE32, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
    SetPos(nPos);
}

void TProgress::SetPos(int pos) {
    nPos = std::clamp(pos, std::min(nFrom, nTo), std::max(nFrom, nTo));
    if (hWnd)
        ::SendMessageW(hWnd, PBM_SETPOS, static_cast<WPARAM>(nPos), 0);
}

} // namespace vistoro
