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
    shownShare_.release();
    leftFile_.clear();
    ahead_.clear();
    aheadNext_ = 0;
    ownFolder_.clear();
    ownList_.clear();
}

void PictureCache::nowShowing(const std::string &file, std::optional<FileStamp> stamp,
                              HBITMAP shown, std::optional<bool> paintsEveryPixel,
                              BudgetShare share) {
    shownFile_ = file;
    shownStamp_ = stamp;
    shownPaintsEveryPixel_ = paintsEveryPixel;
    if (!share && shown)
        share = pictureBudget().take(pictureBytes(NBMPWIDTH(shown), NBMPHEIGHT(shown)));
    shownShare_ = std::move(share);
}

bool PictureCache::shownStillCurrent() const {
    return !shownFile_.empty() && shownStamp_ && fileStamp(shownFile_) == shownStamp_;
}

void PictureCache::leave(UniqueBitmap shown, bool turned) {
    if (!shown || turned || shownFile_.empty()) {
        shownShare_.release();
        return; // the picture is released here
    }
    drop(shownFile_);
    held_.push_back({shownFile_, shownStamp_, std::move(shown), State::ready, 0,
                     shownPaintsEveryPixel_.value_or(false), std::move(shownShare_)});
    leftFile_ = shownFile_;
}

void PictureCache::abandon() noexcept {
    abandoned_ = true;
    clear();
}

std::optional<DecodeOutcome> PictureCache::decodeNow(const std::string &file) {
    BackgroundDecoder &decoder = backgroundDecoder();
    std::optional<DecodeOutcome> got;
    const BackgroundDecoder::Ticket ticket = decoder.submit(
        file, [](const std::string &f) { return decodePicture(f, DecodePurpose::key); },
        [&got](DecodeOutcome outcome) { got = std::move(outcome); });
    decoder.waitFor(ticket, [this] { return abandoned_; });
    if (!got)
        decoder.cancel(ticket); // the window is closing: nothing waits for it
    return got;
}

CachedPicture PictureCache::take(const std::string &file) {
    if (abandoned_)
        return {};
    BackgroundDecoder &decoder = backgroundDecoder();
    while (Held *h = find(file)) {
        if (h->state == State::decoding) {
            const BackgroundDecoder::Ticket ticket = h->ticket;
            decoder.waitFor(ticket, [this] { return abandoned_; });
            if (abandoned_)
                return {}; // Esc: nothing more is decoded
            if (Held *still = find(file);
                still && still->state == State::decoding && still->ticket == ticket)
                drop(file); // delivered to nobody: decoded now instead
            continue;       // as it stands now
        }
        if (fileStamp(file) == h->stamp) {
            if (h->state == State::refused)
                return {};
            if (h->state == State::ready) {
                CachedPicture picture{std::move(h->bitmap), h->stamp, h->paintsEveryPixel,
                                      std::move(h->share)};
                drop(file);
                return picture;
            }
        }
        drop(file); // changed since, or left for the key to decode itself
        break;
    }

    // Decoded now: nothing else held is of use to this step but the
    // picture just left, which a search that finds nothing shows again.
    dropAllBut(leftFile_);
    std::optional<DecodeOutcome> got = decodeNow(file);
    if (got && got->verdict == LoadVerdict::transient && !abandoned_) {
        // The key's own decode does not give way: when memory ran out,
        // everything held but the shown picture goes and it is tried again.
        dropAllBut(std::string());
        leftFile_.clear();
        got = decodeNow(file);
    }
    if (!got || abandoned_)
        return {};
    return {std::move(got->bitmap), got->stamp, got->paintsEveryPixel, std::move(got->share)};
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
                if (h->state == State::refused)
                    continue; // a key passes over it too
                break;        // ready, or left for the key to decode itself
            }
            drop(file);
        }
        const BackgroundDecoder::Ticket ticket = decoder.submit(
            file, [](const std::string &f) { return decodePicture(f, DecodePurpose::ahead); },
            [this, file](DecodeOutcome outcome) { arrived(file, std::move(outcome)); });
        held_.push_back({file, std::nullopt, UniqueBitmap(), State::decoding, ticket});
        break;
    }
    // Held from here on: the picture just left, and the files the look-ahead
    // has reached (those the decoder refused, so that a key passes over them
    // at once, and the one it stopped at).
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
    h->share = std::move(outcome.share);
    if (h->bitmap)
        h->state = State::ready;
    else if (outcome.verdict == LoadVerdict::refused)
        h->state = State::refused;
    else
        h->state = State::leftForKey;
    if (h->state == State::refused && aheadNext_ < ahead_.size() && ahead_[aheadNext_] == file) {
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
