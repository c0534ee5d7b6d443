// The pictures held around the shown one while the keys step through a
// folder: the one that the same key would show next, decoded ahead on a
// worker, and the one just left, so that a step either way shows a picture
// already decoded. Besides the shown picture at most these two are held
// once a step is over. A picture is handed out only while its file's size
// and last-write time are those it was decoded from.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "base/paths.h"
#include "viewer/commands.h"
#include "viewer/decoder.h"
#include "viewer/imagelist.h"

namespace vistoro {

// Pictures larger than this as 32-bit pixels are not decoded ahead.
inline constexpr std::uint64_t kMostBytesAhead = std::uint64_t{256} << 20;

// What a key's LOADIMAGE(file, false) gives, made on a worker: 0 for a file
// that fails the extension test or does not decode, and nothing past
// maxPixels (0: no limit of its own).
DecodeOutcome decodePicture(const std::string &file, std::uint64_t maxPixels);

class PictureCache {
  public:
    PictureCache() = default;
    ~PictureCache();
    PictureCache(const PictureCache &) = delete;
    PictureCache &operator=(const PictureCache &) = delete;

    // The picture of a file as the keys load it: a picture held for it is
    // handed over, one being decoded ahead is waited for, and any other is
    // decoded now, on a worker; 0 when the file does not load. What the
    // wait lets the window do meanwhile is BackgroundDecoder::waitFor's.
    UniqueBitmap take(const std::string &file);
    // The shown picture, read from `file` as it was at `stamp`.
    void nowShowing(const std::string &file, std::optional<FileStamp> stamp);
    // The shown picture is left behind: kept as the picture just left,
    // unless it was turned in memory (it is then no longer the file's).
    void leave(UniqueBitmap shown, bool turned);
    // After a picture is shown by `command` (or by start-up or Open, with
    // None): decodes ahead what the key of the same direction would show
    // next from position nIdx of the list, passing over files that do not
    // load. Everything else held goes, but for the picture just left.
    void lookAhead(ViewerCommand command, const ImageList &list, int nIdx);
    // The same before the keys have a list of the folder: over a list of
    // the shown file's folder made for the look-ahead alone, so that the
    // keys' own list is still the one the first key makes.
    void lookAheadInFolderOf(ViewerCommand command, const std::string &file);
    // Everything dropped, for another folder.
    void clear() noexcept;
    // The window is closing: a wait for a decode ends at once, and from now
    // on nothing is decoded for the keys (take gives 0).
    void abandon() noexcept;
    bool abandoned() const noexcept { return abandoned_; }

    // How many pictures are held, and decodes under way; for the tests.
    int heldPictures() const noexcept;
    int decodesUnderWay() const noexcept;

  private:
    enum class State { decoding, ready, failed, tooLarge };
    struct Held {
        std::string file;
        std::optional<FileStamp> stamp;
        UniqueBitmap bitmap;
        State state = State::decoding;
        BackgroundDecoder::Ticket ticket = 0;
    };

    Held *find(const std::string &file) noexcept;
    void drop(const std::string &file) noexcept;
    void dropAllBut(const std::string &keep) noexcept;
    void advance();
    void arrived(const std::string &file, DecodeOutcome outcome);

    std::vector<Held> held_;
    std::string shownFile_;
    std::optional<FileStamp> shownStamp_;
    std::string leftFile_;
    ViewerCommand direction_ = ViewerCommand::Next;
    // The files the look-ahead tries in turn, and the next to try.
    std::vector<std::string> ahead_;
    std::size_t aheadNext_ = 0;
    std::string ownFolder_;
    ImageList ownList_;
    bool abandoned_ = false;
};

} // namespace vistoro
