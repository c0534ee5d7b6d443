// What every window of the toolkit does with a click or a key: hand it to
// the hook of that name, when there is one.
#include "toolkit/window.h"

#include "toolkit/controls.h"

namespace vistoro {

HookResult TWindow::LButtonDown(int nRow, int nCol, int nKeyFlags, bool lTouch) {
    if (bLClicked)
        return bLClicked(nRow, nCol, nKeyFlags, *this, lTouch);
    return std::nullopt;
}

HookResult TWindow::RButtonDown(int nRow, int nCol, int nKeyFlags) {
    if (bRClicked)
        bRClicked(nRow, nCol, nKeyFlags, *this);
    return std::nullopt;
}

HookResult TWindow::KeyDown(int nKey, int nFlags) {
    if (nKey == VK_F1)
        return std::nullopt;
    if (bKeyDown)
        return bKeyDown(nKey, nFlags, *this);
    return std::nullopt;
}

} // namespace vistoro
