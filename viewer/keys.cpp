#include "viewer/keys.h"

#include "base/handles.h"
#include "base/paths.h"
#include "toolkit/wrappers.h"
#include "viewer/copy.h"
#include "viewer/rotate.h"
#include "viewer/zoom.h"

#include <algorithm>
#include <random>
#include <vector>

namespace vistoro {
namespace {

RandomPick &randomPick() {
    static RandomPick pick;
    return pick;
}

int defaultPick(int lo, int hi) {
    static std::mt19937 engine(std::random_device{}() ^ ::GetTickCount());
    return std::uniform_int_distribution<int>(lo, hi)(engine);
}

// Set while a command runs, for every call and handler inside it, and
// cleared on every way out.
bool changeImgBusy = false;

std::string trimRight(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// Steps one place at a time towards the end (or start), trying each entry.
SeekResult walk(const ImageList &list, const SeekWalk &plan, const EntryLoader &load) {
    int nIdx = plan.from;
    for (int at : positionsOf(plan, static_cast<int>(list.size()))) {
        nIdx = at;
        if (HBITMAP h = load(list[static_cast<std::size_t>(at - 1)]))
            return {UniqueBitmap(h), at};
    }
    return {UniqueBitmap(), nIdx};
}

} // namespace

bool isNavigation(ViewerCommand c) {
    switch (c) {
    case ViewerCommand::Next:
    case ViewerCommand::Previous:
    case ViewerCommand::TenForward:
    case ViewerCommand::TenBack:
    case ViewerCommand::First:
    case ViewerCommand::Last:
    case ViewerCommand::Random:
        return true;
    default:
        return false;
    }
}

bool isDispatched(ViewerCommand c) {
    return c == ViewerCommand::Zoom || c == ViewerCommand::RotateLeft ||
           c == ViewerCommand::RotateRight || isNavigation(c);
}

bool atListEnd(ViewerCommand c, int nIdx, int length) {
    switch (c) {
    case ViewerCommand::Next:
    case ViewerCommand::TenForward:
    case ViewerCommand::Last:
        return nIdx == length;
    case ViewerCommand::Previous:
    case ViewerCommand::TenBack:
    case ViewerCommand::First:
        return nIdx == 1;
    default:
        return false;
    }
}

std::optional<SeekWalk> seekWalk(ViewerCommand c, int length, int nIdx) {
    switch (c) {
    case ViewerCommand::Next:
        return SeekWalk{nIdx, 1};
    case ViewerCommand::Previous:
        return SeekWalk{nIdx, -1};
    case ViewerCommand::TenForward:
        nIdx += 9;
        if (nIdx >= length)
            nIdx = length - 1;
        return SeekWalk{nIdx, 1};
    case ViewerCommand::TenBack:
        nIdx -= 9;
        if (nIdx <= 1)
            nIdx = 2;
        return SeekWalk{nIdx, -1};
    case ViewerCommand::First:
        return SeekWalk{0, 1};
    case ViewerCommand::Last:
        return SeekWalk{length + 1, -1};
    default:
        return std::nullopt;
    }
}

std::vector<int> positionsOf(const SeekWalk &plan, int length) {
    std::vector<int> positions;
    for (int at = plan.from; plan.step > 0 ? at < length : at > 1;) {
        at += plan.step;
        if (at < 1 || at > length)
            break; // only ever reached from outside the list: nothing to try
        positions.push_back(at);
    }
    return positions;
}

SeekResult seekEntry(ViewerCommand c, const ImageList &list, int nIdx, const EntryLoader &load,
                     const RandomPick &pick) {
    const int length = static_cast<int>(list.size());
    if (const std::optional<SeekWalk> plan = seekWalk(c, length, nIdx))
        return walk(list, *plan, load);
    if (c != ViewerCommand::Random)
        return {UniqueBitmap(), nIdx};
    // Uniform over the entries not yet tried: the same outcome as picking
    // again after each failure, but it ends when none loads.
    std::vector<int> left(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i)
        left[static_cast<std::size_t>(i)] = i + 1;
    while (!left.empty()) {
        const int at = pick(1, static_cast<int>(left.size()));
        const std::size_t slot =
            static_cast<std::size_t>(std::clamp(at, 1, static_cast<int>(left.size())) - 1);
        nIdx = left[slot];
        if (HBITMAP h = load(list[static_cast<std::size_t>(nIdx - 1)]))
            return {UniqueBitmap(h), nIdx};
        left.erase(left.begin() + static_cast<std::ptrdiff_t>(slot));
    }
    return {UniqueBitmap(), nIdx};
}

std::string captionFor(const ImageList &list, int nIdx, const std::string &cFile) {
    if (nIdx >= 1 && nIdx <= static_cast<int>(list.size()))
        return kTitlePrefix + trimRight(list[static_cast<std::size_t>(nIdx - 1)]);
    return kTitlePrefix + trimRight(cFile);
}

bool commandRunning() noexcept { return changeImgBusy; }

int takeWholeNotches(int &rest, int delta) noexcept {
    rest += delta;
    const int notches = rest / WHEEL_DELTA; // towards zero: a part stays a part
    rest -= notches * WHEEL_DELTA;
    return notches;
}

void turnWheel(TDialog &oDlg, ViewerState &st, int nDelta) {
    const int notches = takeWholeNotches(st.nWheelRest, nDelta);
    const int key = notches < 0 ? VK_DOWN : VK_UP;
    for (int i = 0; i < (notches < 0 ? -notches : notches); ++i)
        CHANGEIMG(oDlg, st, key);
}

void setRandomPick(RandomPick pick) {
    randomPick() = std::move(pick);
}

std::optional<bool> CHANGEIMG(TDialog &oDlg, ViewerState &st, int nKey) {
    if (oDlg.bStart)
        return std::nullopt; // not painted yet: keys are dropped
    if (changeImgBusy)
        return false; // refused, not queued
    changeImgBusy = true;
    ScopeExit idle([]() noexcept { changeImgBusy = false; });

    const ViewerCommand command = commandForKey(nKey, GETKEYSTATE(VK_CONTROL));
    if (command == ViewerCommand::Zoom) {
        ZOOM(oDlg, st.aSize, st.hBmp.get());
        return std::nullopt;
    }
    if (command == ViewerCommand::Copy) {
        copyPicture(oDlg.hWnd, st.hBmp.get());
        return std::nullopt;
    }

    if (!st.aFiles) {
        st.aFiles = AFILE(folderPart(st.cFile));
        const bool noName = trimRight(nameOf(st.cFile)).empty();
        st.nIdx = noName ? 1 : locateInList(*st.aFiles, st.cFile);
    }
    const ImageList &list = *st.aFiles;
    const int length = static_cast<int>(list.size());

    if (!isDispatched(command) || (command == ViewerCommand::Random && length <= 1))
        return std::nullopt;
    if (atListEnd(command, st.nIdx, length))
        return std::nullopt;

    // Pictures come from the look-ahead's cache: decoded ahead, or just
    // left, or else decoded now; each is what LOADIMAGE(file, false) gives.
    // While one is awaited the shown picture stays the one that paints:
    // nothing a handler can reach changes until the new one is there.
    CachedPicture found;
    const EntryLoader load = [&st, &found](const std::string &f) {
        found = st.pictures.take(f);
        return found.bitmap.release();
    };
    // The picture now shown is replaced by `next` of `file`; the old one is
    // kept as the one just left, unless it was turned.
    const auto replaceShown = [&st](const std::string &file, HBITMAP next, CachedPicture &about) {
        st.pictures.leave(std::move(st.hBmp), showsOwnPicture(st));
        st.hBmp.reset(next);
        st.lTurned = false;
        st.pictures.nowShowing(file, about.stamp, next, about.paintsEveryPixel,
                               std::move(about.share));
    };
    bool shown = false;
    // A moving picture plays from its start once the command is over: a
    // navigation stops it while the next picture is sought.
    bool replay = isNavigation(command);
    if (replay) {
        playStops(st);
        const RandomPick &pick = randomPick() ? randomPick() : RandomPick(defaultPick);
        SeekResult result = seekEntry(command, list, st.nIdx, load, pick);
        if (st.pictures.abandoned())
            return std::nullopt; // the window closed during the search
        st.nIdx = result.nIdx;
        if (result.hBmp) {
            const std::string &file = list[static_cast<std::size_t>(st.nIdx - 1)];
            replaceShown(file, result.hBmp.release(), found);
            shown = true;
        }
    } else {
        // The old bitmap goes only once the turned one exists.
        UniqueBitmap turned(
            ROTATEBMP(st.hBmp.get(), command == ViewerCommand::RotateLeft ? 90 : -90));
        if (turned) {
            st.hBmp = std::move(turned);
            st.lTurned = true;
            shown = true;
            // A moving picture goes on playing, turned alike.
            if (st.player)
                st.player->turn(command == ViewerCommand::RotateLeft ? 1 : -1);
        }
    }

    if (!shown) {
        // Nothing loaded that way, or the turn failed: the file as stored.
        // The picture on screen is that already when it was not turned and
        // the file has not changed since it was read.
        if (showsOwnPicture(st) || !st.pictures.shownStillCurrent()) {
            playStops(st);
            found = st.pictures.take(st.cFile);
            if (st.pictures.abandoned())
                return std::nullopt;
            replaceShown(st.cFile, found.bitmap.release(), found);
            replay = true;
        }
        st.nIdx = locateInList(list, st.cFile);
    } else if (st.nIdx >= 1 && st.nIdx <= length) {
        st.cFile = list[static_cast<std::size_t>(st.nIdx - 1)];
    }
    st.aSize = AIMGSIZE(st.hBmp.get());

    // Taken before the queue is drained: a handler running inside it may
    // replace the list.
    const std::string caption = captionFor(list, st.nIdx, st.cFile);
    // A turn keeps what the picture lets through.
    showNewPicture(oDlg, st.hBmp.get(), st.aSize,
                   st.hBmp ? st.pictures.shownPaintsEveryPixel() : std::nullopt);
    oDlg.cTitle(caption);
    // From the state as it stands after the drain, which may have opened
    // another folder.
    if (replay)
        playShown(st);
    if (isNavigation(command))
        lookAheadFrom(st, command);
    return std::nullopt;
}

} // namespace vistoro
