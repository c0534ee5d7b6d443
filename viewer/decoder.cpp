#include "viewer/decoder.h"

#include "base/cancel.h"
#include "base/error.h"
#include "base/sync.h"
#include "toolkit/wrappers.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

namespace vistoro {

namespace {

// Posted to the inbox when results wait in the outbox.
constexpr UINT kDelivered = WM_APP + 1;
constexpr wchar_t kInboxClass[] = L"VistoroDecodeInbox";

std::unique_ptr<BackgroundDecoder> &programDecoder() {
    static std::unique_ptr<BackgroundDecoder> decoder;
    return decoder;
}

unsigned workersForThisMachine() noexcept {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    return info.dwNumberOfProcessors >= 2 ? 2 : 1;
}

} // namespace

// One job from its submission to its delivery. It is made whole on the
// window's thread, so that finishing it allocates nothing: a result always
// has somewhere to go. It belongs to one place at a time: the queue, the
// worker running it, the outbox, then the window's thread again.
struct BackgroundDecoder::Job {
    Ticket ticket = 0;
    std::string file;
    Make make;
    std::atomic<bool> cancelled{false};
    DecodeOutcome outcome;
    Job *next = nullptr; // in the outbox
};

// What the workers share with the decoder, and keep alive after it ends.
struct BackgroundDecoder::Shared {
    SlimLock lock;
    Condition wake;
    std::deque<Job *> queue;
    int running = 0;
    bool ending = false;
    HWND inbox = nullptr; // null once the decoder has ended
    Job *outboxFirst = nullptr, *outboxLast = nullptr;
    bool wakePosted = false; // a kDelivered is on its way to the inbox

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
            Job *job = nullptr;
            {
                const std::lock_guard<SlimLock> hold(shared->lock);
                shared->wake.wait(shared->lock,
                                  [&] { return shared->ending || !shared->queue.empty(); });
                if (shared->ending)
                    break;
                job = shared->queue.front();
                shared->queue.pop_front();
                ++shared->running;
            }
            shared->finish(job);
            const std::lock_guard<SlimLock> hold(shared->lock);
            --shared->running;
        }
    }

    // Runs the job, unless it was cancelled before it started, and puts it
    // in the outbox for the window's thread.
    void finish(Job *job) noexcept {
        if (!job->cancelled.load()) {
            const CancelScope scope(&job->cancelled);
            try {
                job->outcome = job->make(job->file);
            } catch (...) {
                // What the job made so far went with the unwinding.
                job->outcome = DecodeOutcome{};
                job->outcome.verdict = LoadVerdict::transient;
            }
        }
        {
            const std::lock_guard<SlimLock> hold(lock);
            if (inbox) {
                (outboxLast ? outboxLast->next : outboxFirst) = job;
                outboxLast = job;
                // One message wakes the thread for every result waiting;
                // a queue too full to take it is tried again by the next.
                if (!wakePosted)
                    wakePosted = ::PostMessageW(inbox, kDelivered, 0, 0) != FALSE;
                return;
            }
        }
        delete job; // the decoder has ended: nobody takes the result
    }

    // The outbox, emptied; its jobs are the caller's.
    Job *takeOutbox() noexcept {
        const std::lock_guard<SlimLock> hold(lock);
        Job *first = outboxFirst;
        outboxFirst = outboxLast = nullptr;
        wakePosted = false;
        return first;
    }
};

BackgroundDecoder::BackgroundDecoder() : BackgroundDecoder(workersForThisMachine()) {}

BackgroundDecoder::BackgroundDecoder(unsigned workers) : shared_(std::make_shared<Shared>()) {
    inbox_ = makeMessageWindow(kInboxClass, inboxProc, this);
    shared_->inbox = inbox_;
    start(workers);
}

void BackgroundDecoder::start(unsigned workers) {
    for (unsigned i = 0; i < workers; ++i) {
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
    auto job = std::make_unique<Job>();
    job->ticket = ++lastTicket_;
    job->file = std::move(file);
    job->make = std::move(make);
    const Ticket ticket = job->ticket;
    // Everything that can fail to allocate is done before the job leaves
    // this thread.
    live_.emplace(ticket, job.get());
    try {
        deliveries_.emplace(ticket, std::move(deliver));
    } catch (...) {
        live_.erase(ticket);
        throw;
    }
    if (workers_ == 0) {
        shared_->finish(job.release());
        return ticket;
    }
    {
        const std::lock_guard<SlimLock> hold(shared_->lock);
        if (shared_->ending) {
            live_.erase(ticket);
            deliveries_.erase(ticket);
            return ticket;
        }
        shared_->queue.push_back(job.get());
    }
    job.release();
    shared_->wake.wakeOne();
    return ticket;
}

void BackgroundDecoder::cancel(Ticket ticket) noexcept {
    if (deliveries_.erase(ticket) == 0)
        return;
    const auto it = live_.find(ticket);
    if (it == live_.end())
        return;
    Job *job = it->second;
    Job *unqueued = nullptr;
    {
        const std::lock_guard<SlimLock> hold(shared_->lock);
        for (auto q = shared_->queue.begin(); q != shared_->queue.end(); ++q)
            if (*q == job) {
                shared_->queue.erase(q);
                unqueued = job;
                break;
            }
        // Under way or in the outbox: it stops at its next chance, and its
        // result goes when it is taken back.
        if (!unqueued)
            job->cancelled.store(true);
    }
    if (unqueued) {
        live_.erase(it);
        delete unqueued;
    }
}

bool BackgroundDecoder::idle() const noexcept {
    const std::lock_guard<SlimLock> hold(shared_->lock);
    return shared_->queue.empty() && shared_->running == 0;
}

bool BackgroundDecoder::pending(Ticket ticket) const noexcept {
    return deliveries_.count(ticket) != 0;
}

void BackgroundDecoder::takeDeliveries() noexcept {
    for (Job *job = shared_->takeOutbox(); job;) {
        const std::unique_ptr<Job> done(job);
        job = job->next;
        live_.erase(done->ticket);
        const auto it = deliveries_.find(done->ticket);
        if (it == deliveries_.end())
            continue; // cancelled: the result goes with `done`
        Deliver delivery = std::move(it->second);
        deliveries_.erase(it);
        recoveryPoint([&] { delivery(std::move(done->outcome)); });
    }
}

void BackgroundDecoder::waitFor(Ticket ticket, const std::function<bool()> &giveUp) {
    while (pending(ticket) && inbox_ && !(giveUp && giveUp())) {
        // In the order the thread's own loop takes them: deliveries, keys,
        // then paints, which come only once nothing else waits. Results are
        // taken from the outbox whether or not their message got through.
        MSG msg;
        while (::PeekMessageW(&msg, inbox_, kDelivered, kDelivered, PM_REMOVE)) {
        }
        takeDeliveries();
        if (!pending(ticket) || (giveUp && giveUp()))
            break;
        if (::PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
            continue;
        }
        // The wheel and drops are commands as keys are: taken now, so that
        // one arriving while a command runs is refused, not run after it.
        if (::PeekMessageW(&msg, nullptr, WM_MOUSEWHEEL, WM_MOUSEWHEEL, PM_REMOVE) ||
            ::PeekMessageW(&msg, nullptr, WM_DROPFILES, WM_DROPFILES, PM_REMOVE)) {
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
    std::vector<Job *> dropped;
    {
        const std::lock_guard<SlimLock> hold(shared_->lock);
        shared_->ending = true;
        dropped.assign(shared_->queue.begin(), shared_->queue.end());
        shared_->queue.clear();
        shared_->inbox = nullptr;
        // What is under way stops at its next chance; its worker releases it.
        for (const auto &[ticket, job] : live_)
            job->cancelled.store(true);
    }
    shared_->wake.wakeAll();
    for (Job *job = shared_->takeOutbox(); job;) {
        Job *next = job->next;
        delete job;
        job = next;
    }
    for (Job *job : dropped)
        delete job;
    deliveries_.clear();
    live_.clear();
    ::DestroyWindow(inbox_);
    inbox_ = nullptr;
}

LRESULT CALLBACK BackgroundDecoder::inboxProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kDelivered) {
        if (auto *self =
                reinterpret_cast<BackgroundDecoder *>(::GetWindowLongPtrW(wnd, GWLP_USERDATA)))
            self->takeDeliveries();
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
