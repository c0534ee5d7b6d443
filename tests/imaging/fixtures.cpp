#include "fixtures.h"

#include "imaging/dib_info.h"
#include "support/encoders.h"
#include "support/test_support.h"

#include <objidl.h>

#include <gdiplus.h>

#include <cstdlib>
#include <cstring>

namespace gp = Gdiplus::DllExports;

namespace imgtest {

namespace {

void put16(std::string &s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string &s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
void put32be(std::string &s, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        s += static_cast<char>((v >> shift) & 0xFF);
}

std::uint32_t crc32(const std::string &data) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

void pngChunk(std::string &out, const char *type, const std::string &body) {
    put32be(out, static_cast<std::uint32_t>(body.size()));
    std::string typed = std::string(type, 4) + body;
    out += typed;
    put32be(out, crc32(typed));
}

using testsupport::encoderFor;

void fillHalves(HDC dc, int width, int height) {
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT left{0, 0, width / 2, height}, right{width / 2, 0, width, height};
    FillRect(dc, &left, red);
    FillRect(dc, &right, blue);
    DeleteObject(red);
    DeleteObject(blue);
}

} // namespace

std::string fixturesDir() {
#ifdef IMAGING_FIXTURES
    return testsupport::hostPath(IMAGING_FIXTURES);
#else
    return {};
#endif
}
std::string fixture(const std::string &name) { return fixturesDir() + "\\" + name; }

namespace {
// The file and info headers of a 32-bit bottom-up BMP whose rows take
// dataBytes (fileBytes counts the headers too).
std::string bmp32Header(std::int32_t width, std::int32_t height, std::uint32_t fileBytes,
                        std::uint32_t dataBytes, std::uint32_t pixelsPerMetre) {
    std::string s = "BM";
    put32(s, fileBytes);
    put32(s, 0);
    put32(s, 54);
    put32(s, 40);
    put32(s, static_cast<std::uint32_t>(width));
    put32(s, static_cast<std::uint32_t>(height));
    put16(s, 1);
    put16(s, 32);
    put32(s, BI_RGB);
    put32(s, dataBytes);
    put32(s, pixelsPerMetre);
    put32(s, pixelsPerMetre);
    put32(s, 0);
    put32(s, 0);
    return s;
}
} // namespace

std::string bmp32Bytes(int width, int height, const Pixels &pixels) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(width * height * 4);
    std::string s = bmp32Header(width, height, 54 + dataBytes, dataBytes, 2835);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
            put32(s, pixels[static_cast<std::size_t>(y * width + x)]);
    return s;
}

bool saveEncoded(const std::string &path, const wchar_t *mime, int width, int height,
                 const Pixels &pixels) {
    Pixels copy = pixels;
    return saveRows(path, mime, width, height, width * 4, PixelFormat32bppARGB,
                    reinterpret_cast<BYTE *>(copy.data()));
}

bool saveRows(const std::string &path, const wchar_t *mime, int width, int height, int stride,
              int format, BYTE *rows) {
    CLSID clsid;
    if (!encoderFor(mime, clsid))
        return false;
    Gdiplus::GpBitmap *bitmap = nullptr;
    if (gp::GdipCreateBitmapFromScan0(width, height, stride, format, rows, &bitmap) != Gdiplus::Ok)
        return false;
    std::wstring wide(path.begin(), path.end());
    const bool saved = gp::GdipSaveImageToFile(bitmap, wide.c_str(), &clsid, nullptr) == Gdiplus::Ok;
    gp::GdipDisposeImage(bitmap);
    return saved;
}

std::string emfBytes(int width, int height, const std::wstring &description) {
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr,
                                description.empty() ? nullptr : description.c_str());
    fillHalves(dc, width, height);
    HENHMETAFILE emf = CloseEnhMetaFile(dc);
    std::string bytes(GetEnhMetaFileBits(emf, 0, nullptr), '\0');
    GetEnhMetaFileBits(emf, static_cast<UINT>(bytes.size()), reinterpret_cast<BYTE *>(bytes.data()));
    DeleteEnhMetaFile(emf);
    return bytes;
}

std::string wmfBytes(int width, int height, bool withExtent) {
    HDC dc = CreateMetaFileW(nullptr);
    if (withExtent) {
        SetMapMode(dc, MM_ANISOTROPIC);
        SetWindowOrgEx(dc, 0, 0, nullptr);
        SetWindowExtEx(dc, width, height, nullptr);
    }
    fillHalves(dc, width, height);
    HMETAFILE wmf = CloseMetaFile(dc);
    std::string bytes(GetMetaFileBitsEx(wmf, 0, nullptr), '\0');
    GetMetaFileBitsEx(wmf, static_cast<UINT>(bytes.size()), bytes.data());
    DeleteMetaFile(wmf);
    return bytes;
}

std::string placeable(const std::string &wmf, int width, int height) {
    std::string h;
    put32(h, 0x9AC6CDD7);
    put16(h, 0);
    put16(h, 0);
    put16(h, 0);
    put16(h, static_cast<std::uint32_t>(width));
    put16(h, static_cast<std::uint32_t>(height));
    put16(h, 96);
    put32(h, 0);
    std::uint16_t sum = 0;
    for (std::size_t i = 0; i < h.size(); i += 2)
        sum ^= static_cast<std::uint16_t>(static_cast<unsigned char>(h[i]) |
                                          static_cast<unsigned char>(h[i + 1]) << 8);
    put16(h, sum);
    return h + wmf;
}

std::string pngHeaderOnly(std::uint32_t width, std::uint32_t height) {
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string ihdr;
    put32be(ihdr, width);
    put32be(ihdr, height);
    ihdr += std::string("\x08\x06\x00\x00\x00", 5); // 8-bit RGBA
    pngChunk(png, "IHDR", ihdr);
    pngChunk(png, "IDAT", std::string("\x78\x9c\x63\x60\x00\x00", 6));
    return png;
}

std::string bmpHeaderOnly(std::int32_t width, std::int32_t height) {
    return bmp32Header(width, height, 54 + 16, 0, 0) + std::string(16, '\x7f');
}

std::string gifHeaderOnly(std::uint16_t width, std::uint16_t height) {
    std::string s = "GIF89a";
    put16(s, width);
    put16(s, height);
    s += std::string("\x80\x00\x00", 3);                 // two-colour global table
    s += std::string("\x00\x00\x00\xff\xff\xff", 6);     // black, white
    s += ',';                                            // image descriptor
    put16(s, 0);
    put16(s, 0);
    put16(s, width);
    put16(s, height);
    s += std::string("\x00\x02\x02\x44\x01\x00", 6);     // a few bytes of data
    return s;                                            // no trailer
}

std::string bitFieldBmp(int width, int height, int bitCount, std::uint32_t headerBytes,
                        std::uint32_t compression, BitFields masks,
                        const std::vector<std::uint32_t> &values) {
    const int rows = height < 0 ? -height : height;
    const std::uint32_t stride = (static_cast<std::uint32_t>(width * bitCount) + 31) / 32 * 4;
    const std::uint32_t maskBytes = headerBytes > 40 ? 0 : compression == 6 ? 16 : 12;
    const std::uint32_t offBits = 14 + headerBytes + maskBytes;
    std::string s = "BM";
    put32(s, offBits + stride * static_cast<std::uint32_t>(rows));
    put32(s, 0);
    put32(s, offBits);
    put32(s, headerBytes);
    put32(s, static_cast<std::uint32_t>(width));
    put32(s, static_cast<std::uint32_t>(height));
    put16(s, 1);
    put16(s, static_cast<std::uint32_t>(bitCount));
    put32(s, compression);
    put32(s, stride * static_cast<std::uint32_t>(rows));
    for (int k = 0; k < 4; ++k)
        put32(s, 0); // resolution, colours used and important
    put32(s, masks.red);
    put32(s, masks.green);
    put32(s, masks.blue);
    if (headerBytes >= 56 || compression == 6)
        put32(s, masks.alpha);
    if (headerBytes >= 108) {
        s.resize(14 + 56);
        put32(s, 0x73524742); // 'sRGB' colour space
    }
    s.resize(offBits);
    for (int r = 0; r < rows; ++r) {
        const int y = height < 0 ? r : rows - 1 - r;
        std::string row;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = values[static_cast<std::size_t>(y * width + x)];
            if (bitCount == 16)
                put16(row, v);
            else
                put32(row, v);
        }
        row.resize(stride);
        s += row;
    }
    return s;
}

std::string gifWithoutColourTable() {
    std::string s = "GIF89a";
    put16(s, 2);
    put16(s, 1);
    s += std::string("\x00\x00\x00", 3); // no global table
    s += ',';
    put16(s, 0);
    put16(s, 0);
    put16(s, 2);
    put16(s, 1);
    s += '\0'; // no local table either
    // Codes of 3 bits: clear, 0, 1, end.
    s += std::string("\x02\x02\x44\x0A\x00", 5);
    s += ';';
    return s;
}

std::string withJpegSize(std::string jpeg, std::uint16_t width, std::uint16_t height) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i)
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF &&
            (static_cast<unsigned char>(jpeg[i + 1]) & 0xF0) == 0xC0 &&
            static_cast<unsigned char>(jpeg[i + 1]) != 0xC4 &&
            static_cast<unsigned char>(jpeg[i + 1]) != 0xC8 &&
            static_cast<unsigned char>(jpeg[i + 1]) != 0xCC) {
            jpeg[i + 5] = static_cast<char>(height >> 8);
            jpeg[i + 6] = static_cast<char>(height & 0xFF);
            jpeg[i + 7] = static_cast<char>(width >> 8);
            jpeg[i + 8] = static_cast<char>(width & 0xFF);
            return jpeg;
        }
    return {};
}

Pixels handlePixels(HBITMAP bitmap, int &width, int &height) {
    BITMAP bm{};
    width = height = 0;
    if (GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm)
        return {};
    width = bm.bmWidth;
    height = bm.bmHeight;
    BITMAPINFO info = vistoro::rgb32Info(width, height, vistoro::RowOrder::TopDown);
    Pixels out(static_cast<std::size_t>(width * height));
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), out.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return out;
}

Pixels imagePixels(Gdiplus::GpBitmap *image, int format, int &width, int &height) {
    UINT w = 0, h = 0;
    gp::GdipGetImageWidth(image, &w);
    gp::GdipGetImageHeight(image, &h);
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    Gdiplus::GpRect whole(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (gp::GdipBitmapLockBits(image, &whole, Gdiplus::ImageLockModeRead,
                               static_cast<Gdiplus::PixelFormat>(format), &data) != Gdiplus::Ok)
        return {};
    Pixels out(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y)
        std::memcpy(&out[static_cast<std::size_t>(y * width)],
                    static_cast<BYTE *>(data.Scan0) + y * data.Stride,
                    static_cast<std::size_t>(width) * 4);
    gp::GdipBitmapUnlockBits(image, &data);
    return out;
}

int imageFormat(Gdiplus::GpBitmap *image) {
    Gdiplus::PixelFormat format = 0;
    gp::GdipGetImagePixelFormat(image, &format);
    return static_cast<int>(format);
}

static HBITMAP makeDib(int width, int height, int bitCount, void **bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

Canvas::Canvas(int width, int height, std::uint32_t fill) : width_(width), height_(height) {
    void *bits = nullptr;
    bitmap_ = makeDib(width, height, 32, &bits);
    bits_ = static_cast<std::uint32_t *>(bits);
    for (int i = 0; i < width * height; ++i)
        bits_[i] = fill;
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
}

std::uint32_t Canvas::rgb(int x, int y) const {
    GdiFlush();
    return bits_[y * width_ + x] & 0xFFFFFF;
}

HBITMAP dibFilled(int width, int height, int bitCount, BYTE byte) {
    void *bits = nullptr;
    HBITMAP bitmap = makeDib(width, height, bitCount, &bits);
    const int stride = ((width * bitCount + 31) & ~31) / 8;
    std::memset(bits, byte, static_cast<std::size_t>(stride * height));
    return bitmap;
}

HBITMAP dib32(int width, int height, const Pixels &pixels) {
    void *bits = nullptr;
    HBITMAP bitmap = makeDib(width, height, 32, &bits);
    std::memcpy(bits, pixels.data(), pixels.size() * 4);
    return bitmap;
}

bool similar(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance)
            return false;
    }
    return true;
}

} // namespace imgtest
