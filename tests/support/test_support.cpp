#include "support/test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

ScratchDir::ScratchDir(const std::string &tag) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        std::string p = std::string(temp) + "vst-" + tag + "-" +
                        std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
        if (CreateDirectoryA(p.c_str(), nullptr)) {
            path_ = p;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            throw std::runtime_error("cannot create " + p);
    }
}

ScratchDir::~ScratchDir() { removeTree(path_); }

void removeTree(const std::string &path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

void writeFile(const std::string &path, const std::string &bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

std::string readFile(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool fileExists(const std::string &path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// The platform's own count where it gives one; else (Wine, which answers
// 0) the handle values whose object type is known, which Wine takes
// without their high word. Without the window manager's, the cached window
// DCs and the update regions that Wine keeps in the process and that grow
// when threads ask for screen DCs at once are left out.
int platformGdiCount(bool withWindowManagers) {
    if (const DWORD n = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS))
        return static_cast<int>(n);
    int n = 0;
    for (UINT_PTR i = 1; i <= 0xFFFF; ++i)
        if (const DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(i));
            type != 0 && (withWindowManagers || (type != OBJ_DC && type != OBJ_REGION)))
            ++n;
    return n;
}

} // namespace

int countGdiObjectsWith(const std::function<int()> &count) {
    const int before = count();
    HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
    const int with = count();
    DeleteObject(probe);
    if (with != before + 1)
        ADD_FAILURE() << "the GDI object count does not see a new brush (" << before << ", then "
                      << with << "): it cannot tell a leak";
    return before;
}

int countGdiObjects() {
    return countGdiObjectsWith([] { return platformGdiCount(true); });
}

int countMadeGdiObjects() {
    return countGdiObjectsWith([] { return platformGdiCount(false); });
}

int recordBox(HWND, const std::string &text, const std::string &title, unsigned) {
    shownBoxes().push_back(text + "|" + title);
    return IDOK;
}

std::vector<std::string> &shownBoxes() {
    static std::vector<std::string> boxes;
    return boxes;
}

std::string hostPath(std::string p) {
    if (!p.empty() && p[0] == '/') {
        for (char &c : p)
            if (c == '/')
                c = '\\';
        p = "Z:" + p;
    }
    return p;
}

} // namespace testsupport
