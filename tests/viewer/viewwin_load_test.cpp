// Loading with and without notices, the image size and the release.
#include "viewer/viewwin.h"

#include "imaging/gdiplus_session.h"
#include "pixels.h"
#include "support/test_support.h"
#include "util/popmsg.h"
#include "base/text.h"

#include <gtest/gtest.h>

using namespace vistoro;
using testsupport::ScratchDir;

namespace {

struct Box {
    std::string text, title;
};
std::vector<Box> boxes;
int fakeBox(HWND, const std::string &text, const std::string &title, unsigned) {
    boxes.push_back({text, title});
    return IDOK;
}

class LoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        boxes.clear();
        setMessageBoxCall(fakeBox);
    }
    void TearDown() override { setMessageBoxCall(nullptr); }
    GdiplusSession session;
    ScratchDir dir{"load"};
};

} // namespace

TEST_F(LoadTest, UnacceptedExtensionsAreToldWithTheWholeExtension) {
    testsupport::writeFile(dir.file("notes.txt"), "x");
    testsupport::writeFile(dir.file("noext"), "x");
    EXPECT_EQ(LOADIMAGE(lowerText(dir.file("notes.txt"))), nullptr);
    EXPECT_EQ(LOADIMAGE(lowerText(dir.file("noext"))), nullptr);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "TXT format not supported.");
    EXPECT_EQ(boxes[0].title, "ZELM Vistoro");
    // The notice's text begins with a blank, which the message box trims.
    EXPECT_EQ(boxes[1].text, "format not supported.");
}

TEST_F(LoadTest, UndecodableAndMissingFilesAreToldOnlyWithMessagesOn) {
    testsupport::writeFile(dir.file("photo.Jpeg"), "not a picture at all");
    const std::string damaged = lowerText(dir.file("photo.Jpeg"));
    EXPECT_EQ(LOADIMAGE(damaged, false), nullptr);
    EXPECT_EQ(LOADIMAGE(lowerText(dir.file("gone.png")), false), nullptr);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(LOADIMAGE(damaged), nullptr);
    EXPECT_EQ(LOADIMAGE(lowerText(dir.file("gone.png"))), nullptr);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Invalid or unsupported JPEG file.");
    EXPECT_EQ(boxes[1].text, "Invalid or unsupported PNG file.");
}

TEST_F(LoadTest, AGoodPictureLoadsQuietlyAndIsReleasedOnce) {
    const std::string path = dir.file("scene.png");
    ASSERT_TRUE(viewertest::writePicture(path, viewertest::sampleScene(64, 48, 3), L"image/png"));
    const int before = testsupport::countGdiObjects();
    HBITMAP h = LOADIMAGE(lowerText(path));
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(AIMGSIZE(h), (ImageSize{64, 48}));
    DELETEIMG(h);
    EXPECT_EQ(h, nullptr);
    DELETEIMG(h); // harmless on 0
    EXPECT_EQ(testsupport::countGdiObjects(), before);
    EXPECT_EQ(AIMGSIZE(nullptr), (ImageSize{0, 0}));
}
