#include "imaging/thumbnail.h"

#include "base/handles.h"
#include "base/text.h"
#include "imaging/decode.h"
#include "imaging/exif.h"
#include "imaging/jpeg_segments.h"
#include "imaging/orientation.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace vistoro {
namespace {

// Cameras embed 160 x 120; a "thumbnail" of more than this is no thumbnail
// and is not decoded for one.
constexpr std::uint64_t kMostThumbnailPixels = 1024 * 1024;

// The file's first bytes, and reads further on of a segment header or a
// frame header, each a few bytes, for the walk to the photo's frame header:
// segments such as a camera's previews may lie between it and the EXIF block.
class HeadOfFile {
  public:
    explicit HeadOfFile(std::string_view cFile)
        : file_(::CreateFileW(widen(cFile).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (!file_)
            return;
        head_.resize(kThumbnailSearchBytes);
        DWORD read = 0;
        if (!::ReadFile(file_.get(), head_.data(), static_cast<DWORD>(head_.size()), &read,
                        nullptr))
            read = 0;
        head_.resize(read);
    }
    const BYTE *data() const noexcept { return head_.data(); }
    std::size_t size() const noexcept { return head_.size(); }

    bool operator()(std::uint64_t at, BYTE *out, std::size_t n) {
        if (MemoryReader{head_.data(), head_.size()}(at, out, n))
            return true;
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(std::min<std::uint64_t>(at, 0x7FFFFFFFFFFFFFFF));
        DWORD read = 0;
        return file_ && ::SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) &&
               ::ReadFile(file_.get(), out, static_cast<DWORD>(n), &read, nullptr) && read == n;
    }

  private:
    UniqueFile file_;
    std::vector<BYTE> head_;
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
    const ExifFacts exif = readExif(head.data(), head.size());
    if (exif.thumbnailBytes == 0)
        return {};
    const BYTE *thumb = head.data() + exif.thumbnailAt;
    const auto thumbSize = jpegFrameSize(MemoryReader{thumb, exif.thumbnailBytes});
    const auto photoSize = jpegFrameSize(head);
    if (!thumbSize || !photoSize || photoSize->width == 0 || photoSize->height == 0 ||
        std::uint64_t{thumbSize->width} * thumbSize->height > kMostThumbnailPixels ||
        !sameProportions(thumbSize->width, thumbSize->height, photoSize->width, photoSize->height))
        return {};
    EmbeddedThumbnail result;
    result.hBitmap = loadImageFromBytes(thumb, exif.thumbnailBytes, exif.orientation);
    if (!result.hBitmap)
        return {};
    const bool across = swapsAxes(exif.orientation);
    result.photoWidth = across ? photoSize->height : photoSize->width;
    result.photoHeight = across ? photoSize->width : photoSize->height;
    return result;
}

} // namespace vistoro
