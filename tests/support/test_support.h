// Helpers shared by the tests: scratch folders, files, GDI object counts.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system temporary folder, removed with all its
// contents when the object goes away. path() ends without a backslash.
class ScratchDir {
  public:
    explicit ScratchDir(const std::string &tag = "t");
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "\\" + name; }

  private:
    std::string path_;
};

void writeFile(const std::string &path, const std::string &bytes);
std::string readFile(const std::string &path);
bool fileExists(const std::string &path);
void removeTree(const std::string &path);

// Live GDI objects of this process. The count proves itself each time: a
// brush made while it counts must raise it by one, or the test fails (a
// count that sees nothing would let every leak pass).
int countGdiObjects();
// The same without the screen and window DCs and the regions that the
// window manager keeps for itself (Wine keeps them in the process, and
// more of them when threads ask for screen DCs at once): the objects a
// program makes and must release.
int countMadeGdiObjects();
// The same over another way of counting, for the proof's own test.
int countGdiObjectsWith(const std::function<int()> &count);

// A stand-in for the notices' message box: records "text|title" in
// shownBoxes() and answers OK.
int recordBox(HWND owner, const std::string &text, const std::string &title, unsigned flags);
std::vector<std::string> &shownBoxes();

// A path that the build system wrote in Unix form, as Windows sees it
// (Wine maps the Unix root to drive Z:); a Windows path is kept.
std::string hostPath(std::string p);

// ASCII letters lower-cased, the rest kept: test paths are ASCII where this
// is used, and the program lower-cases them as well.
inline std::string lower(std::string s) {
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The folder of bundled sample pictures, without a trailing backslash.
inline std::string samplesDir() {
#ifdef VISTORO_SAMPLES
    return hostPath(VISTORO_SAMPLES);
#else
    return {};
#endif
}

} // namespace testsupport
