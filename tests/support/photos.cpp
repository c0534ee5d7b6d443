#include "support/photos.h"

#include <algorithm>

namespace testsupport {
namespace {

constexpr std::uint16_t kShort = 3, kLong = 4;

class Writer {
  public:
    explicit Writer(bool big) : big_(big) {}
    void u16(std::uint32_t v) { put(v, 2); }
    void u32(std::uint32_t v) { put(v, 4); }
    void bytes(const std::string &b) { out_ += b; }
    // One directory entry whose single value sits in the entry itself.
    void entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        u16(tag);
        u16(type);
        u32(count);
        if (type == kShort && count == 1) {
            u16(value); // left-justified in the value field
            u16(0);
        } else {
            u32(value);
        }
    }
    void header(std::uint32_t firstDirectory) {
        bytes(big_ ? "MM" : "II");
        u16(42);
        u32(firstDirectory);
    }
    std::size_t size() const { return out_.size(); }
    std::string take() { return std::move(out_); }

  private:
    void put(std::uint32_t v, int width) {
        for (int k = 0; k < width; ++k) {
            const int shift = big_ ? 8 * (width - 1 - k) : 8 * k;
            out_ += static_cast<char>((v >> shift) & 0xFF);
        }
    }
    bool big_;
    std::string out_;
};

} // namespace

std::string exifTiff(const ExifBlock &exif) {
    Writer w(exif.bigEndian);
    w.header(8);
    const std::uint32_t entries = static_cast<std::uint32_t>(exif.otherTags) + (exif.orientation ? 1 : 0);
    const std::uint32_t ifd1 = 8 + 2 + entries * 12 + 4;
    w.u16(entries);
    // Tags in ascending order, as the format wants, all below the orientation's.
    for (int i = 0; i < exif.otherTags; ++i)
        w.entry(static_cast<std::uint16_t>(0x0002 + i), kShort, 1, static_cast<std::uint32_t>(i));
    if (exif.orientation)
        w.entry(0x0112, kShort, 1, static_cast<std::uint32_t>(exif.orientation));
    w.u32(exif.thumbnail.empty() ? 0 : ifd1);
    if (!exif.thumbnail.empty()) {
        const std::uint32_t thumbAt = ifd1 + 2 + 3 * 12 + 4;
        w.u16(3);
        w.entry(0x0103, kShort, 1, 6); // JPEG compression
        w.entry(0x0201, kLong, 1, thumbAt);
        w.entry(0x0202, kLong, 1, static_cast<std::uint32_t>(exif.thumbnail.size()));
        w.u32(0);
        w.bytes(exif.thumbnail);
    }
    return w.take();
}

std::string withExif(const std::string &jpeg, const ExifBlock &exif) {
    const std::string body = "Exif" + std::string(2, '\0') + exifTiff(exif);
    const std::size_t length = body.size() + 2;
    std::string segment = "\xFF\xE1";
    segment += static_cast<char>((length >> 8) & 0xFF);
    segment += static_cast<char>(length & 0xFF);
    return jpeg.substr(0, 2) + segment + body + jpeg.substr(2);
}

std::string rgbTiff(const Picture &p, int orientation, bool bigEndian) {
    Writer w(bigEndian);
    const std::uint32_t strip = static_cast<std::uint32_t>(p.width * p.height * 3);
    const std::uint32_t bitsAt = 8 + strip + (strip & 1);
    const std::uint32_t ifd = bitsAt + 6;
    w.header(ifd);
    std::string rgb;
    for (std::uint32_t c : p.px) {
        rgb += static_cast<char>((c >> 16) & 0xFF);
        rgb += static_cast<char>((c >> 8) & 0xFF);
        rgb += static_cast<char>(c & 0xFF);
    }
    w.bytes(rgb);
    if (strip & 1)
        w.bytes(std::string(1, '\0'));
    for (int i = 0; i < 3; ++i)
        w.u16(8);
    w.u16(orientation ? 11 : 10);
    w.entry(256, kLong, 1, static_cast<std::uint32_t>(p.width));
    w.entry(257, kLong, 1, static_cast<std::uint32_t>(p.height));
    w.entry(258, kShort, 3, bitsAt);
    w.entry(259, kShort, 1, 1); // no compression
    w.entry(262, kShort, 1, 2); // RGB
    w.entry(273, kLong, 1, 8);
    if (orientation)
        w.entry(274, kShort, 1, static_cast<std::uint32_t>(orientation));
    w.entry(277, kShort, 1, 3);
    w.entry(278, kLong, 1, static_cast<std::uint32_t>(p.height));
    w.entry(279, kLong, 1, strip);
    w.entry(284, kShort, 1, 1);
    w.u32(0);
    return w.take();
}

Picture storedFor(const Picture &u, int orientation) {
    const bool across = orientation >= 5 && orientation <= 8;
    Picture s{across ? u.height : u.width, across ? u.width : u.height, {}};
    const long W = s.width, H = s.height;
    for (long y = 0; y < H; ++y)
        for (long x = 0; x < W; ++x) {
            // Where the stored pixel stands once upright.
            long ux = x, uy = y;
            switch (orientation) {
            case 2: ux = W - 1 - x; break;
            case 3: ux = W - 1 - x; uy = H - 1 - y; break;
            case 4: uy = H - 1 - y; break;
            case 5: ux = y; uy = x; break;
            case 6: ux = H - 1 - y; uy = x; break;
            case 7: ux = H - 1 - y; uy = W - 1 - x; break;
            case 8: ux = y; uy = W - 1 - x; break;
            default: break;
            }
            s.px.push_back(u.at(ux, uy));
        }
    return s;
}

Picture quarters(long width, long height) {
    Picture p{width, height, {}};
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            p.px.push_back(bottom ? (right ? 0xFFFFFF00u : 0xFF0000FFu)
                                  : (right ? 0xFF00FF00u : 0xFFFF0000u));
        }
    return p;
}

} // namespace testsupport
