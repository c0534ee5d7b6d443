#include "viewer/openimg.h"

#include "base/paths.h"
#include "base/text.h"
#include "toolkit/wrappers.h"
#include "util/popmsg.h"
#include "viewer/contextmenu.h"
#include "viewer/keys.h"
#include "viewer/startup.h"

namespace vistoro {

namespace {

// The chosen picture, already loaded, becomes the current one.
void showOpened(TDialog &oDlg, ViewerState &st, const std::string &cNewFile, HBITMAP hNew,
                std::optional<FileStamp> newStamp) {
    st.hBmp.reset(hNew);
    st.pictures.nowShowing(cNewFile, newStamp, hNew);
    st.cDir = folderOf(cNewFile);
    st.cFile = cNewFile;
    st.aSize = AIMGSIZE(st.hBmp.get());
    st.aFiles.reset();
    showNewPicture(oDlg, st.hBmp.get(), st.aSize);
    lookAheadFrom(st, ViewerCommand::None);
    playShown(st);
}

// The previous picture comes back from its file; a quarter turn it had is
// lost. Its own size is kept, so painting, zoom and print never work on a
// size the bitmap does not have.
void showPreviousAgain(TDialog &oDlg, ViewerState &st) {
    const std::optional<FileStamp> oldStamp = fileStamp(st.cFile);
    st.hBmp.reset(LOADIMAGE(st.cFile, false));
    st.pictures.nowShowing(st.cFile, oldStamp, st.hBmp.get());
    const ImageSize back = AIMGSIZE(st.hBmp.get());
    if (st.hBmp && back != st.aSize) {
        st.aSize = back;
        showNewPicture(oDlg, st.hBmp.get(), st.aSize);
    } else {
        repaintPicture(oDlg, st.hBmp.get());
    }
    lookAheadFrom(st, ViewerCommand::None);
    playShown(st);
}

// Nothing decoded for the old folder is of use any more; a decode still
// under way there is not waited for.
void letGoOfTheShownPicture(ViewerState &st) {
    playStops(st);
    st.pictures.clear();
    DELETEIMG(st.hBmp);
    st.lTurned = false;
    st.cDir = folderOf(st.cFile);
}

// Open from the point where a path is chosen (lower case).
void openChosen(TDialog &oDlg, ViewerState &st, const std::string &cNewFile) {
    if (!fileExists(cNewFile)) {
        tellFileNotFound(cNewFile);
        return;
    }
    letGoOfTheShownPicture(st);
    const std::optional<FileStamp> newStamp = fileStamp(cNewFile);
    if (HBITMAP hNew = LOADIMAGE(cNewFile, true))
        showOpened(oDlg, st, cNewFile, hNew, newStamp);
    else
        showPreviousAgain(oDlg, st);
}

bool folderExists(const std::string &path) {
    const DWORD attr = ::GetFileAttributesW(widen(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

void OPENIMG(TDialog &oDlg, ViewerState &st) {
    const std::string chosen = askForImageFile(st.cDir);
    if (trim(chosen).empty())
        return;
    openChosen(oDlg, st, lowerText(chosen));
}

void OPENDROPPED(TDialog &oDlg, ViewerState &st, const std::string &cPath) {
    if (commandRunning() || contextMenuRunning() || !::IsWindowEnabled(oDlg.hWnd))
        return;
    const std::string path = lowerText(cPath);
    if (!folderExists(path)) {
        openChosen(oDlg, st, path);
        return;
    }
    const ImageList list = AFILE(path);
    if (list.empty()) {
        POPMSG(kNoImageFound, 1, kViewerCaption);
        return;
    }
    for (const std::string &entry : list) {
        const std::optional<FileStamp> stamp = fileStamp(entry);
        if (HBITMAP h = LOADIMAGE(entry, false)) {
            letGoOfTheShownPicture(st);
            showOpened(oDlg, st, entry, h, stamp);
            return;
        }
    }
    // None loads: the first one's notice, and the picture on screen stays.
    openChosen(oDlg, st, list.front());
}

} // namespace vistoro
