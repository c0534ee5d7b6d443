// What a person sees of start-up: the open-file dialog, the notices, and a
// program that ends cleanly after them.
#include "harness/harness.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace harness;
using testsupport::ScratchDir;
using testsupport::writeFile;

namespace {

const std::string kExe = testsupport::hostPath(VISTORO_EXE);

using testsupport::lower;

// Waits for the program's notice box, checks it and presses OK.
void expectNotice(Process &p, const std::string &text) {
    HWND box = waitWindow(p.pid(), "#32770", "ZELM Vistoro");
    ASSERT_TRUE(box) << "no notice appeared";
    EXPECT_EQ(messageBoxText(box), text);
    EXPECT_TRUE(hasControl(box, 0x440) || hasControl(box, 0x14)) << "no icon";
    EXPECT_TRUE(hasControl(box, IDOK));
    EXPECT_FALSE(hasControl(box, IDCANCEL));
    pressButton(box, IDOK);
}

} // namespace

TEST(StartupE2E, MissingFileIsToldThenTheProgramEnds) {
    ScratchDir dir("e2e");
    const std::string path = dir.file("Missing Picture.PNG");
    Process p(kExe, {path});
    ASSERT_TRUE(p.running());
    expectNotice(p, "File not found: " + lower(path) + ".");
    EXPECT_EQ(p.waitExit(), 0u);
}

TEST(StartupE2E, CancelledDialogEndsSilently) {
    Process p(kExe, {});
    HWND dlg = waitWindow(p.pid(), "#32770", "Open an image file");
    ASSERT_TRUE(dlg) << "no open-file dialog";
    openDialogCancel(dlg);
    bool otherWindow = false;
    waitUntil([&] {
        for (HWND w : windowsOf(p.pid()))
            if (w != dlg)
                otherWindow = true;
        return !p.running();
    });
    EXPECT_FALSE(otherWindow);
    EXPECT_EQ(p.waitExit(), 0u);
}

TEST(StartupE2E, TypedNameOfAMissingFileIsTold) {
    ScratchDir dir("e2e");
    const std::string path = dir.file("Typed.JPG");
    Process p(kExe, {});
    HWND dlg = waitWindow(p.pid(), "#32770", "Open an image file");
    ASSERT_TRUE(dlg);
    openDialogChoose(dlg, path);
    expectNotice(p, "File not found: " + lower(path) + ".");
    EXPECT_EQ(p.waitExit(), 0u);
}

TEST(StartupE2E, FolderWithoutPicturesIsTold) {
    ScratchDir dir("e2e");
    writeFile(dir.file("notes.txt"), "x");
    Process p(kExe, {dir.path() + "\\"});
    expectNotice(p, "No image file found.");
    EXPECT_EQ(p.waitExit(), 0u);
}

namespace {

// Waits until the window's title is the expected one.
bool titled(HWND w, const std::string &expected) {
    return waitUntil([&] { return title(w) == expected; }, Millis{10000});
}

} // namespace

TEST(StartupE2E, PicturesNamedInAnyScriptAreListedShownAndSteppedThrough) {
    ScratchDir dir("uni");
    const std::string picture = testsupport::readFile(testsupport::samplesDir() + "\\02-checks.png");
    ASSERT_FALSE(picture.empty());
    // Cyrillic, Japanese-romanised with macrons, and Greek, in upper case.
    const std::string names[] = {"\xD0\xA4\xD0\x9E\xD0\xA2\xD0\x9E.PNG", "T\xC5\x8Cky\xC5\x8C.png",
                                 "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1.png"};
    for (const std::string &n : names)
        writeFile(dir.file(n), picture);

    // The listing order decides which comes first: read it.
    std::vector<std::string> listed;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir.path() + "\\*.*").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    do {
        const std::string n = fd.cFileName;
        if (n != "." && n != "..")
            listed.push_back(n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    ASSERT_EQ(listed.size(), 3u);

    // Lower case as the program makes it (the platform's case tables).
    auto lowerName = [](const std::string &n) {
        wchar_t w[MAX_PATH] = {};
        MultiByteToWideChar(CP_UTF8, 0, n.c_str(), -1, w, MAX_PATH);
        CharLowerW(w);
        char out[MAX_PATH * 3] = {};
        WideCharToMultiByte(CP_UTF8, 0, w, -1, out, sizeof out, nullptr, nullptr);
        return std::string(out);
    };
    const std::string folder = lowerName(dir.path());

    Process p(kExe, {dir.path() + "\\"});
    HWND w = waitWindow(p.pid(), "#32770", "ZELM Vistoro - " + folder + "\\" + lowerName(listed[0]));
    ASSERT_TRUE(w) << "first picture not shown";
    ASSERT_TRUE(waitPainted(w)); // keys before the first paint are dropped
    typeKey(w, VK_DOWN);
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + folder + "\\" + lowerName(listed[1])));
    typeKey(w, VK_DOWN);
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + folder + "\\" + lowerName(listed[2])));
    typeKey(w, VK_HOME);
    EXPECT_TRUE(titled(w, "ZELM Vistoro - " + folder + "\\" + lowerName(listed[0])));
    typeKey(w, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);
}
