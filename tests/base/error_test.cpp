#include "base/error.h"

#include <gtest/gtest.h>

#include <functional>

using namespace vistoro;

namespace vistoro::probe {
// A return type with parentheses of its own must not hide the name.
std::function<void()> makeAction() {
    TrailFrame f;
    const std::string name = PROCNAME(0);
    return [name] { EXPECT_EQ(name, "probe::makeAction"); };
}
int lineOfRaise() {
    TrailFrame f;
    ErrorObject e;
    raiseError(e);
    return PROCLINE(0);
}
} // namespace vistoro::probe

TEST(Trail, NamesLevelsAndRaiseLines) {
    probe::makeAction()();
    setErrorHandler([](const ErrorObject &) { return 0; });
    EXPECT_EQ(probe::lineOfRaise(), 19);
    setErrorHandler(nullptr);

    EXPECT_EQ(trailDepth(), 0u);
    {
        TrailFrame a("A", 1);
        TrailFrame b("B", 0);
        EXPECT_EQ(PROCNAME(0), "B");
        EXPECT_EQ(PROCNAME(1), "A");
        EXPECT_EQ(PROCLINE(1), 1);
        EXPECT_EQ(PROCNAME(2), "");
        EXPECT_EQ(PROCLINE(-1), 0);
    }
    EXPECT_EQ(trailDepth(), 0u);
}

TEST(Raise, WithoutHandlerThrowsTheErrorItself) {
    ErrorObject e;
    e.osCode = 2;
    try {
        raiseError(e);
        FAIL() << "no exception";
    } catch (const UnhandledError &u) {
        EXPECT_EQ(u.error.osCode, 2);
    }
}

TEST(Shutdown, RunsOnceInReverseOrderEvenOutOfScopeOrder) {
    std::string ran;
    const std::size_t before = pendingShutdowns();
    {
        auto first = std::make_unique<ShutdownRoutine>([&] { ran += "1"; });
        ShutdownRoutine second([&] { ran += "2"; });
        first.reset(); // goes before the later one: the later still runs first
        EXPECT_EQ(ran, "21");
        EXPECT_EQ(pendingShutdowns(), before);
    }
    EXPECT_EQ(ran, "21");
    {
        ShutdownRoutine throwing([] { throw 1; }); // clean-up never raises
    }
    EXPECT_EQ(pendingShutdowns(), before);
}
