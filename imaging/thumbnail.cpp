#include "imaging/thumbnail.h"

#include "base/handles.h"
#include "base/text.h"
#include "imaging/decode.h"
#include "imaging/exif.h"
#include "imaging/jpeg_segments.h"
#include "imaging/orientation.h"
#include "imaging/picture_limits.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace vistoro {
namespace {

// Cameras embed 160 x 120; a "thumbnail" of more than this is no thumbnail
// and is not decoded for one.
constexpr std::uint64_t kMostThumbnailPixels = 1024 * 1024;

// The file's first bytes, for the EXIF block, and a window of the file
// that moves along for the walk to the photo's picture data: segments such
// as a camera's previews, or runs of fill bytes, may lie between it and the
// EXIF block. Every read is served from one of the two, refilled a window
// at a time, so a walk costs reads in proportion to the bytes it passes.
class HeadOfFile {
  public:
    explicit HeadOfFile(std::string_view cFile)
        : file_(::CreateFileW(widen(cFile).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
        LARGE_INTEGER size{};
        if (!file_ || !::GetFileSizeEx(file_.get(), &size))
            return;
        size_ = static_cast<std::uint64_t>(size.QuadPart);
        head_ = fill(0);
    }
    const BYTE *data() const noexcept { return head_.data(); }
    std::size_t size() const noexcept { return head_.size(); }
    std::uint64_t fileSize() const noexcept { return size_; }

    bool operator()(std::uint64_t at, BYTE *out, std::size_t n) {
        if (MemoryReader{head_.data(), head_.size()}(at, out, n))
            return true;
        if (at < windowAt_ || at - windowAt_ + n > window_.size()) {
            windowAt_ = at;
            window_ = fill(at);
        }
        return MemoryReader{window_.data(), window_.size()}(at - windowAt_, out, n);
    }

  private:
    std::vector<BYTE> fill(std::uint64_t at) {
        std::vector<BYTE> bytes(kThumbnailSearchBytes);
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(std::min<std::uint64_t>(at, 0x7FFFFFFFFFFFFFFF));
        DWORD read = 0;
        if (!::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) ||
            !::ReadFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
            read = 0;
        bytes.resize(read);
        return bytes;
    }

    UniqueFile file_;
    std::uint64_t size_ = 0;
    std::vector<BYTE> head_;
    std::vector<BYTE> window_;
    std::uint64_t windowAt_ = 0;
};

// The thumbnail's height as its width and the photo's proportions give it,
// or its width as its height gives it, is within one pixel of its own.
bool sameProportions(std::uint64_t thumbW, std::uint64_t thumbH, std::uint64_t photoW,
                     std::uint64_t photoH) noexcept {
    const std::uint64_t a = thumbW * photoH, b = thumbH * photoW;
    return (a > b ? a - b : b - a) <= std::max(photoW, photoH);
}

} // namespace

EmbeddedThumbnail loadEmbeddedThumbnail(std::string_view cFile) {
    HeadOfFile head(cFile);
    if (!startsAsJpeg(head.data(), head.size()))
        return {};
    // The photo must pass what its own decode would check first: a layout
    // that holds up to its picture data, a size the program takes, a file a
    // single read takes. Else the thumbnail would stand for a photo that
    // does not open.
    JpegLayout photo;
    if (checkJpegLayout(head, head.fileSize(), &photo) != JpegCheck::holds ||
        !pictureFits(photo.frame.width, photo.frame.height) ||
        head.fileSize() > static_cast<std::uint64_t>(std::numeric_limits<LONG>::max()))
        return {};
    const ExifFacts exif = readExif(head.data(), head.size());
    if (exif.thumbnailBytes == 0)
        return {};
    const BYTE *thumb = head.data() + exif.thumbnailAt;
    const auto thumbSize = jpegFrameSize(MemoryReader{thumb, exif.thumbnailBytes});
    if (!thumbSize ||
        std::uint64_t{thumbSize->width} * thumbSize->height > kMostThumbnailPixels ||
        !sameProportions(thumbSize->width, thumbSize->height, photo.frame.width,
                         photo.frame.height))
        return {};
    EmbeddedThumbnail result;
    result.hBitmap = loadImageFromBytes(thumb, exif.thumbnailBytes, exif.orientation);
    if (!result.hBitmap)
        return {};
    const bool across = swapsAxes(exif.orientation);
    result.photoWidth = across ? photo.frame.height : photo.frame.width;
    result.photoHeight = across ? photo.frame.width : photo.frame.height;
    return result;
}

} // namespace vistoro
