#include "imaging/decode.h"

#include "imaging/decode_probe.h"
#include "imaging/file_buffer.h"
#include "imaging/gdiplus_session.h"
#include "imaging/gdiplus_holders.h"
#include "imaging/metafile.h"
#include "imaging/pixel_format.h"
#include "util/text.h"

#include <cstring>
#include <unordered_set>

namespace vistoro {

namespace {

constexpr Gdiplus::ARGB kHandleBackground = 0xFF000000; // opaque black

// Image objects handed out and not yet released: GDIP_DELETEIMAGE touches
// nothing else.
std::unordered_set<GdipImage *> &outstandingImages() {
    static std::unordered_set<GdipImage *> images;
    return images;
}

// Records the time since the last lap into one step of the probe, when set.
class StepClock {
  public:
    StepClock() noexcept : sink_(detail::decodeTimings()) {
        if (sink_) {
            *sink_ = {};
            ::QueryPerformanceFrequency(&frequency_);
            ::QueryPerformanceCounter(&last_);
        }
    }
    void lap(double DecodeTimings::*step) noexcept {
        if (!sink_)
            return;
        LARGE_INTEGER now;
        ::QueryPerformanceCounter(&now);
        sink_->*step = 1000.0 * static_cast<double>(now.QuadPart - last_.QuadPart) /
                       static_cast<double>(frequency_.QuadPart);
        last_ = now;
    }

  private:
    DecodeTimings *sink_;
    LARGE_INTEGER frequency_{}, last_{};
};

// 32-bit RGB: every pixel word copied unchanged, its fourth byte becoming
// alpha. Row by row through each lock's own stride, which may differ from
// the other's or run bottom-up.
bool copyPixelWords(Gdiplus::GpBitmap *source, Gdiplus::GpBitmap *target, UINT width,
                    UINT height, Gdiplus::PixelFormat targetFormat) {
    BitsLock from(source, width, height, Gdiplus::ImageLockModeRead, PixelFormat32bppRGB);
    BitsLock to(target, width, height, Gdiplus::ImageLockModeWrite, targetFormat);
    if (!from || !to)
        return false;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    for (UINT y = 0; y < height; ++y)
        std::memcpy(to.row(y), from.row(y), rowBytes);
    return true;
}

// Any other format: the service converts while drawing at 1:1.
bool drawInto(Gdiplus::GpBitmap *source, Gdiplus::GpBitmap *target, UINT width, UINT height) {
    UniqueGpGraphics graphics;
    if (gp::GdipGetImageGraphicsContext(target, graphics.put()) != Gdiplus::Ok) {
        graphics.release();
        return false;
    }
    return gp::GdipDrawImageRectI(graphics.get(), source, 0, 0, static_cast<INT>(width),
                                  static_cast<INT>(height)) == Gdiplus::Ok;
}

// Decodes the stream and normalises the picture's pixel format.
UniqueGpBitmap decodeAndNormalise(IStream *stream, bool forcePremultiplied, StepClock &clock) {
    UniqueGpBitmap source;
    if (gp::GdipCreateBitmapFromStream(stream, source.put()) != Gdiplus::Ok) {
        source.release();
        // This decoder may refuse metafiles that others take as bitmaps.
        source = bitmapFromMetafile(stream);
    }
    clock.lap(&DecodeTimings::decodeMs);
    if (!source)
        return {};

    UINT width = 0, height = 0;
    Gdiplus::PixelFormat format = 0;
    if (gp::GdipGetImageWidth(source.get(), &width) != Gdiplus::Ok)
        width = 0;
    if (gp::GdipGetImageHeight(source.get(), &height) != Gdiplus::Ok)
        height = 0;
    if (gp::GdipGetImagePixelFormat(source.get(), &format) != Gdiplus::Ok)
        format = 0;
    const auto targetFormat = normalisedPixelFormat(format, forcePremultiplied);
    if (!targetFormat)
        return {};

    UniqueGpBitmap target;
    if (detail::faultAt(DecodeFault::makeTarget) ||
        gp::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0,
                                      static_cast<Gdiplus::PixelFormat>(*targetFormat), nullptr,
                                      target.put()) != Gdiplus::Ok) {
        target.release();
        return {};
    }
    // A picture that could not be filled in is no result: the caller would
    // show an empty image as if it were the file's.
    const bool filled = copiesPixelWords(format)
                            ? copyPixelWords(source.get(), target.get(), width, height,
                                             static_cast<Gdiplus::PixelFormat>(*targetFormat))
                            : drawInto(source.get(), target.get(), width, height);
    source.reset();
    clock.lap(&DecodeTimings::normaliseMs);
    if (!filled)
        return {};
    return target;
}

} // namespace

ImageFromFileResult GDIP_IMAGEFROMFILE(std::string_view cFile, const ImageFromFileOptions &options) {
    // Outside the service's span nothing is decoded, whether or not the
    // platform's implementation would answer.
    if (!gdiplusRunning())
        return {};
    StepClock clock;
    UniqueGpBitmap image;
    {
        UniqueStream stream = streamOverFile(widen(cFile));
        clock.lap(&DecodeTimings::readMs);
        if (stream)
            image = decodeAndNormalise(stream.get(), options.lForcePremultiplied, clock);
    } // the stream's release frees the memory block

    if (!options.lMakeHandle) {
        if (image)
            outstandingImages().insert(image.get());
        return {.oImage = image.release()};
    }
    HBITMAP handle = nullptr;
    if (image && (detail::faultAt(DecodeFault::makeHandle) ||
                  gp::GdipCreateHBITMAPFromBitmap(image.get(), &handle, kHandleBackground) !=
                      Gdiplus::Ok))
        handle = nullptr;
    image.reset();
    clock.lap(&DecodeTimings::handleMs);
    return {.hBitmap = handle};
}

void GDIP_DELETEIMAGE(GdipImage *oImage) noexcept {
    if (!oImage || outstandingImages().erase(oImage) == 0)
        return;
    gp::GdipDisposeImage(oImage);
}

HBITMAP LOADIMG(std::string_view cFile) {
    if (::GetFileAttributesW(widen(cFile).c_str()) == INVALID_FILE_ATTRIBUTES)
        return nullptr;
    return GDIP_IMAGEFROMFILE(cFile, {.lMakeHandle = true, .lForcePremultiplied = true}).hBitmap;
}

} // namespace vistoro
