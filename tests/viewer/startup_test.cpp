#include "viewer/startup.h"

#include "support/test_support.h"
#include "util/popmsg.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace vistoro;
using testsupport::ScratchDir;
using testsupport::writeFile;

namespace {

std::vector<std::pair<std::string, std::string>> g_notices;

int recordBox(HWND, const std::string &text, const std::string &title, unsigned flags) {
    EXPECT_EQ(flags, 64u);
    g_notices.emplace_back(text, title);
    return IDOK;
}

class Startup : public testing::Test {
  protected:
    void SetUp() override {
        g_notices.clear();
        setMessageBoxCall(recordBox);
        GetCurrentDirectoryA(MAX_PATH, saved_);
    }
    void TearDown() override {
        SetCurrentDirectoryA(saved_);
        setMessageBoxCall(nullptr);
    }
    char saved_[MAX_PATH] = {};
};

using testsupport::lower;

} // namespace

TEST_F(Startup, FolderValues) {
    EXPECT_EQ(folderOf("c:\\x.png"), "c:");
    EXPECT_EQ(folderOf("c:\\work\\a.jpg"), "c:\\work");
    EXPECT_EQ(folderOf("\\x.png"), "\\");
    EXPECT_EQ(folderOf("d:\\pics\\"), "d:\\pics");
    EXPECT_EQ(nameOf("d:\\pics\\"), "");
}

TEST_F(Startup, CurrentPathSplitsDriveAndDirectory) {
    ScratchDir dir("cwd");
    SetCurrentDirectoryA(dir.path().c_str());
    const CurrentPath here = currentPath();
    EXPECT_EQ(here.full(), dir.path());
    EXPECT_EQ(here.drive.size(), 2u);
    SetCurrentDirectoryA("C:\\");
    EXPECT_EQ(currentPath().full(), "C:\\");
}

TEST_F(Startup, BareNameIsTakenFromTheCurrentDirectory) {
    ScratchDir dir("bare");
    writeFile(dir.file("a.JPG"), "x");
    SetCurrentDirectoryA(dir.path().c_str());
    auto st = settleStartFile("a.JPG");
    ASSERT_TRUE(st);
    EXPECT_EQ(st->cFile, lower(dir.path()) + "\\a.jpg");
    EXPECT_EQ(st->cDir, lower(dir.path()));
    EXPECT_FALSE(st->aFiles);
    EXPECT_TRUE(g_notices.empty());
}

TEST_F(Startup, MissingFileIsToldAndEnds) {
    ScratchDir dir("miss");
    const std::string path = dir.file("Nope.PNG");
    EXPECT_FALSE(settleStartFile(path));
    ASSERT_EQ(g_notices.size(), 1u);
    EXPECT_EQ(g_notices[0].first, "File not found: " + lower(path) + ".");
    EXPECT_EQ(g_notices[0].second, "ZELM Vistoro");

    // A folder named without its trailing backslash is no file either.
    g_notices.clear();
    EXPECT_FALSE(settleStartFile(dir.path()));
    EXPECT_EQ(g_notices.size(), 1u);
}

TEST_F(Startup, FolderArgumentStartsOnItsFirstEntry) {
    ScratchDir dir("fold");
    writeFile(dir.file("b.png"), "x");
    writeFile(dir.file("a.gif"), "x");
    writeFile(dir.file("readme.txt"), "x");
    auto st = settleStartFile(dir.path() + "\\");
    ASSERT_TRUE(st);
    ASSERT_TRUE(st->aFiles);
    ASSERT_EQ(st->aFiles->size(), 2u);
    EXPECT_EQ(st->cFile, st->aFiles->front());
    EXPECT_EQ(st->nIdx, 1);
    EXPECT_EQ(st->cDir, lower(dir.path()));
    EXPECT_TRUE(g_notices.empty());
}

TEST_F(Startup, FolderWithoutImagesIsToldAndEnds) {
    ScratchDir dir("empty");
    writeFile(dir.file("readme.txt"), "x");
    EXPECT_FALSE(settleStartFile(dir.path() + "\\"));
    ASSERT_EQ(g_notices.size(), 1u);
    EXPECT_EQ(g_notices[0].first, "No image file found.");
}

TEST_F(Startup, NonAsciiNameIsFoundAfterLowerCasing) {
    ScratchDir dir("uni");
    writeFile(dir.file("T\xC5\x8Cky\xC5\x8C.JPG"), "x"); // TŌkyŌ.JPG
    auto st = settleStartFile(dir.file("T\xC5\x8Cky\xC5\x8C.JPG"));
    ASSERT_TRUE(st);
    EXPECT_EQ(st->cFile, lower(dir.path()) + "\\t\xC5\x8Dky\xC5\x8D.jpg");
    EXPECT_TRUE(g_notices.empty());
}
