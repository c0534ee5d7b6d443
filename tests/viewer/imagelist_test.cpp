#include "viewer/imagelist.h"

#include "support/test_support.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace vistoro;
using testsupport::ScratchDir;
using testsupport::writeFile;

namespace {

// The names of a folder in the order the file system lists them.
std::vector<std::string> listingOrder(const std::string &dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

} // namespace

TEST(ImageExtension, FirstThreeLettersDecide) {
    for (const char *yes : {"a.bmp", "A.JPG", "x.jpeg", "b.tiff", "e.pegasus", "c:\\p\\q.Png",
                            "f.emf", "g.wmf", "h.ico", "i.gif", "j.jpe", "k.tif ", " l.gif",
                            "c:m.png", "d:\\album.png\\"})
        EXPECT_TRUE(isImageFile(yes)) << yes;
    for (const char *no : {"c.bm", "d.", "f.gif.txt", "noext", ".", "..", "c:\\dir.png\\x",
                           "a.jp", "a.pn g", "a.txt", ""})
        EXPECT_FALSE(isImageFile(no)) << no;
}

TEST(FindRecord, ReadsTheMatchAndKeepsItWhenNoneFollows) {
    FindRecord r = OWIN32FINDDATA();
    EXPECT_EQ(r.cFileName(), "");
    EXPECT_EQ(r.nFileSizeL(), 0);

    ScratchDir dir("rec");
    writeFile(dir.file("  spaced name.png"), "12345");
    HANDLE h = FINDFIRSTFILE(dir.file("*.png"), r);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(r.nFileSizeL(), 5);
    EXPECT_EQ(r.nFileSizeH(), 0);
    EXPECT_FALSE(r.nFileAttr() & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(r.cFileName(), "spaced name.png");
    EXPECT_FALSE(FINDNEXTFILE(h, r));
    EXPECT_TRUE(FINDCLOSE(h));
    EXPECT_EQ(FINDFIRSTFILE(dir.file("*.nothing"), r), INVALID_HANDLE_VALUE);
    EXPECT_EQ(r.cFileName(), "spaced name.png");
}

TEST(ImageList, ListsImagesInListingOrderWithoutAttributeFilter) {
    ScratchDir dir("list");
    for (const char *n : {"a.JPEG", "b.tiff", "c.bm", "d.", "e.pegasus", "f.gif.txt",
                          "my photo.jpg"})
        writeFile(dir.file(n), "x");
    CreateDirectoryA(dir.file("album.png").c_str(), nullptr);

    std::vector<std::string> expected;
    for (const std::string &n : listingOrder(dir.path()))
        if (isImageFile(n)) {
            std::string lower = n;
            for (char &c : lower)
                c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
            expected.push_back(dir.path() + "\\" + lower);
        }
    ASSERT_EQ(expected.size(), 5u);

    EXPECT_EQ(AFILE(dir.path()), expected);
    EXPECT_EQ(AFILE(dir.path() + "\\"), expected);
    EXPECT_TRUE(AFILE(dir.file("missing")).empty());
    EXPECT_TRUE(ANAMES(dir.file("*.nothing")).empty());
}

TEST(ImageList, NonAsciiNamesAreListedAndOpenAgain) {
    ScratchDir dir("uni");
    const std::string name = "\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE.png"; // Фото.png
    writeFile(dir.file(name), "x");
    const ImageList list = AFILE(dir.path());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0], dir.path() + "\\\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE.png");
    // The lower-case name still opens.
    EXPECT_NE(GetFileAttributesA(list[0].c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(ImageList, LocatePrefersTheEqualEntry) {
    const ImageList list{"c:\\p\\img.tiff", "c:\\p\\img.tif", "c:\\p\\a.jpg2"};
    EXPECT_EQ(locateInList(list, "c:\\p\\img.tif"), 2);
    EXPECT_EQ(locateInList(list, "c:\\p\\a.jpg"), 3); // only a longer entry begins with it
    EXPECT_EQ(locateInList(list, "c:\\p\\img.tiff"), 1);
    EXPECT_EQ(locateInList(list, "c:\\p\\zzz.png"), 0);
    EXPECT_EQ(locateInList({}, "c:\\p\\a.jpg"), 0);
}
