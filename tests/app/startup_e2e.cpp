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

std::string lower(std::string s) {
    for (char &c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

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
