#include "imaging/decode.h"

#include "base/cancel.h"
#include "base/paths.h"
#include "base/sync.h"
#include "base/text.h"
#include "imaging/byte_stream.h"
#include "imaging/decode_probe.h"
#include "imaging/equivalent_bytes.h"
#include "imaging/exif.h"
#include "imaging/gdiplus_holders.h"
#include "imaging/gdiplus_session.h"
#include "imaging/header_check.h"
#include "imaging/metafile.h"
#include "imaging/metafile_check.h"
#include "imaging/orientation.h"
#include "imaging/picture_limits.h"
#include "imaging/pixel_format.h"
#include "imaging/premultiply.h"
#include "imaging/tiff_check.h"

#include <mutex>
#include <optional>
#include <unordered_set>

namespace vistoro {

namespace {

constexpr Gdiplus::ARGB kHandleBackground = 0xFF000000; // opaque black

// Image objects handed out and not yet released: GDIP_DELETEIMAGE touches
// nothing else. Decodes may run on several threads.
struct OutstandingImages {
    SlimLock lock;
    std::unordered_set<GdipImage *> images;
};
OutstandingImages &outstandingImages() {
    static OutstandingImages outstanding;
    return outstanding;
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

// Any other format: the service converts while drawing at 1:1.
bool drawInto(Gdiplus::GpBitmap *source, Gdiplus::GpBitmap *target, UINT width, UINT height) {
    UniqueGpGraphics graphics;
    if (!graphics.fill([&](auto *out) {
            return gp::GdipGetImageGraphicsContext(target, out) == Gdiplus::Ok;
        })) {
        return false;
    }
    return gp::GdipDrawImageRectI(graphics.get(), source, 0, 0, static_cast<INT>(width),
                                  static_cast<INT>(height)) == Gdiplus::Ok;
}

// A decoded picture before normalisation.
struct Decoded {
    UniqueGpBitmap source;
    UINT width = 0, height = 0;
    Gdiplus::PixelFormat format = 0, targetFormat = 0;
};

// What a caller asks of one decode beyond the file's bytes, and where it
// learns why nothing came.
struct DecodeRequest {
    ImageFromFileOptions options;
    std::optional<int> orientation;    // none: as the bytes say
    const LoadOptions *load = nullptr; // none: every size the program takes
    LoadVerdict *verdict = nullptr;    // set at the step that fails
};

void failed(const DecodeRequest &request, LoadVerdict why) noexcept {
    if (request.verdict)
        *request.verdict = cancelRequested() ? LoadVerdict::cancelled : why;
}

// The caller's say on a picture of this size.
bool admitted(const DecodeRequest &request, std::uint64_t width, std::uint64_t height,
              std::uint64_t fileBytes) {
    if (!request.load || !request.load->admit || request.load->admit(width, height, fileBytes))
        return true;
    failed(request, LoadVerdict::tooLarge);
    return false;
}

bool checksPass(const BYTE *data, std::size_t size) noexcept {
    return metafileRecordsHoldTogether(data, size) && tiffDirectoriesHoldTogether(data, size) &&
           declaredSizeFits(data, size) && jpegLayoutHolds(data, size);
}

// Decodes the stream over the bytes; empty when nothing decodes, or the
// format or the size is refused.
Decoded decode(IStream *stream, const std::shared_ptr<const ByteBlock> &bytes,
               const DecodeRequest &request, StepClock &clock) {
    Decoded d;
    Gdiplus::GpStatus status = Gdiplus::Ok;
    if (!d.source.fill([&](auto *out) {
            return (status = gp::GdipCreateBitmapFromStream(stream, out)) == Gdiplus::Ok;
        })) {
        // This decoder may refuse metafiles that others take as bitmaps.
        d.source = bitmapFromMetafile(bytes);
    }
    clock.lap(&DecodeTimings::decodeMs);
    if (!d.source) {
        // Memory running out says nothing of the bytes; any other refusal does.
        failed(request, status == Gdiplus::OutOfMemory ? LoadVerdict::transient
                                                       : LoadVerdict::refused);
        return {};
    }
    if (gp::GdipGetImageWidth(d.source.get(), &d.width) != Gdiplus::Ok)
        d.width = 0;
    if (gp::GdipGetImageHeight(d.source.get(), &d.height) != Gdiplus::Ok)
        d.height = 0;
    if (gp::GdipGetImagePixelFormat(d.source.get(), &d.format) != Gdiplus::Ok)
        d.format = 0;
    // Nothing is made for a picture whose 32-bit copy could not be counted
    // or held.
    if (!pictureFits(d.width, d.height)) {
        failed(request, LoadVerdict::refused);
        return {};
    }
    if (!admitted(request, d.width, d.height, bytes->size()))
        return {};
    const auto targetFormat = normalisedPixelFormat(d.format, request.options.lForcePremultiplied);
    if (!targetFormat) {
        failed(request, LoadVerdict::refused);
        return {};
    }
    d.targetFormat = static_cast<Gdiplus::PixelFormat>(*targetFormat);
    return d;
}

// Fills the target image: its locked rows written in place where the
// format allows, else drawn.
bool fillTarget(const Decoded &d, Gdiplus::GpBitmap *target) {
    if (d.targetFormat == PixelFormat32bppPARGB && fillsPremultiplied(d.format)) {
        BitsLock to(target, d.width, d.height, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB);
        if (to && fillPremultiplied(d.source.get(), d.width, d.height, d.format, to.row(0),
                                    to.stride())) {
            detail::noteRoute(copiesPixelWords(d.format) ? DecodeRoute::copyWords
                                                         : DecodeRoute::lockRows);
            return true;
        }
    }
    // 32-bit RGB must keep its fourth bytes, which a drawing would drop.
    if (copiesPixelWords(d.format))
        return false;
    detail::noteRoute(DecodeRoute::draw);
    return drawInto(d.source.get(), target, d.width, d.height);
}

// The target image in its format, the source released.
UniqueGpBitmap normalise(Decoded &d, StepClock &clock) {
    UniqueGpBitmap target;
    if (detail::faultAt(DecodeFault::makeTarget) || !target.fill([&](auto *out) {
            return gp::GdipCreateBitmapFromScan0(static_cast<INT>(d.width),
                                                 static_cast<INT>(d.height), 0, d.targetFormat,
                                                 nullptr, out) == Gdiplus::Ok;
        }))
        return {};
    // A picture that could not be filled in is no result: the caller would
    // show an empty image as if it were the file's.
    const bool filled = fillTarget(d, target.get());
    d.source.reset();
    clock.lap(&DecodeTimings::normaliseMs);
    if (!filled)
        return {};
    return target;
}

// The target image as the photo's orientation says it stands; empty when
// the service cannot turn it (a picture on its side is not the picture).
UniqueGpBitmap standUpright(UniqueGpBitmap image, int orientation) {
    if (image && !orientImage(image.get(), orientation))
        return {};
    return image;
}

// The bitmap handle. A premultiplied picture whose rows can be filled in
// place goes straight into the DIB section that becomes the handle: the
// same pixels as a target image converted over opaque black, without the
// target image and its copy. Anything else, and any failure of that way,
// goes through the target image.
HBITMAP makeHandle(Decoded &d, int orientation, StepClock &clock) {
    if (d.targetFormat == PixelFormat32bppPARGB && fillsPremultiplied(d.format)) {
        if (detail::faultAt(DecodeFault::makeTarget) || detail::faultAt(DecodeFault::makeHandle))
            return nullptr;
        UniqueBitmap section =
            premultipliedSection(d.source.get(), d.width, d.height, d.format, orientation);
        if (section) {
            detail::noteRoute(copiesPixelWords(d.format) ? DecodeRoute::copyWords
                                                         : DecodeRoute::lockRows);
            detail::noteDirectHandle();
            clock.lap(&DecodeTimings::normaliseMs);
            d.source.reset();
            clock.lap(&DecodeTimings::handleMs);
            return section.release();
        }
    }
    UniqueGpBitmap image = standUpright(normalise(d, clock), orientation);
    HBITMAP handle = nullptr;
    if (image &&
        (detail::faultAt(DecodeFault::makeHandle) ||
         gp::GdipCreateHBITMAPFromBitmap(image.get(), &handle, kHandleBackground) != Gdiplus::Ok))
        handle = nullptr;
    image.reset();
    clock.lap(&DecodeTimings::handleMs);
    return handle;
}

// Decodes the bytes of a picture. Metafile records and TIFF directories
// reach the platform's code only when they hold together, and any picture
// only when its declared size is one the program takes: that code trusts
// every offset, count, index and size in the file.
ImageFromFileResult imageFromBytes(std::shared_ptr<const ByteBlock> bytes,
                                   const DecodeRequest &request, StepClock &clock) {
    if (!bytes || !checksPass(bytes->data(), bytes->size())) {
        failed(request, LoadVerdict::refused);
        return {};
    }
    if (const auto declared = declaredPictureSize(bytes->data(), bytes->size());
        declared && !admitted(request, declared->width, declared->height, bytes->size()))
        return {};
    // Forms that some decoders refuse or fault on arrive in one they all
    // take; the bytes read are let go once replaced.
    bytes = equivalentBytes(std::move(bytes));
    if (!bytes) {
        failed(request, LoadVerdict::refused);
        return {};
    }
    // The stream outlives the source image: a decoder may read it lazily.
    UniqueStream stream = streamOver(bytes);
    clock.lap(&DecodeTimings::readMs);
    if (!stream) {
        failed(request, LoadVerdict::transient);
        return {};
    }
    Decoded decoded = decode(stream.get(), bytes, request, clock);
    if (!decoded.source)
        return {}; // the stream's release frees the memory block

    // Photos are handed out upright, before anything measures or draws them.
    const int orientation =
        request.orientation.value_or(readExif(bytes->data(), bytes->size()).orientation);
    // What fails from here on is the making of the picture's copies: memory.
    if (request.options.lMakeHandle) {
        HBITMAP handle = makeHandle(decoded, orientation, clock);
        if (!handle)
            failed(request, LoadVerdict::transient);
        return {.hBitmap = handle};
    }
    UniqueGpBitmap image = standUpright(normalise(decoded, clock), orientation);
    if (image) {
        OutstandingImages &outstanding = outstandingImages();
        const std::lock_guard<SlimLock> hold(outstanding.lock);
        outstanding.images.insert(image.get());
    } else {
        failed(request, LoadVerdict::transient);
    }
    return {.oImage = image.release()};
}

// Reads the file and decodes it, inside the service's span.
ImageFromFileResult imageFromFile(std::string_view cFile, const DecodeRequest &request,
                                  std::optional<FileStamp> *stamp = nullptr) {
    // Outside the service's span nothing is decoded, whether or not the
    // platform's implementation would answer.
    const GdiplusUse service;
    if (!service) {
        failed(request, LoadVerdict::transient);
        return {};
    }
    detail::noteDecodeBegun();
    StepClock clock;
    FileReading reading;
    reading.waitWhileHeldMs = request.load ? request.load->waitWhileHeldMs : 0;
    std::shared_ptr<const ByteBlock> bytes = ByteBlock::fromFile(widen(cFile), &reading);
    if (stamp)
        *stamp = reading.stamp;
    if (!bytes) {
        failed(request, reading.transient ? LoadVerdict::transient : LoadVerdict::refused);
        return {};
    }
    return imageFromBytes(std::move(bytes), request, clock);
}

constexpr ImageFromFileOptions kViewerDecode{.lMakeHandle = true, .lForcePremultiplied = true};

} // namespace

ImageFromFileResult GDIP_IMAGEFROMFILE(std::string_view cFile,
                                       const ImageFromFileOptions &options) {
    return imageFromFile(cFile, {.options = options});
}

void GDIP_DELETEIMAGE(GdipImage *oImage) noexcept {
    if (!oImage)
        return;
    {
        OutstandingImages &outstanding = outstandingImages();
        const std::lock_guard<SlimLock> hold(outstanding.lock);
        if (outstanding.images.erase(oImage) == 0)
            return;
    }
    gp::GdipDisposeImage(oImage);
}

HBITMAP LOADIMG(std::string_view cFile) {
    if (!fileExists(cFile))
        return nullptr;
    return GDIP_IMAGEFROMFILE(cFile, kViewerDecode).hBitmap;
}

LoadOutcome loadImage(std::string_view cFile, const LoadOptions &options) {
    LoadOutcome outcome;
    if (cancelRequested()) {
        outcome.verdict = LoadVerdict::cancelled;
        return outcome;
    }
    LoadVerdict verdict = LoadVerdict::refused;
    outcome.hBitmap =
        imageFromFile(cFile, {.options = kViewerDecode, .load = &options, .verdict = &verdict},
                      &outcome.stamp)
            .hBitmap;
    outcome.verdict = outcome.hBitmap ? LoadVerdict::decoded : verdict;
    return outcome;
}

bool passesDecodeChecks(const BYTE *data, std::size_t size) noexcept {
    return data && checksPass(data, size);
}

HBITMAP loadImageFromBytes(const void *data, std::size_t size, int orientation) {
    const GdiplusUse service;
    if (!service)
        return nullptr;
    detail::noteDecodeBegun();
    StepClock clock;
    return imageFromBytes(ByteBlock::fromBytes(data, size),
                          {.options = kViewerDecode, .orientation = orientation}, clock)
        .hBitmap;
}

} // namespace vistoro
