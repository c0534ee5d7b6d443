#include "base/text.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace vistoro;

TEST(Text, RunsWithTheUtf8CodePage) { EXPECT_EQ(GetACP(), 65001u); }

TEST(Text, TrimRemovesOnlyOuterBlanks) {
    EXPECT_EQ(trim("  my photo.jpg  "), "my photo.jpg");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(trim(std::string("a\0 ", 3)), std::string("a\0", 2));
}

TEST(Text, Utf8SequenceRecognition) {
    EXPECT_EQ(utf8SequenceAt("\xC5\x8D", 0), 2u);         // ō
    EXPECT_EQ(utf8SequenceAt("\xE2\x82\xAC", 0), 3u);     // €
    EXPECT_EQ(utf8SequenceAt("\xF0\x9F\x93\xB7", 0), 4u); // camera
    EXPECT_EQ(utf8SequenceAt("\x85", 0), 0u);             // stray DOS byte
    EXPECT_EQ(utf8SequenceAt("\xC5", 0), 0u);             // cut short
    EXPECT_EQ(utf8SequenceAt("\xC0\xAF", 0), 0u);         // overlong
    EXPECT_EQ(utf8SequenceAt("\xED\xA0\x80", 0), 0u);     // surrogate
    EXPECT_TRUE(isWellFormedUtf8("T\xC5\x8Dky\xC5\x8D"));
    EXPECT_FALSE(isWellFormedUtf8("caff\x8A"));
}

TEST(Text, CaseMappingKeepsMultiByteTextWhole) {
    EXPECT_EQ(lowerText("C:\\WORK\\A.JPG"), "c:\\work\\a.jpg");
    EXPECT_EQ(lowerText("T\xC5\x8Cky\xC5\x8C.JPG"), "t\xC5\x8Dky\xC5\x8D.jpg"); // TŌkyŌ
    EXPECT_EQ(lowerText("\xD0\xA4\xD0\x9E\xD0\xA2\xD0\x9E.PNG"),
              "\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE.png"); // ФОТО -> фото
    EXPECT_EQ(upperText("jpg"), "JPG");
    // A stray byte is no character of UTF-8: it stays as it is.
    EXPECT_EQ(lowerText("A\x85Z"), "a\x85z");
}

TEST(Text, CharacterCountsNeverSplitASequence) {
    const std::string s = "\xC5\x8D\xC5\x8D\xC5\x8Dx"; // ōōōx
    EXPECT_EQ(charCount(s), 4u);
    EXPECT_EQ(leftChars(s, 2), "\xC5\x8D\xC5\x8D");
    EXPECT_EQ(leftChars(s, 10), s);
    EXPECT_EQ(leftChars("abc", 0), "");
}

TEST(Text, WideningFollowsTheUtf8Rule) {
    EXPECT_EQ(widen("T\xC5\x8Dky\xC5\x8D"), L"T\u014Dky\u014D");
    EXPECT_EQ(widen("plain"), L"plain");
    EXPECT_EQ(narrowUtf8(L"\u0424"), "\xD0\xA4");
    EXPECT_EQ(widen(""), L"");
}

// NTFS takes any sequence of UTF-16 units as a name, lone surrogates
// included: such a name must come back whole, stay apart from its
// neighbours, keep its case mapping and count as characters.
TEST(Text, NamesThatAreNotValidUtf16RoundTrip) {
    const std::wstring names[] = {
        std::wstring(L"a") + wchar_t(0xD800) + L"b.png",          // a high half alone
        std::wstring(L"a") + wchar_t(0xDC00) + L"b.png",          // a low half alone
        std::wstring(L"a") + wchar_t(0xDC00) + wchar_t(0xD800),   // halves the wrong way round
        std::wstring(L"x") + wchar_t(0xD83D) + wchar_t(0xDCF7),   // a real pair: one character
        std::wstring(1, wchar_t(0xDBFF)),                         // nothing but a half
    };
    for (const std::wstring &w : names) {
        const std::string kept = narrowUtf8(w);
        EXPECT_EQ(widen(kept), w);
        EXPECT_EQ(widen(lowerText(kept)), widen(narrowUtf8(w))) << "the case mapping altered it";
    }
    // Two names that differ only in their lone half stay two names.
    EXPECT_NE(narrowUtf8(names[0]), narrowUtf8(std::wstring(L"a") + wchar_t(0xD801) + L"b.png"));
    // A lone half is one character: a cut never splits it.
    const std::string lone = narrowUtf8(std::wstring(1, wchar_t(0xD800)) + L"x");
    EXPECT_EQ(charCount(lone), 2u);
    EXPECT_EQ(leftChars(lone, 1), lone.substr(0, 3));
    EXPECT_EQ(lowerText("\xED\xA0\x80Q"), "\xED\xA0\x80q");
    // The pair of a character beyond the basic plane is its usual four bytes.
    EXPECT_EQ(narrowUtf8(names[3]), "x\xF0\x9F\x93\xB7");
}
