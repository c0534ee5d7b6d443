#include "imaging/jpeg_eighth.h"

#include "imaging/byte_order.h"
#include "imaging/exif.h"
#include "imaging/jpeg_huffman.h"
#include "imaging/jpeg_segments.h"
#include "imaging/orientation.h"
#include "imaging/picture_limits.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <memory>

namespace vistoro {
namespace {

using u64 = std::uint64_t;

// Markers, as ITU T.81 numbers them.
constexpr BYTE kBaseline = 0xC0, kExtended = 0xC1, kProgressive = 0xC2, kDefineHuffman = 0xC4,
               kArithmeticConditioning = 0xCC, kFirstRestart = 0xD0, kLastRestart = 0xD7,
               kStartOfImage = 0xD8, kEndOfImage = 0xD9, kStartOfScan = 0xDA,
               kDefineQuantisation = 0xDB, kDefineRestart = 0xDD, kFirstApplication = 0xE0,
               kAdobe = 0xEE, kLastExtension = 0xFD, kComment = 0xFE;

// The largest DC difference category of 8-bit samples, and the largest
// point transform that leaves bits of them.
constexpr int kMostDcCategory = 11, kMostPointTransform = 13;

bool isRestart(BYTE marker) noexcept {
    return marker >= kFirstRestart && marker <= kLastRestart;
}

long ceilDiv(long a, long b) noexcept {
    return (a + b - 1) / b;
}

struct Component {
    int id = 0, h = 1, v = 1, quantTable = 0;
    long blocksWide = 0, blocksHigh = 0; // of its own samples, which a lone scan covers
    long planeWide = 0;                  // padded to whole MCUs, which interleaved scans cover
    std::vector<std::int16_t> dc;        // planeWide x the padded height, row by row
    int quantDc = 0; // the table's DC step, taken when the first scan of the component starts
    // The point transform of the DC bits delivered so far: -1 before the
    // first scan, 0 once they are complete.
    int pointTransform = -1;
};

struct Frame {
    bool progressive = false;
    long width = 0, height = 0;
    int hMax = 1, vMax = 1;
    long mcusWide = 0, mcusHigh = 0;
    std::vector<Component> components;

    bool complete() const noexcept {
        return std::all_of(components.begin(), components.end(),
                           [](const Component &c) { return c.pointTransform == 0; });
    }
};

struct Segment {
    BYTE marker;
    const BYTE *body;
    std::size_t length; // of the body
};

// A component of the scan being read, with its tables and its DC predictor.
struct ScanComponent {
    Component *c = nullptr;
    const HuffmanTable *dc = nullptr, *ac = nullptr;
    int predictor = 0;
};

// The next marker at or after `at` in entropy-coded data: where the 0xFF
// before its code stands. Stuffed bytes and fill bytes are passed over, and
// restart markers as well when asked; `end` when no marker follows.
const BYTE *nextMarker(const BYTE *at, const BYTE *end, bool passRestarts) noexcept {
    while (at < end) {
        const auto *ff =
            static_cast<const BYTE *>(std::memchr(at, 0xFF, static_cast<std::size_t>(end - at)));
        if (!ff)
            return end;
        const BYTE *code = ff + 1;
        while (code < end && *code == 0xFF)
            ++code;
        if (code == end)
            return end;
        if (*code != 0 && !(passRestarts && isRestart(*code)))
            return code - 1;
        at = code + 1;
    }
    return end;
}

// A DC difference of `category` bits, which follow its code.
int difference(ScanBits &bits, int category) noexcept {
    if (category == 0)
        return 0;
    bits.fill(category);
    const int raw = static_cast<int>(bits.peek(category));
    bits.drop(category);
    return raw < (1 << (category - 1)) ? raw - (1 << category) + 1 : raw;
}

// The component's next DC value, or its first bits in a progressive scan:
// the difference coded for the block, added to the one before.
bool nextDc(ScanBits &bits, ScanComponent &sc) noexcept {
    const int category = sc.dc->decode(bits);
    if (category < 0 || category > kMostDcCategory)
        return false;
    sc.predictor = static_cast<std::int16_t>(sc.predictor + difference(bits, category));
    return true;
}

// Reads a scan's blocks in the order they are coded, through readBlock(the
// scan's component, the block's DC value). An interleaved scan codes whole
// MCUs; a lone component's scan codes only the blocks its samples fill.
template <class ReadBlock>
bool readBlocks(ScanBits &bits, std::vector<ScanComponent> &scan, const Frame &frame,
                unsigned restartInterval, const BYTE *end, ReadBlock &&readBlock) {
    const bool interleaved = scan.size() > 1;
    const long unitsWide = interleaved ? frame.mcusWide : scan[0].c->blocksWide;
    const long unitsHigh = interleaved ? frame.mcusHigh : scan[0].c->blocksHigh;
    unsigned sinceRestart = 0, restartNumber = 0;
    for (long uy = 0; uy < unitsHigh; ++uy)
        for (long ux = 0; ux < unitsWide; ++ux) {
            if (restartInterval != 0 && sinceRestart == restartInterval) {
                // The bits left before the marker are padding; the predictors start again.
                const BYTE *marker = nextMarker(bits.position(), end, false);
                if (end - marker < 2 || marker[1] != kFirstRestart + restartNumber)
                    return false;
                bits.restartAt(marker + 2);
                for (ScanComponent &s : scan)
                    s.predictor = 0;
                sinceRestart = 0;
                restartNumber = (restartNumber + 1) % 8;
            }
            for (ScanComponent &s : scan) {
                const Component &c = *s.c;
                const int h = interleaved ? c.h : 1, v = interleaved ? c.v : 1;
                for (int by = 0; by < v; ++by) {
                    std::int16_t *row = s.c->dc.data() +
                                        static_cast<std::size_t>(uy * v + by) * c.planeWide +
                                        static_cast<std::size_t>(ux) * h;
                    for (int bx = 0; bx < h; ++bx)
                        if (!readBlock(s, row[bx]))
                            return false;
                }
            }
            if (bits.overran())
                return false;
            ++sinceRestart;
        }
    return true;
}

// A sample level in eighths (0 to 255 * 8) from a block's DC value: its
// average, level-shifted and clamped as the decoder clamps its samples.
int eighths(int dc, int quantDc) noexcept {
    const std::int64_t level = std::int64_t{dc} * quantDc + 1024;
    return static_cast<int>(std::clamp<std::int64_t>(level, 0, 255 * 8));
}

std::uint32_t channel(int fixed) noexcept { // eighths << 16 to a rounded 0 to 255
    return static_cast<std::uint32_t>(std::clamp((fixed + (1 << 18)) >> 19, 0, 255));
}

// JFIF YCbCr to RGB, in eighths with 16 fraction bits.
std::uint32_t fromYCbCr(int y, int cb, int cr) noexcept {
    cb -= 1024;
    cr -= 1024;
    const int base = y * 65536;
    return 0xFF000000u | channel(base + 91881 * cr) << 16 |
           channel(base - 22554 * cb - 46802 * cr) << 8 | channel(base + 116130 * cb);
}

std::uint32_t fromRgb(int r, int g, int b) noexcept {
    return 0xFF000000u | channel(r * 65536) << 16 | channel(g * 65536) << 8 | channel(b * 65536);
}

class EighthReader {
  public:
    EighthReader(const BYTE *data, std::size_t size) : data_(data), size_(size) {}

    std::optional<EighthPicture> read() {
        std::size_t pos = 2;
        while (!frame_ || !frame_->complete()) {
            if (size_ - pos < 2 || data_[pos] != 0xFF)
                return std::nullopt;
            const BYTE marker = data_[pos + 1];
            if (marker == 0xFF) { // fill byte
                ++pos;
                continue;
            }
            // The end before the DC values are complete, a second start,
            // and the reserved markers below the frame kinds.
            if (marker == kEndOfImage || marker == kStartOfImage || marker < kBaseline)
                return std::nullopt;
            if (isRestart(marker)) { // left over behind a scan's data
                pos += 2;
                continue;
            }
            if (size_ - pos < 4)
                return std::nullopt;
            const std::size_t length = be16(data_ + pos + 2);
            if (length < 2 || length > size_ - pos - 2)
                return std::nullopt;
            const Segment s{marker, data_ + pos + 4, length - 2};
            pos += 2 + length;
            if (!(marker == kStartOfScan ? readScan(s, pos) : readSegment(s)))
                return std::nullopt;
        }
        return picture();
    }

  private:
    bool readSegment(const Segment &s) {
        switch (s.marker) {
        case kBaseline:
        case kExtended:
        case kProgressive:
            return !frame_ && readFrame(s);
        case kDefineHuffman:
            return readHuffman(s);
        case kDefineQuantisation:
            return readQuantisation(s);
        case kDefineRestart:
            if (s.length != 2)
                return false;
            restartInterval_ = be16(s.body);
            return true;
        case kArithmeticConditioning: // meaningless to Huffman coding
            return true;
        case kAdobe:
            if (s.length >= 12 && std::memcmp(s.body, "Adobe", 5) == 0)
                adobeTransform_ = s.body[11];
            return true;
        default:
            // Application data, comments and extensions are passed over;
            // other frame kinds (lossless, hierarchical, arithmetic coding),
            // the line count that a frame of height 0 needs, and reserved
            // markers are refused.
            return (s.marker >= kFirstApplication && s.marker <= kLastExtension) ||
                   s.marker == kComment;
        }
    }

    bool readFrame(const Segment &s) {
        if (s.length < 6 || s.body[0] != 8)
            return false;
        Frame f;
        f.progressive = s.marker == kProgressive;
        f.height = be16(s.body + 1);
        f.width = be16(s.body + 3);
        const int count = s.body[5];
        if ((count != 1 && count != 3) || s.length != 6 + 3 * static_cast<std::size_t>(count) ||
            !pictureFits(static_cast<u64>(f.width), static_cast<u64>(f.height)))
            return false;
        for (int i = 0; i < count; ++i) {
            const BYTE *p = s.body + 6 + 3 * i;
            Component c;
            c.id = p[0];
            c.h = p[1] >> 4;
            c.v = p[1] & 15;
            c.quantTable = p[2];
            if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.quantTable > 3)
                return false;
            for (const Component &other : f.components)
                if (other.id == c.id)
                    return false;
            f.hMax = std::max(f.hMax, c.h);
            f.vMax = std::max(f.vMax, c.v);
            f.components.push_back(c);
        }
        f.mcusWide = ceilDiv(f.width, 8L * f.hMax);
        f.mcusHigh = ceilDiv(f.height, 8L * f.vMax);
        u64 blocks = 0;
        for (Component &c : f.components) {
            c.blocksWide = ceilDiv(ceilDiv(f.width * c.h, f.hMax), 8);
            c.blocksHigh = ceilDiv(ceilDiv(f.height * c.v, f.vMax), 8);
            blocks += static_cast<u64>(c.blocksWide) * static_cast<u64>(c.blocksHigh);
        }
        // Every block takes at least a bit of some scan: a frame that more
        // blocks than the data has bits is refused before its planes are
        // allocated.
        if (blocks > u64{8} * size_)
            return false;
        for (Component &c : f.components) {
            c.planeWide = f.mcusWide * c.h;
            c.dc.assign(static_cast<std::size_t>(c.planeWide) *
                            static_cast<std::size_t>(f.mcusHigh * c.v),
                        0);
        }
        frame_ = std::move(f);
        return true;
    }

    bool readQuantisation(const Segment &s) {
        for (std::size_t at = 0; at < s.length;) {
            const int precision = s.body[at] >> 4, id = s.body[at] & 15;
            const std::size_t bytes = 1 + 64 * static_cast<std::size_t>(precision + 1);
            if (precision > 1 || id > 3 || bytes > s.length - at)
                return false;
            const int step = precision ? be16(s.body + at + 1) : s.body[at + 1];
            if (step == 0)
                return false;
            quantDc_[id] = step;
            at += bytes;
        }
        return true;
    }

    // The tables are checked here and built when a scan uses them, so that
    // a file of many tables costs no more than its bytes.
    bool readHuffman(const Segment &s) {
        for (std::size_t at = 0; at < s.length;) {
            if (s.length - at < 17)
                return false;
            const int kind = s.body[at] >> 4, id = s.body[at] & 15;
            const BYTE *counts = s.body + at + 1;
            if (kind > 1 || id > 3 || !HuffmanTable::countsFit(counts))
                return false;
            const auto symbols = static_cast<std::size_t>(HuffmanTable::symbolCount(counts));
            if (symbols > s.length - at - 17)
                return false;
            (kind == 0 ? dcCodes_ : acCodes_)[static_cast<std::size_t>(id)] = counts;
            at += 17 + symbols;
        }
        return true;
    }

    // A table as the latest segment defined it (counts, then symbols); null
    // when none has.
    const HuffmanTable *built(int id, bool ac) {
        const BYTE *counts = (ac ? acCodes_ : dcCodes_)[static_cast<std::size_t>(id)];
        if (!counts)
            return nullptr;
        if (!tables_)
            tables_ = std::make_unique<HuffmanTable[]>(8);
        HuffmanTable &table = tables_[static_cast<std::size_t>(id + (ac ? 4 : 0))];
        return table.define(counts, counts + 16) ? &table : nullptr;
    }

    // Reads a scan whose header is `s` and whose data starts at pos, which
    // then moves to the marker behind the data.
    bool readScan(const Segment &s, std::size_t &pos) {
        if (!frame_ || s.length < 1)
            return false;
        const Frame &f = *frame_;
        const std::size_t count = s.body[0];
        if (count < 1 || count > f.components.size() || s.length != 4 + 2 * count)
            return false;
        const BYTE *tail = s.body + 1 + 2 * count;
        const int first = tail[0], last = tail[1], high = tail[2] >> 4, low = tail[2] & 15;
        const BYTE *end = data_ + size_;
        if (f.progressive && first != 0) {
            // AC values: not needed, passed over as fast as the bytes can be searched.
            if (last < first || last > 63 || count != 1)
                return false;
            pos = static_cast<std::size_t>(nextMarker(data_ + pos, end, true) - data_);
            return true;
        }
        const bool refining = f.progressive && high != 0;
        if (f.progressive &&
            (last != 0 || low > kMostPointTransform || (refining && low != high - 1)))
            return false;
        std::vector<ScanComponent> scan;
        if (!selectComponents(s, refining ? high : -1, scan))
            return false;

        ScanBits bits(data_ + pos, end);
        const auto sequential = [&bits](ScanComponent &sc, std::int16_t &dc) {
            if (!nextDc(bits, sc))
                return false;
            dc = static_cast<std::int16_t>(sc.predictor);
            return sc.ac->skipBlockAc(bits);
        };
        const auto firstBits = [&bits, low](ScanComponent &sc, std::int16_t &dc) {
            if (!nextDc(bits, sc))
                return false;
            dc = static_cast<std::int16_t>(sc.predictor * (1 << low));
            return true;
        };
        const auto nextBit = [&bits, low](ScanComponent &, std::int16_t &dc) {
            bits.fill(1);
            if (bits.peek(1))
                dc = static_cast<std::int16_t>(dc | 1 << low);
            bits.drop(1);
            return true;
        };
        const unsigned interval = restartInterval_;
        if (!(f.progressive ? refining ? readBlocks(bits, scan, f, interval, end, nextBit)
                                       : readBlocks(bits, scan, f, interval, end, firstBits)
                            : readBlocks(bits, scan, f, interval, end, sequential)))
            return false;
        for (ScanComponent &sc : scan)
            sc.c->pointTransform = f.progressive ? low : 0;
        pos = static_cast<std::size_t>(nextMarker(bits.position(), end, true) - data_);
        return true;
    }

    // The frame's components that the scan header names, in frame order, with
    // their tables; each must stand where the scan takes it up: at the
    // point transform of the scan before (a refinement), or not begun (-1).
    bool selectComponents(const Segment &s, int begunAt, std::vector<ScanComponent> &scan) {
        Frame &f = *frame_;
        const std::size_t count = s.body[0];
        int blocksPerMcu = 0;
        std::size_t nextIndex = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const int id = s.body[1 + 2 * i], dcTable = s.body[2 + 2 * i] >> 4,
                      acTable = s.body[2 + 2 * i] & 15;
            std::size_t index = nextIndex;
            while (index < f.components.size() && f.components[index].id != id)
                ++index;
            if (index == f.components.size() || dcTable > 3 || acTable > 3)
                return false;
            nextIndex = index + 1;
            ScanComponent sc;
            sc.c = &f.components[index];
            blocksPerMcu += sc.c->h * sc.c->v;
            if (sc.c->pointTransform != begunAt)
                return false;
            if (begunAt < 0) { // its first scan: the tables it is quantised and coded with
                sc.c->quantDc = quantDc_[static_cast<std::size_t>(sc.c->quantTable)];
                sc.dc = built(dcTable, false);
                sc.ac = f.progressive ? nullptr : built(acTable, true);
                if (sc.c->quantDc == 0 || !sc.dc || (!f.progressive && !sc.ac))
                    return false;
            }
            scan.push_back(sc);
        }
        return count == 1 || blocksPerMcu <= 10; // the most an MCU may hold
    }

    bool storedAsRgb() const {
        const std::vector<Component> &c = frame_->components;
        return adobeTransform_ == 0 || (c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B');
    }

    std::optional<EighthPicture> picture() const {
        const Frame &f = *frame_;
        const long w = ceilDiv(f.width, 8), h = ceilDiv(f.height, 8);
        // Each pixel takes the block of each component that covers its centre.
        std::array<std::vector<long>, 3> columns, rows;
        for (std::size_t i = 0; i < f.components.size(); ++i) {
            const Component &c = f.components[i];
            for (long x = 0; x < w; ++x)
                columns[i].push_back(std::min((8 * x + 4) * c.h / (8L * f.hMax), c.blocksWide - 1));
            for (long y = 0; y < h; ++y)
                rows[i].push_back(std::min((8 * y + 4) * c.v / (8L * f.vMax), c.blocksHigh - 1) *
                                  c.planeWide);
        }
        const bool grey = f.components.size() == 1, rgb = !grey && storedAsRgb();
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) *
                                          static_cast<std::size_t>(h));
        const auto level = [&](std::size_t i, long x, long y) {
            const Component &c = f.components[i];
            return eighths(c.dc[static_cast<std::size_t>(rows[i][static_cast<std::size_t>(y)] +
                                                         columns[i][static_cast<std::size_t>(x)])],
                           c.quantDc);
        };
        std::uint32_t *out = pixels.data();
        for (long y = 0; y < h; ++y)
            for (long x = 0; x < w; ++x) {
                const int a = level(0, x, y);
                *out++ = grey  ? fromRgb(a, a, a)
                         : rgb ? fromRgb(a, level(1, x, y), level(2, x, y))
                               : fromYCbCr(a, level(1, x, y), level(2, x, y));
            }

        EighthPicture result;
        const int orientation = readExif(data_, size_).orientation;
        const bool swapped = swapsAxes(orientation);
        result.width = swapped ? h : w;
        result.height = swapped ? w : h;
        result.photoWidth = static_cast<std::uint32_t>(swapped ? f.height : f.width);
        result.photoHeight = static_cast<std::uint32_t>(swapped ? f.width : f.height);
        if (orientation == 1) {
            result.pixels = std::move(pixels);
        } else {
            result.pixels.resize(pixels.size());
            orientPixels(pixels.data(), w, w, h, orientation, result.pixels.data(),
                         RowOrder::TopDown);
        }
        return result;
    }

    const BYTE *data_;
    std::size_t size_;
    std::optional<Frame> frame_;
    std::array<int, 4> quantDc_{}; // 0: not defined
    std::array<const BYTE *, 4> dcCodes_{}, acCodes_{};
    std::unique_ptr<HuffmanTable[]> tables_;
    unsigned restartInterval_ = 0;
    int adobeTransform_ = -1;
};

} // namespace

std::optional<EighthPicture> readJpegEighth(const BYTE *data, std::size_t size) noexcept {
    if (!data || !startsAsJpeg(data, size))
        return std::nullopt;
    try {
        return EighthReader(data, size).read();
    } catch (const std::exception &) { // memory ran out
        return std::nullopt;
    }
}

} // namespace vistoro
