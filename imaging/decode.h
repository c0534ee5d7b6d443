// Decoding an image file into a bitmap handle (or a decoded image object)
// through the imaging service. Every failure yields 0 or null, quietly;
// nothing but the result outlives a call.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "base/paths.h"

namespace Gdiplus {
class GpBitmap;
}

namespace vistoro {

// A decoded image object handed to the caller; released with GDIP_DELETEIMAGE.
using GdipImage = Gdiplus::GpBitmap;

struct ImageFromFileOptions {
    // True: the result is a bitmap handle and the image object is released
    // inside the call. False: the result is the image object itself.
    bool lMakeHandle = false;
    // True: every picture is normalised to 32-bit premultiplied ARGB.
    // False: only 32-bit RGB pictures are; others keep their own format.
    bool lForcePremultiplied = false;
};

// Exactly one member is set on success, the one lMakeHandle asked for; the
// caller owns it.
struct ImageFromFileResult {
    HBITMAP hBitmap = nullptr;
    GdipImage *oImage = nullptr;
};

// cFile is the program's narrow text: well-formed UTF-8 with a high byte is
// read as UTF-8, anything else in the ANSI code page.
ImageFromFileResult GDIP_IMAGEFROMFILE(std::string_view cFile,
                                       const ImageFromFileOptions &options = {});

// Releases an image object made by GDIP_IMAGEFROMFILE; nothing for null or
// for a pointer that is not an outstanding result of it.
void GDIP_DELETEIMAGE(GdipImage *oImage) noexcept;

// The viewer's decoder: 0 when no file of that name exists (the imaging
// service is not touched), else a premultiplied 32-bit bitmap handle or 0.
// Safe to call from any thread once the service runs.
HBITMAP LOADIMG(std::string_view cFile);

// What a load learned besides the picture: a verdict on the file as it
// stands may be remembered for as long as the file stays the same; any
// other failure says nothing of the file and may pass.
enum class LoadVerdict {
    decoded,   // the picture
    refused,   // no such file, or its bytes fail the checks, or the decoder refuses them
    transient, // the file held by another program, a read error, memory ran out
    tooLarge,  // left undecoded: the caller's admit said no
    cancelled, // stopped on request (base/cancel.h)
};

struct LoadOptions {
    // Asked once the picture's size is known (from its header, else from
    // the decoder) and before its bitmap is made; false leaves it
    // undecoded. Called on the decoding thread. Empty: every size the
    // program takes.
    std::function<bool(std::uint64_t width, std::uint64_t height, std::uint64_t fileBytes)> admit;
    // How long a file that another program holds without sharing is waited for.
    DWORD waitWhileHeldMs = 0;
};

struct LoadOutcome {
    HBITMAP hBitmap = nullptr; // the caller's; 0 unless decoded
    LoadVerdict verdict = LoadVerdict::refused;
    std::optional<FileStamp> stamp; // the file as it was read; none when it was not
};

// LOADIMG with what the program's own decodes need to know: why nothing
// came, the file's stamp as read, a say on the size. Any thread.
LoadOutcome loadImage(std::string_view cFile, const LoadOptions &options = {});

// True unless the bytes fail one of the checks that every decode makes
// before the platform's decoders see them (a metafile's records, a TIFF's
// directories, a declared size the program does not take, a JPEG's layout
// up to its picture data). Other readers of a picture's bytes ask the same.
bool passesDecodeChecks(const BYTE *data, std::size_t size) noexcept;

// A picture held in memory, such as the thumbnail a photo embeds, through
// the same checks as a file's bytes; it stands as `orientation` says (the
// photo's, 1 to 8), whatever its own bytes say. 0 when it does not decode.
HBITMAP loadImageFromBytes(const void *data, std::size_t size, int orientation);

} // namespace vistoro
