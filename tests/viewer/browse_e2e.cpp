// A browsing session survives damaged files: a folder of good pictures
// with the damaged files found in use among them, stepped through with
// every navigation key as a person would; the gallery of the folder paints.
#include "harness/harness.h"
#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

using namespace harness;
using testsupport::lower;
using testsupport::ScratchDir;
using viewertest::Pixels;

namespace {

const std::string kExe = testsupport::hostPath(VISTORO_EXE);
const std::string kGallery = testsupport::hostPath(VISTORO_TEST_BIN_DIR) + "\\gallerydemo.exe";
const std::string kHostile = testsupport::hostPath(VISTORO_HOSTILE);

std::vector<std::string> hostileFiles() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((kHostile + "\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(fd.cFileName);
    while (FindNextFileA(find, &fd));
    FindClose(find);
    return names;
}

class BrowseE2E : public ::testing::Test {
  protected:
    // Good pictures g1..gN, each followed by damaged files, the last one
    // good: every way through the list passes damaged files.
    void SetUp() override {
        const std::vector<std::string> bad = hostileFiles();
        ASSERT_GE(bad.size(), 10u);
        const std::size_t goods = 6;
        for (std::size_t g = 0; g < goods; ++g) {
            char name[32];
            std::snprintf(name, sizeof name, "p%02zu-good.png", g * 10);
            const long w = 120 + 10 * static_cast<long>(g), h = 90 + 6 * static_cast<long>(g);
            const Pixels px = viewertest::sampleScene(w, h, static_cast<int>(g) + 1);
            ASSERT_TRUE(viewertest::writePicture(dir.file(name), px, L"image/png"));
            good[lower(dir.file(name))] = px;
            if (first.empty())
                first = dir.file(name);
            if (g + 1 == goods)
                break;
            // The damaged files between this one and the next.
            for (std::size_t b = g; b < bad.size(); b += goods - 1) {
                std::snprintf(name, sizeof name, "p%02zu-%02zu-", g * 10, b);
                CopyFileA((kHostile + "\\" + bad[b]).c_str(), dir.file(name + bad[b]).c_str(), FALSE);
            }
        }
    }

    // The program is alive and shows one of the good pictures, whole.
    ::testing::AssertionResult showsAGoodPicture(Process &p, HWND w) {
        if (!p.running() || !IsWindow(w))
            return ::testing::AssertionFailure() << "the viewer is gone";
        const std::string caption = title(w);
        const std::string prefix = "ZELM Vistoro - ";
        const auto it = good.find(caption.substr(std::min(prefix.size(), caption.size())));
        if (caption.rfind(prefix, 0) != 0 || it == good.end())
            return ::testing::AssertionFailure() << "caption \"" << caption << "\"";
        const Pixels &px = it->second;
        const RECT c = clientRectOnScreen(w);
        const bool same = waitUntil([&] {
            return screenPixel(c.left + 3, c.top + 3) == (px.at(3, 3) & 0xFFFFFF) &&
                   screenPixel(c.left + px.width - 2, c.top + px.height - 2) ==
                       (px.at(px.width - 2, px.height - 2) & 0xFFFFFF);
        }, Millis{5000});
        return same ? ::testing::AssertionSuccess()
                    : ::testing::AssertionFailure() << "the window does not show " << caption;
    }

    vistoro::GdiplusSession session;
    ScratchDir dir{"browse"};
    std::map<std::string, Pixels> good;
    std::string first;
};

// Presses the key and waits for the command to end: the viewer sets its
// caption last, so a marker put in first shows when it is done.
void press(HWND w, WORD vk) {
    const std::string marker = "before the key";
    SetWindowTextA(w, marker.c_str());
    typeKey(w, vk);
    waitUntil([&] { return title(w) != marker || !IsWindow(w); }, Millis{20000});
}

} // namespace

TEST_F(BrowseE2E, EveryKeyLandsOnAGoodPictureAndTheGalleryPaints) {
    Process p(kExe, {dir.path() + "\\"});
    HWND w = waitWindow(p.pid(), "#32770", "ZELM Vistoro - " + lower(first));
    ASSERT_TRUE(w) << "the viewer did not start on the first good picture";
    ASSERT_TRUE(waitPainted(w));
    ASSERT_TRUE(showsAGoodPicture(p, w));

    for (std::size_t i = 1; i < good.size(); ++i) {
        press(w, VK_DOWN);
        ASSERT_TRUE(showsAGoodPicture(p, w)) << "after Down number " << i;
    }
    EXPECT_EQ(title(w), "ZELM Vistoro - " + good.rbegin()->first);
    // At the end Down does nothing, and the program is still there.
    typeKey(w, VK_DOWN);
    ASSERT_TRUE(settle(w));
    ASSERT_TRUE(showsAGoodPicture(p, w)) << "after Down at the end";
    // Never a key that does nothing where it is pressed: each one runs.
    for (int key : {VK_HOME, VK_END, VK_PRIOR, VK_NEXT, VK_PRIOR, int('S'), int('S')}) {
        press(w, static_cast<WORD>(key));
        ASSERT_TRUE(showsAGoodPicture(p, w)) << "after key " << key;
    }
    typeKey(w, VK_ESCAPE);
    EXPECT_EQ(p.waitExit(), 0u);

    // The gallery of the same folder: its first cells are the good pictures.
    Process g(kGallery, {first});
    HWND gallery = waitWindow(g.pid(), "#32770", "");
    ASSERT_TRUE(gallery) << "no gallery window";
    const RECT c = clientRectOnScreen(gallery);
    const Pixels &firstPx = good.begin()->second;
    // The first picture squeezed into the first cell: its top-left pixel
    // comes from the picture's top-left corner (a neighbour at most).
    const auto alike = [](DWORD a, DWORD b) {
        for (int shift = 0; shift < 24; shift += 8)
            if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > 8)
                return false;
        return true;
    };
    EXPECT_TRUE(waitUntil([&] {
        return alike(screenPixel(c.left, c.top), firstPx.at(0, 0));
    }, Millis{20000})) << "the gallery did not paint its first cell: " << std::hex
                       << screenPixel(c.left, c.top) << " for " << (firstPx.at(0, 0) & 0xFFFFFF);
    EXPECT_TRUE(g.running());
    typeKey(gallery, VK_ESCAPE);
    EXPECT_EQ(g.waitExit(), 0u);
}

TEST_F(BrowseE2E, APictureTooLargeToHoldIsToldAndTheProgramEnds) {
    // A JPEG frame header that declares 20000 x 20000 pixels.
    std::string jpeg = "\xFF\xD8\xFF\xC0";
    jpeg += std::string("\x00\x11\x08\x4E\x20\x4E\x20\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 17);
    jpeg += "\xFF\xD9";
    testsupport::writeFile(dir.file("vast.jpg"), jpeg);
    Process p(kExe, {dir.file("vast.jpg")});
    HWND box = waitWindow(p.pid(), "#32770", "ZELM Vistoro");
    ASSERT_TRUE(box) << "no notice";
    EXPECT_EQ(messageBoxText(box), "Invalid or unsupported JPG file.");
    pressButton(box, IDOK);
    EXPECT_EQ(p.waitExit(), 0u);
}
