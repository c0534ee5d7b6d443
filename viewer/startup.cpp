#include "viewer/startup.h"

#include "util/filedlg.h"
#include "util/popmsg.h"
#include "base/text.h"
#include "viewer/viewwin.h"

#include <windows.h>

namespace vistoro {

std::string CurrentPath::full() const { return drive + "\\" + directory; }

CurrentPath currentPath() {
    DWORD need = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring wdir(need, L'\0');
    DWORD got = ::GetCurrentDirectoryW(need, wdir.data());
    wdir.resize(got < need ? got : 0);
    const std::string dir = narrowUtf8(wdir);

    CurrentPath cp;
    if (dir.size() >= 2 && dir[0] == '\\' && dir[1] == '\\') {
        // A UNC current directory: its share root stands for the drive.
        auto server = dir.find('\\', 2);
        auto share = server == std::string::npos ? server : dir.find('\\', server + 1);
        cp.drive = dir.substr(0, share);
        cp.directory = share == std::string::npos ? "" : dir.substr(share + 1);
    } else if (dir.size() >= 2 && dir[1] == ':') {
        cp.drive = dir.substr(0, 2);
        std::size_t rest = dir.size() > 2 && dir[2] == '\\' ? 3 : 2;
        cp.directory = dir.substr(rest);
    } else {
        cp.directory = dir.empty() || dir[0] != '\\' ? dir : dir.substr(1);
    }
    return cp;
}

std::string askForImageFile(const std::string &cInitDir) {
    return CGETFILE(
        {.cFilter = "Image files|*.bmp;*.emf;*.gif;*.ico;*.jpeg;*.jpg;*.png;*.tif;*.wmf",
         .cTitle = "Open an image file",
         .cInitDir = cInitDir});
}

void tellFileNotFound(const std::string &cFile) {
    POPMSG("File not found: " + cFile + ".", 1, kViewerCaption);
}

std::optional<StartState> settleStartFile(const std::string &argument) {
    const CurrentPath here = currentPath();
    std::string cFile = argument;

    if (!trim(cFile).empty() && cFile.find('\\') == std::string::npos) {
        std::string path = here.full();
        if (path.back() != '\\')
            path += '\\';
        cFile = path + cFile;
    }
    if (trim(cFile).empty()) {
        cFile = askForImageFile(here.drive + "\\" + here.directory);
        if (trim(cFile).empty())
            return std::nullopt;
    }

    StartState st;
    st.cFile = lowerText(cFile);
    if (!trim(nameOf(st.cFile)).empty() && !fileExists(st.cFile)) {
        tellFileNotFound(st.cFile);
        return std::nullopt;
    }
    st.cDir = folderOf(st.cFile);

    if (trim(nameOf(st.cFile)).empty()) {
        st.aFiles = AFILE(st.cFile);
        if (st.aFiles->empty()) {
            // Nothing to show in the named folder: say so and end.
            POPMSG(kNoImageFound, 1, kViewerCaption);
            return std::nullopt;
        }
        st.cFile = st.aFiles->front();
        st.nIdx = 1;
    }
    return st;
}

} // namespace vistoro

namespace vistoro {

void MAIN(const std::string &cFile) {
    std::optional<StartState> start = settleStartFile(cFile);
    if (!start)
        return;
    ViewerState st(*start);
    showViewer(st);
}

} // namespace vistoro
