// The message drain that hooks run while they work, and the open non-modal
// dialogs it asks first: the dialogs register and leave that list, the
// drain only reads it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace vistoro {

// What SYSREFRESH consults: the open non-modal dialogs in the order they
// were registered, and the last key.
struct ToolkitState {
    static constexpr std::size_t kMostNonModal = 1500; // more are refused
    std::vector<HWND> nonModal;
    HWND lastClaimer = nullptr; // the dialog that claimed the previous message
    int lastKey = 0;
    bool honourQuit = true;
};
ToolkitState &toolkitState();

// Dispatches every message waiting in the thread's queue, letting the open
// non-modal dialogs claim their keyboard messages first. False when it met
// the quit message (posted again for the outer loop when honoured).
bool SYSREFRESH();

} // namespace vistoro
