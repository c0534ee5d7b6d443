#include "viewer/picture_cache.h"

#include "base/paths.h"
#include "imaging/decode.h"
#include "imaging/paint.h"
#include "viewer/keys.h"

#include <algorithm>

namespace vistoro {

namespace {

// A look-ahead passes over at most this many files that do not load.
constexpr std::size_t kMostTriedAhead = 64;

// Which way the look-ahead goes after a command: the same key's way, Next
// after First, a random pick and start-up, Previous after Last; turns and
// the zoom keep the way that was.
ViewerCommand directionAfter(ViewerCommand command, ViewerCommand before) noexcept {
    switch (command) {
    case ViewerCommand::Next:
    case ViewerCommand::Previous:
    case ViewerCommand::TenForward:
    case ViewerCommand::TenBack:
        return command;
    case ViewerCommand::None:
    case ViewerCommand::First:
    case ViewerCommand::Random:
        return ViewerCommand::Next;
    case ViewerCommand::Last:
        return ViewerCommand::Previous;
    default:
        return before;
    }
}

} // namespace

DecodeOutcome decodePicture(const std::string &file, std::uint64_t maxPixels) {
    DecodeOutcome out;
    out.stamp = fileStamp(file);
    if (!out.stamp || !isImageFile(file))
        return out;
    const BoundedLoad load = loadImageWithin(file, maxPixels);
    out.bitmap.reset(load.hBitmap);
    out.tooLarge = load.tooLarge;
    out.width = NBMPWIDTH(load.hBitmap);
    out.height = NBMPHEIGHT(load.hBitmap);
    // Found out here rather than on the window's thread, where it would read
    // every pixel of a new picture before its first paint.
    out.paintsEveryPixel = paintsEveryPixel(load.hBitmap);
    return out;
}

PictureCache::~PictureCache() {
    clear();
}

PictureCache::Held *PictureCache::find(const std::string &file) noexcept {
    const auto it =
        std::find_if(held_.begin(), held_.end(), [&](const Held &h) { return h.file == file; });
    return it == held_.end() ? nullptr : &*it;
}

void PictureCache::drop(const std::string &file) noexcept {
    std::erase_if(held_, [&](Held &h) {
        if (h.file != file)
            return false;
        if (h.state == State::decoding)
            backgroundDecoder().cancel(h.ticket);
        return true;
    });
}

void PictureCache::dropAllBut(const std::string &keep) noexcept {
    std::vector<std::string> files;
    for (const Held &h : held_)
        if (h.file != keep)
            files.push_back(h.file);
    for (const std::string &f : files)
        drop(f);
}

void PictureCache::clear() noexcept {
    dropAllBut(std::string());
    held_.clear();
    shownFile_.clear();
    shownStamp_.reset();
    leftFile_.clear();
    ahead_.clear();
    aheadNext_ = 0;
    ownFolder_.clear();
    ownList_.clear();
}

void PictureCache::nowShowing(const std::string &file, std::optional<FileStamp> stamp,
                              std::optional<bool> paintsEveryPixel) {
    shownFile_ = file;
    shownStamp_ = stamp;
    shownPaintsEveryPixel_ = paintsEveryPixel;
}

void PictureCache::leave(UniqueBitmap shown, bool turned) {
    if (!shown || turned || shownFile_.empty())
        return; // released here
    drop(shownFile_);
    held_.push_back({shownFile_, shownStamp_, std::move(shown), State::ready, 0,
                     shownPaintsEveryPixel_.value_or(false)});
    leftFile_ = shownFile_;
}

void PictureCache::abandon() noexcept {
    abandoned_ = true;
    clear();
}

UniqueBitmap PictureCache::take(const std::string &file) {
    if (abandoned_)
        return {};
    BackgroundDecoder &decoder = backgroundDecoder();
    const auto giveUp = [this] { return abandoned_; };
    while (Held *h = find(file)) {
        if (h->state == State::decoding) {
            const BackgroundDecoder::Ticket ticket = h->ticket;
            decoder.waitFor(ticket, giveUp);
            if (decoder.pending(ticket)) {
                drop(file);
                return {};
            }
            continue; // it arrived: as it stands now
        }
        if (fileStamp(file) == h->stamp) {
            if (h->state == State::failed)
                return {};
            if (h->state == State::ready) {
                UniqueBitmap picture = std::move(h->bitmap);
                nowShowing(file, h->stamp, h->paintsEveryPixel);
                drop(file);
                return picture;
            }
        }
        drop(file); // changed since, or too large to have been decoded ahead
        break;
    }

    // Decoded now: nothing else held is of use to this step but the
    // picture just left, which a search that finds nothing shows again.
    dropAllBut(leftFile_);
    std::optional<DecodeOutcome> got;
    const BackgroundDecoder::Ticket ticket = decoder.submit(
        file, [](const std::string &f) { return decodePicture(f, 0); },
        [&got](DecodeOutcome outcome) { got = std::move(outcome); });
    decoder.waitFor(ticket, giveUp);
    if (!got) {
        decoder.cancel(ticket);
        return {};
    }
    if (got->bitmap)
        nowShowing(file, got->stamp, got->paintsEveryPixel);
    return std::move(got->bitmap);
}

void PictureCache::lookAhead(ViewerCommand command, const ImageList &list, int nIdx) {
    if (abandoned_)
        return;
    direction_ = directionAfter(command, direction_);
    ahead_.clear();
    aheadNext_ = 0;
    const int length = static_cast<int>(list.size());
    if (const std::optional<SeekWalk> walk = seekWalk(direction_, length, nIdx))
        for (int at : positionsOf(*walk, length)) {
            if (ahead_.size() == kMostTriedAhead)
                break;
            ahead_.push_back(list[static_cast<std::size_t>(at - 1)]);
        }
    advance();
}

void PictureCache::lookAheadInFolderOf(ViewerCommand command, const std::string &file) {
    const std::string folder = folderPart(file);
    if (folder != ownFolder_) {
        ownList_ = AFILE(folder);
        ownFolder_ = folder;
    }
    lookAhead(command, ownList_, locateInList(ownList_, file));
}

void PictureCache::advance() {
    BackgroundDecoder &decoder = backgroundDecoder();
    for (; aheadNext_ < ahead_.size(); ++aheadNext_) {
        const std::string &file = ahead_[aheadNext_];
        if (Held *h = find(file)) {
            if (h->state == State::decoding)
                break; // already coming
            if (fileStamp(file) == h->stamp) {
                if (h->state == State::failed)
                    continue; // a key passes over it too
                break;        // ready, or left for the key to decode itself
            }
            drop(file);
        }
        const BackgroundDecoder::Ticket ticket = decoder.submit(
            file, [](const std::string &f) { return decodePicture(f, kMostBytesAhead / 4); },
            [this, file](DecodeOutcome outcome) { arrived(file, std::move(outcome)); });
        held_.push_back({file, std::nullopt, UniqueBitmap(), State::decoding, ticket});
        break;
    }
    // Held from here on: the picture just left, and the files the look-ahead
    // has reached (those that fail, so that a key passes over them at once,
    // and the one it stopped at).
    const auto reached =
        ahead_.begin() + static_cast<std::ptrdiff_t>(std::min(aheadNext_ + 1, ahead_.size()));
    std::vector<std::string> useless;
    for (const Held &h : held_)
        if (h.file != leftFile_ && std::find(ahead_.begin(), reached, h.file) == reached)
            useless.push_back(h.file);
    for (const std::string &f : useless)
        drop(f);
}

void PictureCache::arrived(const std::string &file, DecodeOutcome outcome) {
    Held *h = find(file);
    if (!h || h->state != State::decoding)
        return;
    h->stamp = outcome.stamp;
    h->bitmap = std::move(outcome.bitmap);
    h->paintsEveryPixel = outcome.paintsEveryPixel;
    h->state = h->bitmap ? State::ready : outcome.tooLarge ? State::tooLarge : State::failed;
    if (h->state == State::failed && aheadNext_ < ahead_.size() && ahead_[aheadNext_] == file) {
        ++aheadNext_;
        advance();
    }
}

int PictureCache::heldPictures() const noexcept {
    return static_cast<int>(std::count_if(
        held_.begin(), held_.end(), [](const Held &h) { return static_cast<bool>(h.bitmap); }));
}

int PictureCache::decodesUnderWay() const noexcept {
    return static_cast<int>(std::count_if(
        held_.begin(), held_.end(), [](const Held &h) { return h.state == State::decoding; }));
}

} // namespace vistoro
