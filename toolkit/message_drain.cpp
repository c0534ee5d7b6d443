#include "toolkit/message_drain.h"

namespace vistoro {

ToolkitState &toolkitState() {
    static ToolkitState state;
    return state;
}

namespace {

// Asks the non-modal dialogs whether the message is one of their keyboard
// messages: the one that claimed the previous message first, then the rest
// in order. By position, as a dialog may open or close while it is asked.
bool claimedByNonModal(ToolkitState &st, MSG &msg) {
    if (st.lastClaimer && ::IsWindow(st.lastClaimer) && ::IsDialogMessageW(st.lastClaimer, &msg))
        return true;
    for (std::size_t i = 0; i < st.nonModal.size(); ++i) {
        const HWND dlg = st.nonModal[i];
        if (dlg != st.lastClaimer && ::IsWindow(dlg) && ::IsDialogMessageW(dlg, &msg)) {
            st.lastClaimer = dlg;
            return true;
        }
    }
    return false;
}

} // namespace

bool SYSREFRESH() {
    ToolkitState &st = toolkitState();
    bool metQuit = false;
    MSG msg;
    // Taken and handed on wide, as the windows are wide ones: a character
    // typed outside the code page stays whole.
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            metQuit = true;
            break;
        }
        if (!claimedByNonModal(st, msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (msg.message == WM_CHAR)
            st.lastKey = static_cast<int>(msg.wParam);
    }
    if (metQuit && st.honourQuit)
        ::PostQuitMessage(static_cast<int>(msg.wParam));
    return !metQuit;
}

} // namespace vistoro
