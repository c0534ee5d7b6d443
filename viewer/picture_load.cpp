#include "viewer/picture_load.h"

#include "base/paths.h"
#include "imaging/decode.h"
#include "imaging/paint.h"
#include "viewer/imagelist.h"
#include "viewer/picture_budget.h"

namespace vistoro {

DecodeOutcome decodePicture(const std::string &file, DecodePurpose purpose) {
    DecodeOutcome out;
    if (!isImageFile(file)) {
        out.stamp = fileStamp(file);
        return out; // refused, whatever the file holds
    }
    // Taken as soon as the picture's size is known, before its bitmap is
    // made: what the decode holds at its peak, then what the picture keeps.
    BudgetShare share;
    LoadOptions options;
    options.waitWhileHeldMs = purpose == DecodePurpose::ahead ? 0 : kWaitWhileHeldMs;
    options.admit = [&share, purpose](std::uint64_t width, std::uint64_t height,
                                      std::uint64_t fileBytes) {
        const std::uint64_t peak = decodePeakBytes(width, height, fileBytes);
        if (share && share.bytes() >= peak)
            return true;
        share.release();
        if (purpose != DecodePurpose::ahead) {
            share = pictureBudget().take(peak);
            return true;
        }
        if (peak > kMostPeakAheadBytes)
            return false;
        std::optional<BudgetShare> fits = pictureBudget().tryTake(peak);
        if (!fits)
            return false;
        share = std::move(*fits);
        return true;
    };
    const LoadOutcome load = loadImage(file, options);
    out.bitmap.reset(load.hBitmap);
    out.stamp = load.stamp;
    out.verdict = load.verdict;
    out.width = NBMPWIDTH(load.hBitmap);
    out.height = NBMPHEIGHT(load.hBitmap);
    // Found out here rather than on the window's thread, where it would read
    // every pixel of a new picture before its first paint.
    if (purpose != DecodePurpose::cell)
        out.paintsEveryPixel = paintsEveryPixel(load.hBitmap);
    share.shrinkTo(load.hBitmap ? pictureBytes(out.width, out.height) : 0);
    out.share = std::move(share);
    return out;
}

} // namespace vistoro
