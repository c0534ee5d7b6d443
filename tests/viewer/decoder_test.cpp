// The background decoder on the paths where something goes wrong: a job
// that throws, jobs cancelled while queued and while under way, a decoder
// ended with results on their way, and a decoder without any worker.
#include "viewer/decoder.h"

#include "base/cancel.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>

using namespace vistoro;

namespace {

// A manual-reset event, for jobs that wait for the test.
struct Gate {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Gate() { CloseHandle(event); }
    void open() const { SetEvent(event); }
    bool waitOpen(DWORD ms = 10000) const { return WaitForSingleObject(event, ms) == WAIT_OBJECT_0; }
};

DecodeOutcome withBitmap() {
    DecodeOutcome out;
    out.bitmap.reset(CreateBitmap(8, 8, 1, 32, nullptr));
    out.verdict = LoadVerdict::decoded;
    return out;
}

// Polls until the condition holds (the workers run on their own).
bool eventually(const std::function<bool()> &condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        Sleep(10);
    }
    return condition();
}

} // namespace

TEST(BackgroundDecoder, AJobThatThrowsIsDeliveredOnceAsAFailureThatMayPass) {
    BackgroundDecoder decoder(1);
    int deliveries = 0;
    DecodeOutcome got;
    got.verdict = LoadVerdict::decoded;
    const auto ticket = decoder.submit(
        "x", [](const std::string &) -> DecodeOutcome { throw std::bad_alloc(); },
        [&](DecodeOutcome outcome) {
            ++deliveries;
            got = std::move(outcome);
        });
    // A wait that could never end would hang the test here.
    decoder.waitFor(ticket);
    EXPECT_FALSE(decoder.pending(ticket));
    EXPECT_EQ(deliveries, 1);
    EXPECT_EQ(got.verdict, LoadVerdict::transient);
    EXPECT_FALSE(got.bitmap);
    // The worker goes on with the next job.
    const auto next = decoder.submit("y", [](const std::string &) { return withBitmap(); },
                                     [&](DecodeOutcome outcome) { got = std::move(outcome); });
    decoder.waitFor(next);
    EXPECT_TRUE(got.bitmap);
}

TEST(BackgroundDecoder, CancelledJobsAreNeitherStartedNorDeliveredAndAJobUnderWayIsAskedToStop) {
    BackgroundDecoder decoder(1);
    Gate running, release;
    std::atomic<bool> sawStop{false}, queuedRan{false};
    int delivered = 0;
    // The one worker is held by the first job, so the second stays queued.
    const auto busy = decoder.submit(
        "busy",
        [&](const std::string &) {
            running.open();
            release.waitOpen();
            // Asked to stop meanwhile: it notices at its next chance.
            for (int i = 0; i < 1000 && !cancelRequested(); ++i)
                Sleep(5);
            sawStop = cancelRequested();
            return withBitmap();
        },
        [&](DecodeOutcome) { ++delivered; });
    const auto queued = decoder.submit(
        "queued",
        [&](const std::string &) {
            queuedRan = true;
            return withBitmap();
        },
        [&](DecodeOutcome) { ++delivered; });
    ASSERT_TRUE(running.waitOpen());
    const int baseline = testsupport::countGdiObjects();
    decoder.cancel(queued);
    decoder.cancel(busy);
    EXPECT_FALSE(decoder.pending(queued));
    EXPECT_FALSE(decoder.pending(busy));
    release.open();
    EXPECT_TRUE(eventually([&] { return decoder.idle(); }));
    // Its result arrives and is released unseen.
    const auto last = decoder.submit("last", [](const std::string &) { return DecodeOutcome{}; },
                                     [](DecodeOutcome) {});
    decoder.waitFor(last);
    EXPECT_TRUE(sawStop) << "the job under way was not asked to stop";
    EXPECT_FALSE(queuedRan) << "a job cancelled in the queue was started";
    EXPECT_EQ(delivered, 0);
    EXPECT_EQ(testsupport::countGdiObjects(), baseline) << "a cancelled result was kept";
}

TEST(BackgroundDecoder, EndingWithResultsOnTheirWayReleasesEveryOne) {
    const int baseline = testsupport::countGdiObjects();
    Gate release;
    {
        BackgroundDecoder decoder(2);
        int delivered = 0;
        // Two results wait in the outbox, undelivered: nothing pumps.
        std::atomic<int> done{0};
        for (int i = 0; i < 2; ++i)
            decoder.submit(
                "made",
                [&](const std::string &) {
                    DecodeOutcome out = withBitmap();
                    ++done;
                    return out;
                },
                [&](DecodeOutcome) { ++delivered; });
        ASSERT_TRUE(eventually([&] { return done == 2 && decoder.idle(); }));
        // One more is under way when the decoder ends, and one queued behind it.
        Gate running;
        decoder.submit(
            "late",
            [&](const std::string &) {
                running.open();
                release.waitOpen();
                return withBitmap();
            },
            [&](DecodeOutcome) { ++delivered; });
        decoder.submit("queued", [](const std::string &) { return withBitmap(); },
                       [&](DecodeOutcome) { ++delivered; });
        ASSERT_TRUE(running.waitOpen());
        decoder.end();
        EXPECT_EQ(delivered, 0);
    }
    release.open();
    // The worker releases what it made for a decoder that is gone.
    EXPECT_TRUE(eventually([&] { return testsupport::countGdiObjects() == baseline; }))
        << testsupport::countGdiObjects() << " GDI objects, " << baseline << " before";
}

TEST(BackgroundDecoder, WithoutAWorkerJobsRunHereAndAreDeliveredOnce) {
    BackgroundDecoder decoder(0);
    EXPECT_EQ(decoder.workerCount(), 0u);
    const DWORD here = GetCurrentThreadId();
    DWORD ranOn = 0;
    int delivered = 0;
    const auto ticket = decoder.submit(
        "here",
        [&](const std::string &) {
            ranOn = GetCurrentThreadId();
            return withBitmap();
        },
        [&](DecodeOutcome outcome) { delivered += outcome.bitmap ? 1 : 100; });
    EXPECT_EQ(ranOn, here);
    // Delivered through the thread's loop, as any other, not inside submit.
    EXPECT_EQ(delivered, 0);
    EXPECT_TRUE(decoder.pending(ticket));
    decoder.waitFor(ticket);
    decoder.waitFor(ticket);
    EXPECT_EQ(delivered, 1);
    EXPECT_TRUE(decoder.idle());
}
