// The viewer's commands as one table: each with the key that runs it in the
// viewing window and its entry on the right-click menu. The key dispatcher
// and the menu both read it, so the shortcut a menu entry shows is always
// the key that does the same.
#pragma once

#include <span>

namespace vistoro {

enum class ViewerCommand {
    None,
    Zoom,
    Next,
    Previous,
    TenForward,
    TenBack,
    First,
    Last,
    Random,
    RotateLeft,
    RotateRight,
    Open,
    Print,
    PrintSetup,
    Gallery,
    Close,
    About,
    Copy,
};

struct CommandEntry {
    ViewerCommand command; // None: a separator line of the menu
    int nKey;              // virtual-key code; 0: no key of its own
    const char *cMenuText; // the entry, the key's name after a tab; nullptr: keys only
    bool lCtrl = false;    // the key runs it only with Ctrl held; others take Ctrl or not
};

// The menu's commands in menu order, separators included, then the
// commands that only a key runs.
std::span<const CommandEntry> commandTable();

// The command of a key, with Ctrl held or not; None for every key that runs none.
ViewerCommand commandForKey(int nKey, bool lCtrl = false);

} // namespace vistoro
