#include "imaging/gif_animation.h"

#include "imaging/byte_order.h"
#include "imaging/gif_frame_painter.h"
#include "imaging/gif_image_data.h"
#include "imaging/gif_palette.h"
#include "imaging/picture_limits.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace vistoro {

namespace {

constexpr BYTE kExtensionIntroducer = 0x21, kImageSeparator = 0x2C;
constexpr BYTE kGraphicControlLabel = 0xF9, kApplicationLabel = 0xFF;
constexpr std::size_t kScreenEnd = 13; // the signature and the logical screen descriptor
constexpr std::size_t kScreenPackedAt = 10;
constexpr std::size_t kDescriptorBytes = 10;
constexpr BYTE kTableFlag = 0x80, kInterlaceFlag = 0x40, kTableSizeBits = 0x07;
constexpr std::uint32_t kOpaqueBlack = 0xFF000000;

std::size_t tableColours(BYTE packed) noexcept {
    return packed & kTableFlag ? std::size_t{2} << (packed & kTableSizeBits) : 0;
}

enum class Disposal { keep, clear, restore };

// Methods 2 (back to the background, which browsers show transparent) and
// 3 (back to the canvas before the frame). Browsers read 4 as 3 too, since
// some writers set the third bit for it, and keep the frame for the rest.
Disposal disposalOf(int method) noexcept {
    return method == 2                  ? Disposal::clear
           : method == 3 || method == 4 ? Disposal::restore
                                        : Disposal::keep;
}

// Browsers play the delays of 0 and 1 hundredths, written by tools that
// meant "as fast as you can", at a tenth of a second.
int delayMsOf(int hundredths) noexcept {
    return hundredths <= 1 ? 100 : hundredths * 10;
}

// An image descriptor and the local table behind it.
struct ImageHeader {
    ScreenArea area; // as declared
    bool interlaced = false;
    std::size_t tableAt = 0, colours = 0; // no local table: 0 colours
    std::size_t dataAt = 0;               // the minimum code size byte
    std::size_t dataEnd = 0;              // known once the data has been read
};

// None when the bytes end before the table does.
std::optional<ImageHeader> imageHeaderAt(const BYTE *d, std::size_t size, std::size_t at) noexcept {
    if (at >= size || size - at < kDescriptorBytes)
        return std::nullopt;
    ImageHeader image;
    image.area = {le16(d + at + 1), le16(d + at + 3), le16(d + at + 5), le16(d + at + 7)};
    const BYTE packed = d[at + 9];
    image.interlaced = (packed & kInterlaceFlag) != 0;
    image.colours = tableColours(packed);
    image.tableAt = at + kDescriptorBytes;
    image.dataAt = image.tableAt + 3 * image.colours;
    if (image.dataAt > size)
        return std::nullopt;
    return image;
}

// Images whose descriptor and table are whole, counted up to `enough`.
int countImages(const BYTE *d, std::size_t size, std::size_t at, int enough) noexcept {
    int count = 0;
    while (at < size && count < enough) {
        if (d[at] == kExtensionIntroducer) {
            at = afterSubBlocks(d, size, at + 2);
            continue;
        }
        if (d[at] != kImageSeparator)
            break;
        const std::optional<ImageHeader> image = imageHeaderAt(d, size, at);
        if (!image)
            break;
        ++count;
        at = afterSubBlocks(d, size, image->dataAt + 1);
    }
    return count;
}

// The loop count of an application extension whose sub-blocks start at
// `at`: the NETSCAPE2.0 one, or its ANIMEXTS1.0 twin.
std::optional<int> loopCountIn(const BYTE *d, std::size_t size, std::size_t at) noexcept {
    constexpr std::size_t kIdBytes = 11;
    if (at >= size || d[at] != kIdBytes || size - at < 1 + kIdBytes)
        return std::nullopt;
    if (std::memcmp(d + at + 1, "NETSCAPE2.0", kIdBytes) != 0 &&
        std::memcmp(d + at + 1, "ANIMEXTS1.0", kIdBytes) != 0)
        return std::nullopt;
    const std::size_t sub = at + 1 + kIdBytes; // 3 bytes: 1, then the count
    if (sub >= size || size - sub < 4 || d[sub] < 3 || d[sub + 1] != 1)
        return std::nullopt;
    return le16(d + sub + 2);
}

} // namespace

struct GifAnimation::Playback {
    using Step = GifAnimation::Step;

    // What the graphic control extension before an image says of it.
    struct Control {
        int delayHundredths = 0;
        Disposal disposal = Disposal::keep;
        int transparentIndex = -1; // none
    };

    Playback(std::shared_ptr<const ByteBlock> held, long w, long h, std::size_t globalTable,
             std::size_t firstBlock)
        : bytes(std::move(held)), data(bytes->data()), size(bytes->size()), width(w), height(h),
          globalColours(globalTable), blocksAt(firstBlock), at(firstBlock),
          canvas(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)),
          transparentPixels(canvas.size()), colours(kMaxColourIndexes) {}

    Step advance();
    enum class Found { image, endOfPass, damaged };
    Found nextImage(ImageHeader &image);
    void readExtension() noexcept;
    void compose(const ImageHeader &image);
    void loadColours(const ImageHeader &image) noexcept;
    void dispose() noexcept;
    void clear(const ScreenArea &area) noexcept;
    // Row y of an area on the screen, from its left edge.
    std::uint32_t *rowOf(const ScreenArea &a, long y) noexcept {
        return canvas.data() +
               static_cast<std::size_t>(a.top + y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(a.left);
    }
    bool anotherPass() const noexcept;
    void startPass() noexcept;

    std::shared_ptr<const ByteBlock> bytes;
    const BYTE *data;
    std::size_t size;
    long width, height;
    std::size_t globalColours; // at kScreenEnd; none: 0
    std::size_t blocksAt, at;  // the first block, and the next one to read
    std::vector<std::uint32_t> canvas;
    std::uint64_t transparentPixels;

    Control control;              // for the next image
    std::optional<int> loopCount; // the first loop extension's
    std::uint32_t passesDone = 0;
    Step state = Step::frame; // while playing
    int delayMs = 0;

    // The last frame's disposal, made just before the next frame is drawn,
    // and the canvas under that frame when it asks to be restored.
    Disposal pendingDisposal = Disposal::keep;
    ScreenArea pendingArea;
    std::vector<std::uint32_t> underFrame;
    // All that was drawn since the canvas was last wholly transparent.
    ScreenArea drawn;

    std::vector<std::uint32_t> colours; // by colour index
    LzwDecoder decoder;
};

GifAnimation::Step GifAnimation::Playback::advance() {
    // A pass ends after the last image. At most one new pass starts in a
    // call, so no call runs through the file more than once.
    for (bool newPass = false;; newPass = true) {
        ImageHeader image;
        switch (nextImage(image)) {
        case Found::image:
            compose(image);
            return Step::frame;
        case Found::damaged:
            return Step::failed;
        case Found::endOfPass:
            break;
        }
        ++passesDone;
        if (newPass || !anotherPass())
            return Step::ended;
        startPass();
    }
}

// Reads up to the next image whose data decodes.
GifAnimation::Playback::Found GifAnimation::Playback::nextImage(ImageHeader &image) {
    while (at < size) {
        if (data[at] == kExtensionIntroducer) {
            readExtension();
            continue;
        }
        // The trailer, or bytes that start no block, end the pass.
        if (data[at] != kImageSeparator)
            break;
        const std::optional<ImageHeader> header = imageHeaderAt(data, size, at);
        if (!header)
            return Found::damaged;
        image = *header;
        IndexCounter counter(static_cast<std::uint64_t>(image.area.width) *
                             static_cast<std::uint64_t>(image.area.height));
        const ImageDataEnd end = decoder.decode(data, size, image.dataAt, counter);
        if (!end.decoded)
            return Found::damaged;
        image.dataEnd = end.next;
        return Found::image;
    }
    return Found::endOfPass;
}

void GifAnimation::Playback::readExtension() noexcept {
    const std::size_t blocks = at + 2;
    const BYTE label = at + 1 < size ? data[at + 1] : 0;
    if (label == kGraphicControlLabel && blocks < size && data[blocks] >= 4 && size - blocks > 4) {
        const BYTE packed = data[blocks + 1];
        control.delayHundredths = le16(data + blocks + 2);
        control.disposal = disposalOf((packed >> 2) & 0x07);
        control.transparentIndex = packed & 0x01 ? data[blocks + 4] : -1;
    } else if (label == kApplicationLabel && !loopCount) {
        loopCount = loopCountIn(data, size, blocks);
    }
    at = afterSubBlocks(data, size, blocks);
}

void GifAnimation::Playback::compose(const ImageHeader &image) {
    const ScreenArea area = onScreen(image.area, width, height);
    const auto pixelsOf = [](const ScreenArea &a) {
        return static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height);
    };
    // Memory comes first, so that running out leaves the last frame shown.
    std::vector<std::uint32_t> under;
    if (control.disposal == Disposal::restore && !area.empty())
        under.resize(pixelsOf(area));

    dispose();
    if (!under.empty())
        for (long y = 0; y < area.height; ++y)
            std::copy_n(rowOf(area, y), area.width, under.data() + y * area.width);
    underFrame = std::move(under);

    if (!area.empty()) {
        loadColours(image);
        FramePainter painter(image.area, image.interlaced, width, height, canvas.data(),
                             colours.data(), transparentPixels);
        decoder.decode(data, size, image.dataAt, painter);
    }
    drawn = united(drawn, area);
    pendingDisposal = control.disposal;
    pendingArea = area;
    delayMs = delayMsOf(control.delayHundredths);
    control = {};
    at = image.dataEnd;
}

void GifAnimation::Playback::loadColours(const ImageHeader &image) noexcept {
    std::fill(colours.begin(), colours.end(), kOpaqueBlack);
    const auto rgb = [](const BYTE *c) {
        return kOpaqueBlack | static_cast<std::uint32_t>(c[0]) << 16 |
               static_cast<std::uint32_t>(c[1]) << 8 | c[2];
    };
    if (image.colours || globalColours) {
        const BYTE *table = data + (image.colours ? image.tableAt : kScreenEnd);
        const std::size_t count = image.colours ? image.colours : globalColours;
        for (std::size_t i = 0; i < count; ++i)
            colours[i] = rgb(table + 3 * i);
    } else {
        // The table that the still decode is given for such files.
        for (std::size_t i = 0; i < 256; ++i) {
            const BYTE grey[3] = {defaultTableGrey(i), defaultTableGrey(i), defaultTableGrey(i)};
            colours[i] = rgb(grey);
        }
    }
    if (control.transparentIndex >= 0)
        colours[static_cast<std::size_t>(control.transparentIndex)] = 0;
}

void GifAnimation::Playback::dispose() noexcept {
    const ScreenArea &a = pendingArea;
    if (pendingDisposal == Disposal::clear) {
        clear(a);
    } else if (pendingDisposal == Disposal::restore && !underFrame.empty()) {
        const std::uint32_t *from = underFrame.data();
        for (long y = 0; y < a.height; ++y) {
            std::uint32_t *to = rowOf(a, y);
            for (long x = 0; x < a.width; ++x, ++from) {
                if ((to[x] == 0) != (*from == 0))
                    *from == 0 ? ++transparentPixels : --transparentPixels;
                to[x] = *from;
            }
        }
        underFrame = {};
    }
    pendingDisposal = Disposal::keep;
}

void GifAnimation::Playback::clear(const ScreenArea &a) noexcept {
    for (long y = 0; y < a.height; ++y) {
        std::uint32_t *row = rowOf(a, y);
        for (long x = 0; x < a.width; ++x)
            if (row[x] != 0) {
                row[x] = 0;
                ++transparentPixels;
            }
    }
}

// Without a loop extension the animation plays once; with one, a count of
// 0 plays it for ever and N plays it N + 1 times in all.
bool GifAnimation::Playback::anotherPass() const noexcept {
    if (!loopCount)
        return false;
    return *loopCount == 0 || passesDone < static_cast<std::uint32_t>(*loopCount) + 1;
}

void GifAnimation::Playback::startPass() noexcept {
    clear(drawn);
    drawn = {};
    pendingDisposal = Disposal::keep;
    underFrame = {};
    control = {};
    at = blocksAt;
}

std::unique_ptr<GifAnimation> GifAnimation::open(std::shared_ptr<const ByteBlock> bytes) {
    if (!bytes)
        return nullptr;
    const BYTE *d = bytes->data();
    const std::size_t size = bytes->size();
    if (size < kScreenEnd || (std::memcmp(d, "GIF87a", 6) != 0 && std::memcmp(d, "GIF89a", 6) != 0))
        return nullptr;
    const long width = le16(d + 6), height = le16(d + 8);
    if (!pictureFits(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)))
        return nullptr;
    const std::size_t globalColours = tableColours(d[kScreenPackedAt]);
    const std::size_t blocksAt = kScreenEnd + 3 * globalColours;
    if (blocksAt > size || countImages(d, size, blocksAt, 2) < 2)
        return nullptr;
    try {
        return std::unique_ptr<GifAnimation>(new GifAnimation(
            std::make_unique<Playback>(std::move(bytes), width, height, globalColours, blocksAt)));
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

GifAnimation::GifAnimation(std::unique_ptr<Playback> playback) noexcept
    : playback_(std::move(playback)) {}

GifAnimation::~GifAnimation() = default;

long GifAnimation::width() const noexcept {
    return playback_->width;
}
long GifAnimation::height() const noexcept {
    return playback_->height;
}
const std::uint32_t *GifAnimation::canvas() const noexcept {
    return playback_->canvas.data();
}
int GifAnimation::delayMs() const noexcept {
    return playback_->delayMs;
}
bool GifAnimation::everyPixelOpaque() const noexcept {
    return playback_->transparentPixels == 0;
}

GifAnimation::Step GifAnimation::next() {
    Playback &p = *playback_;
    if (p.state != Step::frame)
        return p.state;
    try {
        p.state = p.advance();
    } catch (const std::bad_alloc &) {
        p.state = Step::failed;
    }
    return p.state;
}

} // namespace vistoro
