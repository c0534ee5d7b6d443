#include "viewer/playback.h"

#include "base/error.h"
#include "base/sync.h"
#include "base/text.h"
#include "imaging/byte_stream.h"
#include "imaging/dib_info.h"
#include "imaging/gif_animation.h"
#include "imaging/quarter_turn.h"
#include "toolkit/wrappers.h"
#include "base/paths.h"
#include "viewer/rotate.h"

#include <mmsystem.h>

#include <algorithm>
#include <mutex>

namespace vistoro {

namespace {

constexpr UINT kFrameReady = WM_APP + 2;
constexpr UINT_PTR kRetryTimer = 1;
// A frame that came while frames had to wait is tried again this often.
constexpr UINT kRetryMs = 30;
constexpr wchar_t kInboxClass[] = L"VistoroPlaybackInbox";

Playback::FrameObserver frameObserver = nullptr;

// The image extension test's reading of a GIF: its extension begins so.
bool namedAsGif(const std::string &file) {
    const std::string name = nameOf(file);
    const auto dot = name.rfind('.');
    return dot != std::string::npos && upperText(trim(name.substr(dot + 1)).substr(0, 3)) == "GIF";
}

LONGLONG ticksNow() noexcept {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

LONGLONG ticksPerMs() noexcept {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return std::max<LONGLONG>(frequency.QuadPart / 1000, 1);
}

// The canvas as a bitmap of its own, turned by quarters anticlockwise.
UniqueBitmap frameBitmap(const std::uint32_t *canvas, long width, long height, int quarters) {
    const bool across = quarters % 2 != 0;
    const long w = across ? height : width, h = across ? width : height;
    BITMAPINFO info = rgb32Info(w, h, RowOrder::TopDown);
    void *bits = nullptr;
    UniqueBitmap frame(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!frame)
        return {};
    auto *out = static_cast<std::uint32_t *>(bits);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (quarters == 0)
        std::copy(canvas, canvas + count, out);
    else if (quarters == 2)
        std::reverse_copy(canvas, canvas + count, out);
    else
        turnQuarter(canvas, width, out, w, width, height, quarters == 1);
    ::GdiFlush();
    return frame;
}

} // namespace

// What the frame thread and the window's thread share; the thread keeps it
// alive for as long as it runs.
struct Playback::Shared {
    SlimLock lock;
    Condition wake;
    bool stopping = false;
    bool mayMake = true; // the window took the last frame handed over
    bool over = false;   // no more frames will come
    int turns = 0;
    UniqueBitmap ready;
    int readyTurns = 0;
    bool readyEveryPixel = false;
    HWND inbox = nullptr;
    std::wstring file;

    static DWORD WINAPI run(void *param) noexcept {
        const std::unique_ptr<std::shared_ptr<Shared>> shared(
            static_cast<std::shared_ptr<Shared> *>(param));
        // Frame delays come in tens of milliseconds: the thread's waits
        // need the finer timer while it plays.
        ::timeBeginPeriod(1);
        try {
            (*shared)->play();
        } catch (...) {
            // Memory ran out: the playback ends on the frame on show.
        }
        ::timeEndPeriod(1);
        (*shared)->finish();
        return 0;
    }

    void play() {
        FileReading reading;
        const auto animation = GifAnimation::open(ByteBlock::fromFile(file, &reading));
        if (!animation)
            return; // a still picture, or none
        const long width = animation->width(), height = animation->height();
        const LONGLONG perMs = ticksPerMs();
        LONGLONG due = ticksNow();
        for (;;) {
            {
                const std::lock_guard<SlimLock> hold(lock);
                wake.wait(lock, [&] { return stopping || mayMake; });
                if (stopping)
                    return;
            }
            // A frame that fails ends the playback on the last good one.
            if (animation->next() != GifAnimation::Step::frame)
                return;
            int quarters;
            {
                const std::lock_guard<SlimLock> hold(lock);
                quarters = turns;
            }
            UniqueBitmap frame = frameBitmap(animation->canvas(), width, height, quarters);
            if (!frame)
                return;
            const std::lock_guard<SlimLock> hold(lock);
            for (LONGLONG left = due - ticksNow(); left > 0 && !stopping; left = due - ticksNow())
                wake.waitFor(lock, static_cast<DWORD>((left + perMs - 1) / perMs),
                             [&] { return stopping; });
            if (stopping)
                return;
            ready = std::move(frame);
            readyTurns = quarters;
            readyEveryPixel = animation->everyPixelOpaque();
            mayMake = false;
            ::PostMessageW(inbox, kFrameReady, 0, 0);
            // The next frame is due this frame's delay after it is handed
            // over; a wait that ran late does not make the next one early.
            due = std::max(due, ticksNow()) + animation->delayMs() * perMs;
        }
    }

    void finish() noexcept {
        const std::lock_guard<SlimLock> hold(lock);
        over = true;
        ready.reset();
    }
};

Playback::Playback(Show show, Paused paused)
    : show_(std::move(show)), paused_(std::move(paused)),
      inbox_(makeMessageWindow(kInboxClass, inboxProc, this)) {}

Playback::~Playback() {
    stop();
    if (inbox_)
        ::DestroyWindow(inbox_);
}

void Playback::start(const std::string &file) {
    stop();
    ownFrame_ = false;
    turns_ = 0;
    shown_ = 0;
    if (!inbox_ || !namedAsGif(file))
        return;
    auto shared = std::make_shared<Shared>();
    shared->inbox = inbox_;
    shared->file = widen(file);
    auto *param = new std::shared_ptr<Shared>(shared);
    // Nobody waits for the thread: it ends on its own once told to stop.
    const UniqueKernelHandle thread(::CreateThread(nullptr, 0, &Shared::run, param, 0, nullptr));
    if (!thread) {
        delete param;
        return;
    }
    shared_ = std::move(shared);
}

void Playback::stop() noexcept {
    if (inbox_)
        ::KillTimer(inbox_, kRetryTimer);
    if (!shared_)
        return;
    {
        const std::lock_guard<SlimLock> hold(shared_->lock);
        shared_->stopping = true;
        shared_->ready.reset();
    }
    shared_->wake.wakeAll();
    shared_.reset();
}

void Playback::turn(int quarters) noexcept {
    turns_ = ((turns_ + quarters) % 4 + 4) % 4;
    if (!shared_)
        return;
    const std::lock_guard<SlimLock> hold(shared_->lock);
    shared_->turns = turns_;
}

bool Playback::playing() const noexcept {
    if (!shared_)
        return false;
    const std::lock_guard<SlimLock> hold(shared_->lock);
    return !shared_->over;
}

void Playback::setFrameObserver(FrameObserver observer) noexcept {
    frameObserver = observer;
}

void Playback::takeFrame() {
    // Held for the whole call: showing the frame dispatches messages, and a
    // handler among them may stop this playback or start another.
    const std::shared_ptr<Shared> shared = shared_;
    if (!shared)
        return;
    if (paused_ && paused_()) {
        ::SetTimer(inbox_, kRetryTimer, kRetryMs, nullptr);
        return;
    }
    ::KillTimer(inbox_, kRetryTimer);
    const LONGLONG takenAt = ticksNow();
    UniqueBitmap frame;
    int frameTurns = 0;
    bool everyPixel = false;
    {
        const std::lock_guard<SlimLock> hold(shared->lock);
        frame = std::move(shared->ready);
        frameTurns = shared->readyTurns;
        everyPixel = shared->readyEveryPixel;
    }
    if (!frame)
        return;
    // Turned meanwhile: the frame catches up here, as the shown one was.
    for (int q = frameTurns; frame && q != turns_; q = (q + 1) % 4)
        frame.reset(ROTATEBMP(frame.get(), 90));
    if (frame) {
        ownFrame_ = true;
        show_(std::move(frame), everyPixel);
        if (frameObserver)
            frameObserver(++shown_, takenAt, ticksNow());
    }
    {
        const std::lock_guard<SlimLock> hold(shared->lock);
        shared->mayMake = true;
    }
    shared->wake.wakeAll();
}

LRESULT CALLBACK Playback::inboxProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kFrameReady || (msg == WM_TIMER && wParam == kRetryTimer)) {
        if (auto *self = reinterpret_cast<Playback *>(::GetWindowLongPtrW(wnd, GWLP_USERDATA)))
            recoveryPoint([self] { self->takeFrame(); });
        return 0;
    }
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

} // namespace vistoro
