// The pictures held around the shown one while the keys step through a
// folder: the one that the same key would show next, decoded ahead on a
// worker, and the one just left, so that a step either way shows a picture
// already decoded. Besides the shown picture at most these two are held
// once a step is over, and all of them within the picture budget. A
// picture is handed out only while its file's stamp is the one it was
// decoded from; of a failure, only a verdict on the file's bytes is
// remembered, never one that may pass (the file held by another program,
// memory): the key then decodes the file itself.
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
#include "viewer/picture_budget.h"
#include "viewer/picture_load.h"

namespace vistoro {

// A picture handed out by the cache, with what is known of it.
struct CachedPicture {
    UniqueBitmap bitmap; // none when the file does not load
    std::optional<FileStamp> stamp;
    std::optional<bool> paintsEveryPixel;
    BudgetShare share;
};

class PictureCache {
  public:
    PictureCache() = default;
    ~PictureCache();
    PictureCache(const PictureCache &) = delete;
    PictureCache &operator=(const PictureCache &) = delete;

    // The picture of a file as the keys load it: a picture held for it is
    // handed over, one being decoded ahead is waited for, and any other is
    // decoded now, on a worker. What is shown does not change: the caller
    // makes the picture the shown one with leave and nowShowing. What the
    // wait lets the window do meanwhile is BackgroundDecoder::waitFor's;
    // once the window is closing nothing more is decoded.
    CachedPicture take(const std::string &file);
    // The shown picture, read from `file` as it was at `stamp`; its share
    // of the budget is taken here when none comes with it.
    void nowShowing(const std::string &file, std::optional<FileStamp> stamp, HBITMAP shown,
                    std::optional<bool> paintsEveryPixel = std::nullopt, BudgetShare share = {});
    // Whether the shown picture covers every pixel it is painted over, when
    // that was found out off the window's thread; none when it was not.
    std::optional<bool> shownPaintsEveryPixel() const noexcept { return shownPaintsEveryPixel_; }
    // True while the shown file's stamp is still the one it was read at.
    bool shownStillCurrent() const;
    // The shown picture is left behind: kept as the picture just left,
    // unless it was turned in memory (it is then no longer the file's).
    void leave(UniqueBitmap shown, bool turned);
    // After a picture is shown by `command` (or by start-up or Open, with
    // None): decodes ahead what the key of the same direction would show
    // next from position nIdx of the list, passing over files that the
    // decoder refused. Everything else held goes, but for the picture
    // just left.
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
    enum class State {
        decoding,
        ready,
        refused,     // a verdict on the file as stamped: a key passes over it
        leftForKey,  // it may load when a key asks: too large to decode ahead, or a failure that may pass
    };
    struct Held {
        std::string file;
        std::optional<FileStamp> stamp;
        UniqueBitmap bitmap;
        State state = State::decoding;
        BackgroundDecoder::Ticket ticket = 0;
        bool paintsEveryPixel = false;
        BudgetShare share;
    };

    Held *find(const std::string &file) noexcept;
    void drop(const std::string &file) noexcept;
    void dropAllBut(const std::string &keep) noexcept;
    void advance();
    void arrived(const std::string &file, DecodeOutcome outcome);
    std::optional<DecodeOutcome> decodeNow(const std::string &file);

    std::vector<Held> held_;
    std::string shownFile_;
    std::optional<FileStamp> shownStamp_;
    std::optional<bool> shownPaintsEveryPixel_;
    BudgetShare shownShare_;
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
