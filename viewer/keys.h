// The viewing window's command dispatcher: the position arithmetic of the
// navigation commands, and CHANGEIMG itself, which runs the commands of the
// keys in the command table.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/dialog.h"
#include "viewer/commands.h"
#include "viewer/imagelist.h"
#include "viewer/viewwin.h"

namespace vistoro {

bool isNavigation(ViewerCommand command);
// The commands CHANGEIMG runs: the zoom, the navigation and the turns.
bool isDispatched(ViewerCommand command);
// True when the command cannot move from nIdx: forward commands at the last
// position, backward ones at the first.
bool atListEnd(ViewerCommand command, int nIdx, int length);

// Loads one entry quietly; 0 when it does not load.
using EntryLoader = std::function<HBITMAP(const std::string &)>;
// A uniform whole number from lo to hi, both included.
using RandomPick = std::function<int(int lo, int hi)>;

// How a stepping command searches: it tries positions from + step, from +
// 2 step, ... while they lie inside the list.
struct SeekWalk {
    int from = 0, step = 1;
};
// The walk of Next, Previous, TenForward, TenBack, First and Last from
// nIdx in a list of `length`; none for every other command.
std::optional<SeekWalk> seekWalk(ViewerCommand command, int length, int nIdx);
// The positions that walk tries, in order.
std::vector<int> positionsOf(const SeekWalk &walk, int length);

struct SeekResult {
    UniqueBitmap hBmp; // the entry that loaded, or none when none did
    int nIdx = 0;           // where the search stopped
};
// Tries entries in the command's direction from nIdx until one loads. Only
// positions inside the list are ever tried. The random pick tries each
// entry at most once, so it ends also when nothing loads.
SeekResult seekEntry(ViewerCommand command, const ImageList &list, int nIdx,
                     const EntryLoader &load, const RandomPick &pick);

// "ZELM Vistoro - " and the entry at nIdx, trailing blanks removed; cFile
// when nIdx names no entry.
std::string captionFor(const ImageList &list, int nIdx, const std::string &cFile);

// Runs the command of nKey on the viewing window's state. False when it was
// refused because another command is still running; nothing otherwise.
std::optional<bool> CHANGEIMG(TDialog &oDlg, ViewerState &st, int nKey);

// True while a command runs: other commands, the wheel and drops are refused.
bool commandRunning() noexcept;

// Whole notches of the wheel in rest plus delta (WHEEL_DELTA a notch,
// negative towards the user); what is left of a notch stays in rest for the
// next turn, so that fine wheels and touchpads step once a notch.
int takeWholeNotches(int &rest, int delta) noexcept;
// A turn of the wheel over the viewing window: each whole notch towards the
// user runs Down's command, each away from the user Up's, through the
// dispatcher as the keys do (a notch while a command runs is refused).
void turnWheel(TDialog &oDlg, ViewerState &st, int nDelta);

// Replaces the random source of the S command (nullptr: the default one).
void setRandomPick(RandomPick pick);

} // namespace vistoro
