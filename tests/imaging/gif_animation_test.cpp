// The frames of moving GIFs: composition, disposal, delays, loops, frames
// past the screen, interlaced rows, the code table, damaged frames, and the
// first frame against the still decode.
#include "fixtures.h"

#include "imaging/byte_stream.h"
#include "imaging/decode.h"
#include "imaging/gif_animation.h"
#include "imaging/paint.h"
#include "support/gif_writer.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vistoro;
using testsupport::animatedGif;
using testsupport::gifCodeData;
using testsupport::GifTestFrame;
using Step = GifAnimation::Step;

namespace {

const auto *const environment = testing::AddGlobalTestEnvironment(new imgtest::GdiplusEnvironment);

// Pictures are written as rows of letters, '|' between rows. A letter's
// place in kLetters is its colour index; '.' is the transparent one.
const std::string kLetters = "RGBYWKM.";
const std::vector<std::uint32_t> kPalette = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                                             0xFFFFFF, 0x000000, 0xFF00FF, 0x808080};

GifTestFrame frame(int left, int top, const std::string &rows, int disposal = 0, int delay = 0) {
    GifTestFrame f;
    f.left = left;
    f.top = top;
    f.width = static_cast<int>(rows.find('|') == std::string::npos ? rows.size() : rows.find('|'));
    for (char c : rows)
        if (c == '|')
            ++f.height;
        else
            f.indexes.push_back(static_cast<std::uint8_t>(kLetters.find(c)));
    ++f.height;
    f.disposal = disposal;
    f.delay = delay;
    if (rows.find('.') != std::string::npos)
        f.transparent = 7;
    return f;
}

std::unique_ptr<GifAnimation> openBytes(const std::string &bytes) {
    return GifAnimation::open(ByteBlock::fromBytes(bytes.data(), bytes.size()));
}

std::unique_ptr<GifAnimation> openFrames(int screenW, int screenH,
                                         const std::vector<GifTestFrame> &frames,
                                         std::optional<int> loopCount = std::nullopt) {
    return openBytes(animatedGif(screenW, screenH, frames, loopCount, kPalette));
}

// The canvas in letters; '?' for a colour that has none.
std::string shown(const GifAnimation &a) {
    std::string s;
    for (long y = 0; y < a.height(); ++y) {
        if (y > 0)
            s += '|';
        for (long x = 0; x < a.width(); ++x) {
            const std::uint32_t c = a.canvas()[y * a.width() + x];
            const auto at = std::find(kPalette.begin(), kPalette.end(), c & 0xFFFFFF);
            s += c == 0                                    ? '.'
                 : c >> 24 != 0xFF || at == kPalette.end() ? '?'
                                                           : kLetters[at - kPalette.begin()];
        }
    }
    return s;
}

// next(), checking that the cheap answer about transparency tells the truth.
Step step(GifAnimation &a) {
    const Step s = a.next();
    const std::uint32_t *c = a.canvas();
    EXPECT_EQ(a.everyPixelOpaque(),
              std::none_of(c, c + a.width() * a.height(), [](std::uint32_t p) { return p == 0; }));
    return s;
}

// Steps through up to `limit` frames; the letters of each canvas shown.
std::vector<std::string> play(GifAnimation &a, int limit = 50) {
    std::vector<std::string> canvases;
    for (int i = 0; i < limit && step(a) == Step::frame; ++i)
        canvases.push_back(shown(a));
    return canvases;
}

} // namespace

TEST(GifAnimation, OpensOnlyGifsOfTwoOrMoreImagesOnAScreenTheProgramTakes) {
    const std::string two = animatedGif(3, 2, {frame(0, 0, "RG"), frame(1, 1, "B")}, {}, kPalette);
    const auto a = openBytes(two);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->width(), 3);
    EXPECT_EQ(a->height(), 2);
    EXPECT_EQ(shown(*a), "...|..."); // nothing composed yet

    EXPECT_EQ(openBytes(animatedGif(3, 2, {frame(0, 0, "RG")}, 0, kPalette)), nullptr);
    EXPECT_EQ(GifAnimation::open(nullptr), nullptr);
    EXPECT_EQ(openBytes(two.substr(0, 12)), nullptr);
    std::string notGif = two;
    notGif[3] = '9';
    EXPECT_EQ(openBytes(notGif), nullptr);
    // The second image's descriptor cut short: it starts after the first
    // frame's file, less its trailer, and the control extension.
    const std::size_t second = animatedGif(3, 2, {frame(0, 0, "RG")}, {}, kPalette).size() - 1 + 8;
    EXPECT_EQ(openBytes(two.substr(0, second + 6)), nullptr);
    EXPECT_NE(openBytes(two.substr(0, second + 12)), nullptr);
    // A screen of no pixels, or more than the program takes.
    for (int side : {0, 65535}) {
        std::string screen = two;
        screen[6] = screen[8] = static_cast<char>(side & 0xFF);
        screen[7] = screen[9] = static_cast<char>(side >> 8);
        EXPECT_EQ(openBytes(screen), nullptr) << side;
    }
}

TEST(GifAnimation, EachDisposalAndTheTransparentIndex) {
    auto a = openFrames(4, 3,
                        {frame(0, 0, "RRRR|RRRR|RRRR", 1),
                         frame(1, 0, "BB|B.", 2), // cleared before the next
                         frame(0, 1, "GG|GG", 3), // restored before the next
                         frame(3, 2, "Y", 0), frame(0, 0, "WWWW|WWWW|WWWW")});
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(play(*a),
              (std::vector<std::string>{"RRRR|RRRR|RRRR", "RBBR|RBRR|RRRR", "R..R|GG.R|GGRR",
                                        "R..R|R..R|RRRY", "WWWW|WWWW|WWWW"}));
    EXPECT_EQ(step(*a), Step::ended);
    EXPECT_EQ(shown(*a), "WWWW|WWWW|WWWW");

    // Restoring the first frame leaves the canvas as it started; browsers
    // read method 4 as 3. The undefined rest keep the frame.
    for (int disposal : {3, 4, 5, 7}) {
        a = openFrames(2, 1, {frame(0, 0, "RR", disposal), frame(1, 0, ".")});
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(play(*a), (std::vector<std::string>{"RR", disposal <= 4 ? ".." : "RR"}))
            << disposal;
    }
}

TEST(GifAnimation, DelaysOfNoneAndOneHundredthPlayAsATenth) {
    std::vector<GifTestFrame> frames;
    for (int delay : {0, 1, 2, 7, 65535})
        frames.push_back(frame(0, 0, "R", 0, delay));
    auto a = openFrames(1, 1, frames);
    ASSERT_NE(a, nullptr);
    std::vector<int> delays;
    while (step(*a) == Step::frame)
        delays.push_back(a->delayMs());
    EXPECT_EQ(delays, (std::vector<int>{100, 100, 20, 70, 655350}));
}

TEST(GifAnimation, LoopsAsTheLoopExtensionSaysEachFromAClearCanvas) {
    const std::vector<GifTestFrame> frames = {frame(0, 0, "R."), frame(1, 0, "B")};
    struct Case {
        std::optional<int> loopCount;
        bool otherName;
        std::size_t frames;
    };
    for (const Case &c :
         {Case{std::nullopt, false, 2}, Case{2, false, 6}, Case{2, true, 6}, Case{0, false, 50}}) {
        std::string bytes = animatedGif(2, 1, frames, c.loopCount, kPalette);
        if (c.otherName)
            bytes.replace(bytes.find("NETSCAPE2.0"), 11, "ANIMEXTS1.0");
        auto a = openBytes(bytes);
        ASSERT_NE(a, nullptr);
        const std::vector<std::string> canvases = play(*a);
        ASSERT_EQ(canvases.size(), c.frames) << c.loopCount.value_or(-1);
        for (std::size_t i = 0; i < canvases.size(); ++i)
            EXPECT_EQ(canvases[i], i % 2 ? "RB" : "R.") << i;
        if (c.frames < 50) {
            EXPECT_EQ(step(*a), Step::ended);
            EXPECT_EQ(shown(*a), "RB");
        }
    }
}

TEST(GifAnimation, ExtensionsItDoesNotReadAreSkippedWhole) {
    const std::string plain = animatedGif(2, 1, {frame(0, 0, "RG", 0, 5), frame(1, 0, "B", 0, 9)},
                                          std::nullopt, kPalette);
    // A comment whose text looks like blocks, an application extension of
    // another name, and a control extension one byte longer than usual.
    const std::string others = std::string("\x21\xFE\x04,;\x21\xF9\x00", 8) +
                               std::string("\x21\xFF\x0B"
                                           "NETSCAPE2.1\x03\x01\x05\x00\x00",
                                           19) +
                               std::string("\x21\xF9\x05\x00\x03\x00\x00\x00\x00", 9);
    const std::size_t second =
        animatedGif(2, 1, {frame(0, 0, "RG")}, std::nullopt, kPalette).size() - 1;
    std::string bytes = plain;
    bytes.insert(second, others);
    auto a = openBytes(bytes);
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(step(*a), Step::frame);
    EXPECT_EQ(shown(*a), "RG");
    EXPECT_EQ(a->delayMs(), 50);
    ASSERT_EQ(step(*a), Step::frame);
    EXPECT_EQ(shown(*a), "RB");
    EXPECT_EQ(a->delayMs(), 90);      // the frame's own control extension comes last
    EXPECT_EQ(step(*a), Step::ended); // the other application's count is not a loop count
}

TEST(GifAnimation, FramesPastTheScreenAreCutToIt) {
    for (bool interlaced : {false, true}) {
        GifTestFrame past = frame(2, 1, "RGBYW|GBYWR|BYWRG|YWRGB");
        past.interlaced = interlaced;
        GifTestFrame beyond = frame(4, 0, "RR|RR");
        beyond.left = 100;
        auto a = openFrames(4, 3, {frame(0, 0, "KKKK|KKKK|KKKK"), past, beyond});
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(play(*a),
                  (std::vector<std::string>{"KKKK|KKKK|KKKK", "KKKK|KKRG|KKGB", "KKKK|KKRG|KKGB"}))
            << interlaced;
    }
    // Strings that run on from row to row, in and out of the screen: "01"
    // from the end of a row off the screen into the next row's start on
    // it; and, interlaced, "000" over three stored rows of which only the
    // middle one is on the screen.
    GifTestFrame across = frame(1, 0, "RRR|RRR|RRR|RRR");
    across.data = gifCodeData(2, {4, 0, 1, 6, 7, 8, 9, 5});
    auto a = openFrames(2, 4, {frame(0, 0, "KK|KK|KK|KK"), across});
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(play(*a), (std::vector<std::string>{"KK|KK|KK|KK", "KR|KG|KR|KG"}));
    GifTestFrame tall = frame(0, 0, "R|R|R|R|R|R|R|R|R|R|R|R|R|R|R|R");
    tall.interlaced = true;
    tall.data = gifCodeData(2, {4, 0, 6, 7, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 5});
    a = openFrames(1, 3, {frame(0, 0, "K|K|K"), tall});
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(play(*a), (std::vector<std::string>{"K|K|K", "R|G|R"}));

    // A frame as large as the format allows, whose data ends after a few
    // pixels: those are drawn, the rest of it is left as it was, and none
    // of it costs more than the screen.
    GifTestFrame vast = frame(0, 0, "BGR");
    vast.width = vast.height = 65535;
    a = openFrames(3, 2, {frame(0, 0, "YYY|YYY"), vast});
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(play(*a), (std::vector<std::string>{"YYY|YYY", "BGR|YYY"}));
}

TEST(GifAnimation, InterlacedRowsLandWhereTheyBelong) {
    // Every height up to two whole groups of eight rows, on a screen that
    // shows the whole frame and on one that cuts its last rows.
    for (int h = 1; h <= 17; ++h)
        for (int cut : {0, 3}) {
            std::string rows, expected;
            for (int y = 0; y < h; ++y) {
                const char c = kLetters[static_cast<std::size_t>(y % 7)];
                rows += std::string(y ? "|" : "") + c + c;
                if (y < h - cut)
                    expected += std::string(y ? "|" : "") + c + c;
            }
            if (h - cut < 1)
                continue;
            GifTestFrame f = frame(0, 0, rows);
            f.interlaced = true;
            auto a = openFrames(2, h - cut, {f, f});
            ASSERT_NE(a, nullptr);
            ASSERT_EQ(step(*a), Step::frame);
            EXPECT_EQ(shown(*a), expected) << h << " rows, " << cut << " cut";
        }
}

TEST(GifAnimation, CodesThatSpellRunsAndATableThatFills) {
    // A colour, then twice the entry being made (the string before plus
    // its own first colour), a colour, and an entry made earlier: runs of
    // one, two and three, and a string of four. The codes grow to four
    // bits on the way.
    GifTestFrame runs = frame(0, 0, "RRRRRRRRRRR");
    runs.data = gifCodeData(2, {4, 1, 6, 7, 2, 8, 5});
    auto a = openFrames(11, 1, {runs, runs}, std::nullopt);
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(step(*a), Step::frame);
    EXPECT_EQ(shown(*a), "GGGGGGBGGGB");

    // Far more colours than the table holds: once full it stays so and the
    // codes stay twelve bits wide, until a clear or to the end.
    std::string rows;
    for (int i = 0; i < 80 * 64; ++i)
        rows += std::string(i && i % 80 == 0 ? "|" : "") +
                kLetters[static_cast<std::size_t>(i * 5 % 7)];
    for (bool clearWhenFull : {true, false}) {
        GifTestFrame many = frame(0, 0, rows);
        many.data = testsupport::gifImageData(many.indexes, 3, clearWhenFull);
        a = openFrames(80, 64, {many, many});
        ASSERT_NE(a, nullptr);
        ASSERT_EQ(step(*a), Step::frame);
        EXPECT_EQ(shown(*a), rows) << clearWhenFull;
    }
}

TEST(GifAnimation, ADamagedFrameEndsPlaybackOnTheLastGoodFrame) {
    const GifTestFrame first = frame(0, 0, "RRRR|RRRR", 1);
    GifTestFrame second = frame(0, 0, "BB|BB", 2), third = frame(2, 0, "GG|GG");
    const auto expectEnd = [](const std::string &bytes, const std::vector<std::string> &good,
                              const char *what) {
        auto a = openBytes(bytes);
        ASSERT_NE(a, nullptr) << what;
        EXPECT_EQ(play(*a), good) << what;
        EXPECT_EQ(step(*a), Step::failed) << what;
        EXPECT_EQ(shown(*a), good.back()) << what;
    };
    const std::vector<std::string> twoGood = {"RRRR|RRRR", "BBRR|BBRR"};

    // The file cut inside the third frame's data, and inside its descriptor:
    // the second frame's disposal is never made.
    const std::string whole = animatedGif(4, 2, {first, second, third}, 0, kPalette);
    const std::size_t thirdAt = animatedGif(4, 2, {first, second}, 0, kPalette).size() - 1;
    expectEnd(whole.substr(0, whole.size() - 4), twoGood, "data cut");
    expectEnd(whole.substr(0, thirdAt + 8 + 5), twoGood, "descriptor cut");

    struct Damage {
        const char *what;
        std::string data;
    };
    for (const Damage &d : {Damage{"a code past the table", gifCodeData(2, {4, 0, 7})},
                            Damage{"an entry code after a clear", gifCodeData(2, {4, 6})},
                            Damage{"code size 12", std::string("\x0C\x01\x00\x00", 4)},
                            Damage{"code size 1", gifCodeData(1, {2, 0, 1, 3})},
                            Damage{"code size 0", std::string("\x00\x01\x00\x00", 4)}}) {
        third.data = d.data;
        expectEnd(animatedGif(4, 2, {first, second, third}, 0, kPalette), twoGood, d.what);
        // The first frame stays when the second fails, even in a loop.
        second.data = d.data;
        expectEnd(animatedGif(4, 2, {first, second, third}, 0, kPalette), {"RRRR|RRRR"}, d.what);
        second.data.reset();
    }
}

// Only for a first image that covers the screen: for a smaller one, the
// still decode here gives that image alone, at its own size.
TEST(GifAnimation, TheFirstFrameLooksAsTheStillDecodeShowsIt) {
    testsupport::ScratchDir dir("gif");
    GifTestFrame interlaced = frame(0, 0, "RGBYW|GBYWR|BYWRK|YWRKM|WRKMR|RKMRG");
    interlaced.interlaced = true;
    interlaced.palette = {0x123456, 0xFEDCBA, 0x00FF80, 0x8000FF, 0x0A0B0C, 0xF0F0F0, 0x7F7F7F};
    GifTestFrame bare = frame(0, 0, "RGBY|KMWR");
    bare.indexes[3] = 200; // a grey of the default table
    struct Case {
        const char *name;
        std::string bytes;
    };
    for (const Case &c :
         {Case{"transparent",
               animatedGif(5, 2, {frame(0, 0, "RG.BY|.KMWR"), frame(1, 1, "B")}, 0, kPalette)},
          Case{"interlaced", animatedGif(5, 6, {interlaced, frame(1, 1, "B")}, 0, kPalette)},
          Case{"no table", animatedGif(4, 2, {bare, bare}, std::nullopt)},
          Case{"written elsewhere", testsupport::readFile(imgtest::fixture("form-frames.gif"))}}) {
        const std::string path = dir.file(std::string(c.name) + ".gif");
        testsupport::writeFile(path, c.bytes);
        HBITMAP still = LOADIMG(path);
        ASSERT_NE(still, nullptr) << c.name;
        int w = 0, h = 0;
        const imgtest::Pixels expected = imgtest::handlePixels(still, w, h);
        DELETEOBJECT(still);

        auto a = openBytes(c.bytes);
        ASSERT_NE(a, nullptr) << c.name;
        ASSERT_EQ(step(*a), Step::frame) << c.name;
        ASSERT_EQ(a->width(), w) << c.name;
        ASSERT_EQ(a->height(), h) << c.name;
        EXPECT_EQ(imgtest::Pixels(a->canvas(), a->canvas() + w * h), expected) << c.name;
    }
}
