#include "viewer/openimg.h"

#include "base/paths.h"
#include "base/text.h"
#include "toolkit/wrappers.h"
#include "viewer/startup.h"

namespace vistoro {

void OPENIMG(TDialog &oDlg, ViewerState &st) {
    const std::string chosen = askForImageFile(st.cDir);
    if (trim(chosen).empty())
        return;
    const std::string cNewFile = lowerText(chosen);
    if (!fileExists(cNewFile)) {
        tellFileNotFound(cNewFile);
        return;
    }

    // Nothing decoded for the old folder is of use any more; a decode still
    // under way there is not waited for.
    st.pictures.clear();
    DELETEIMG(st.hBmp);
    st.lTurned = false;
    st.cDir = folderOf(st.cFile);
    const std::optional<FileStamp> newStamp = fileStamp(cNewFile);
    HBITMAP hNew = LOADIMAGE(cNewFile, true);
    if (!hNew) {
        // The previous picture comes back from its file; a quarter turn it
        // had is lost. Its own size is kept, so painting, zoom and print
        // never work on a size the bitmap does not have.
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
        return;
    }

    st.hBmp.reset(hNew);
    st.pictures.nowShowing(cNewFile, newStamp, hNew);
    st.cDir = folderOf(cNewFile);
    st.cFile = cNewFile;
    st.aSize = AIMGSIZE(st.hBmp.get());
    st.aFiles.reset();
    showNewPicture(oDlg, st.hBmp.get(), st.aSize);
    lookAheadFrom(st, ViewerCommand::None);
}

} // namespace vistoro
