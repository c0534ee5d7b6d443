// Pictures decoded off the window's thread. Jobs, each a file and what to
// make of it, go to one worker thread, or two where the machine has two or
// more cores; each result comes back to the thread that made the decoder
// (the window's thread) and is handed to the job's delivery there, exactly
// once, also when the job threw (then as a failure that may pass). A job
// cancelled before it starts never runs; one under way is asked to stop
// (base/cancel.h) and its result is released when it arrives. Nothing waits
// for a decode under way: ending the decoder leaves it to stop on its own,
// and its result is released by the worker.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "base/handles.h"
#include "base/paths.h"
#include "imaging/decode.h"
#include "viewer/picture_budget.h"

namespace vistoro {

// What a worker made of a file.
struct DecodeOutcome {
    UniqueBitmap bitmap;            // none when the file gave nothing
    int width = 0, height = 0;      // the bitmap's size
    std::optional<FileStamp> stamp; // the file as it was read
    LoadVerdict verdict = LoadVerdict::refused; // decoded when there is a bitmap
    bool paintsEveryPixel = false;  // nothing behind the picture shows through it
    BudgetShare share;              // what the picture takes of the budget
};

class BackgroundDecoder {
  public:
    using Ticket = std::uint64_t;
    // Runs on a worker: may use only what is safe on any thread (the
    // decoder's own functions, GDI objects of its own). Whatever it throws
    // is delivered as a failure that may pass.
    using Make = std::function<DecodeOutcome(const std::string &file)>;
    // Runs on the decoder's thread, from its message loop.
    using Deliver = std::function<void(DecodeOutcome)>;

    // One worker, or two where the machine has two or more cores.
    BackgroundDecoder();
    // That many workers; with none, every job runs on the calling thread
    // inside submit, and its result is delivered as any other.
    explicit BackgroundDecoder(unsigned workers);
    ~BackgroundDecoder();
    BackgroundDecoder(const BackgroundDecoder &) = delete;
    BackgroundDecoder &operator=(const BackgroundDecoder &) = delete;

    // Queues a job, behind those queued before it.
    Ticket submit(std::string file, Make make, Deliver deliver);
    // The job is dropped from the queue, or, when it is under way, asked
    // to stop and its result released on arrival. Nothing for a ticket
    // already delivered.
    void cancel(Ticket ticket) noexcept;
    // True until the ticket's delivery has run or it was cancelled.
    bool pending(Ticket ticket) const noexcept;
    // Returns once the ticket is no longer pending, or as soon as giveUp
    // (when given) is true. Meanwhile the thread takes deliveries, paints,
    // messages sent to its windows, key presses, wheel turns and drops,
    // which reach their windows as usual (a command already running refuses
    // them, Esc closes a window); other mouse input and posted messages wait
    // for later.
    void waitFor(Ticket ticket, const std::function<bool()> &giveUp = {});
    // Every job dropped or asked to stop and left to finish unseen;
    // returns at once.
    void end() noexcept;
    // True when no job is queued or under way (its result may still be
    // on its way to the thread).
    bool idle() const noexcept;

    unsigned workerCount() const noexcept { return workers_; }
    // The ticket of the latest job submitted; 0 before the first.
    Ticket lastTicket() const noexcept { return lastTicket_; }

  private:
    struct Job;
    struct Shared;
    static LRESULT CALLBACK inboxProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void start(unsigned workers);
    // Runs the deliveries of every result that has arrived.
    void takeDeliveries() noexcept;

    std::shared_ptr<Shared> shared_;
    HWND inbox_ = nullptr;
    unsigned workers_ = 0;
    Ticket lastTicket_ = 0;
    std::unordered_map<Ticket, Deliver> deliveries_;
    // Jobs not yet taken back from the workers: queued, under way, or
    // waiting to be delivered.
    std::unordered_map<Ticket, Job *> live_;
};

// The program's decoder, made by the first call, on the window's thread.
BackgroundDecoder &backgroundDecoder();
// Ends the program's decoder if one was made; a shut-down routine.
void endBackgroundDecoder() noexcept;

} // namespace vistoro
