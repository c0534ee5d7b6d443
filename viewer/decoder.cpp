#include "viewer/decoder.h"

#include "base/error.h"
#include "base/sync.h"
#include "toolkit/wrappers.h"

#include <deque>
#include <mutex>

namespace vistoro {

namespace {

constexpr UINT kDelivered = WM_APP + 1; // lParam: a Finished the receiver owns
constexpr wchar_t kInboxClass[] = L"VistoroDecodeInbox";

struct Finished {
    BackgroundDecoder::Ticket ticket;
    DecodeOutcome outcome;
};

struct Job {
    BackgroundDecoder::Ticket ticket = 0;
    std::string file;
    BackgroundDecoder::Make make;
};

std::unique_ptr<BackgroundDecoder> &programDecoder() {
    static std::unique_ptr<BackgroundDecoder> decoder;
    return decoder;
}

} // namespace

// What the workers share with the decoder, and keep alive after it ends.
struct BackgroundDecoder::Shared {
    SlimLock lock;
    Condition wake;
    std::deque<Job> queue;
    int running = 0;
    bool ending = false;
    HWND inbox = nullptr; // null once the decoder has ended

    // A worker thread's entry: it holds the shared part for as long as it runs.
    static DWORD WINAPI run(void *param) noexcept {
        const std::unique_ptr<std::shared_ptr<Shared>> shared(
            static_cast<std::shared_ptr<Shared> *>(param));
        work(*shared);
        return 0;
    }

    // One worker's life: jobs until the decoder ends. Nothing escapes it.
    // The imaging service needs no COM apartment here (the streams are the
    // program's own), and none is made: a multi-threaded apartment in the
    // process changes how the window thread's common dialogs behave.
    static void work(const std::shared_ptr<Shared> &shared) noexcept {
        for (;;) {
            Job job;
            {
                const std::lock_guard<SlimLock> hold(shared->lock);
                shared->wake.wait(shared->lock,
                                  [&] { return shared->ending || !shared->queue.empty(); });
                if (shared->ending)
                    break;
                job = std::move(shared->queue.front());
                shared->queue.pop_front();
                ++shared->running;
            }
            shared->finish(job);
            const std::lock_guard<SlimLock> hold(shared->lock);
            --shared->running;
        }
    }

    void finish(Job &job) noexcept {
        std::unique_ptr<Finished> done;
        try {
            done = std::make_unique<Finished>(Finished{job.ticket, job.make(job.file)});
        } catch (...) {
            return; // what the job made so far went with the unwinding
        }
        // Posted under the lock, so that a decoder ending meanwhile finds
        // every result in its inbox when it empties it. Posted, the result
        // is the receiver's; else it is released here.
        const std::lock_guard<SlimLock> hold(lock);
        if (inbox && ::PostMessageW(inbox, kDelivered, 0, reinterpret_cast<LPARAM>(done.get())))
            done.release();
    }
};

BackgroundDecoder::BackgroundDecoder() : shared_(std::make_shared<Shared>()) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = inboxProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kInboxClass;
    registerWindowClass(wc);
    inbox_ = ::CreateWindowExW(0, kInboxClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               wc.hInstance, nullptr);
    if (inbox_)
        ::SetWindowLongPtrW(inbox_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    shared_->inbox = inbox_;

    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const unsigned wanted = info.dwNumberOfProcessors >= 2 ? 2 : 1;
    for (unsigned i = 0; i < wanted; ++i) {
        // Nobody waits for a worker: its handle goes at once.
        auto *param = new std::shared_ptr<Shared>(shared_);
        const UniqueKernelHandle thread(
            ::CreateThread(nullptr, 0, &Shared::run, param, 0, nullptr));
        if (thread)
            ++workers_;
        else
            delete param;
    }
}

BackgroundDecoder::~BackgroundDecoder() {
    end();
}

BackgroundDecoder::Ticket BackgroundDecoder::submit(std::string file, Make make, Deliver deliver) {
    const Ticket ticket = ++lastTicket_;
    deliveries_.emplace(ticket, std::move(deliver));
    if (workers_ == 0) {
        // No thread could be started: the job runs here, and its result
        // still comes through the inbox, as any other.
        Job job{ticket, std::move(file), std::move(make)};
        shared_->finish(job);
        return ticket;
    }
    {
        const std::lock_guard<SlimLock> hold(shared_->lock);
        if (!shared_->ending)
            shared_->queue.push_back({ticket, std::move(file), std::move(make)});
    }
    shared_->wake.wakeOne();
    return ticket;
}

void BackgroundDecoder::cancel(Ticket ticket) noexcept {
    if (deliveries_.erase(ticket) == 0)
        return;
    const std::lock_guard<SlimLock> hold(shared_->lock);
    for (auto it = shared_->queue.begin(); it != shared_->queue.end(); ++it)
        if (it->ticket == ticket) {
            shared_->queue.erase(it);
            break;
        }
}

bool BackgroundDecoder::idle() const noexcept {
    const std::lock_guard<SlimLock> hold(shared_->lock);
    return shared_->queue.empty() && shared_->running == 0;
}

bool BackgroundDecoder::pending(Ticket ticket) const noexcept {
    return deliveries_.count(ticket) != 0;
}

void BackgroundDecoder::waitFor(Ticket ticket, const std::function<bool()> &giveUp) {
    while (pending(ticket) && inbox_ && !(giveUp && giveUp())) {
        // In the order the thread's own loop takes them: deliveries, keys,
        // then paints, which come only once nothing else waits.
        MSG msg;
        if (::PeekMessageW(&msg, inbox_, kDelivered, kDelivered, PM_REMOVE)) {
            ::DispatchMessageW(&msg);
            continue;
        }
        if (::PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
            continue;
        }
        if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
            ::DispatchMessageW(&msg);
            continue;
        }
        // Messages sent to the thread's windows are answered inside the wait.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100,
                                    QS_POSTMESSAGE | QS_PAINT | QS_SENDMESSAGE | QS_KEY);
    }
}

void BackgroundDecoder::end() noexcept {
    if (!inbox_)
        return;
    {
        const std::lock_guard<SlimLock> hold(shared_->lock);
        shared_->ending = true;
        shared_->queue.clear();
        shared_->inbox = nullptr;
    }
    shared_->wake.wakeAll();
    // Results already posted are released with the deliveries nobody runs.
    deliveries_.clear();
    MSG msg;
    while (::PeekMessageW(&msg, inbox_, kDelivered, kDelivered, PM_REMOVE))
        delete reinterpret_cast<Finished *>(msg.lParam);
    ::DestroyWindow(inbox_);
    inbox_ = nullptr;
}

void BackgroundDecoder::deliver(LPARAM finished) noexcept {
    std::unique_ptr<Finished> done(reinterpret_cast<Finished *>(finished));
    const auto it = deliveries_.find(done->ticket);
    if (it == deliveries_.end())
        return; // cancelled: the result goes with `done`
    Deliver delivery = std::move(it->second);
    deliveries_.erase(it);
    recoveryPoint([&] { delivery(std::move(done->outcome)); });
}

LRESULT CALLBACK BackgroundDecoder::inboxProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kDelivered) {
        auto *self = reinterpret_cast<BackgroundDecoder *>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
        if (self)
            self->deliver(lParam);
        else
            delete reinterpret_cast<Finished *>(lParam);
        return 0;
    }
    return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

BackgroundDecoder &backgroundDecoder() {
    std::unique_ptr<BackgroundDecoder> &decoder = programDecoder();
    if (!decoder)
        decoder = std::make_unique<BackgroundDecoder>();
    return *decoder;
}

void endBackgroundDecoder() noexcept {
    programDecoder().reset();
}

} // namespace vistoro
