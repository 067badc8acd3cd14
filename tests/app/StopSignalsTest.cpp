#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <csignal>

#include "app/CStopSignals.h"
#include "support/TestApplication.h"

namespace {

void (*CurrentHandler(int signal))(int) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

TEST(StopSignals, SignalReachesTheHandlerFromTheEventLoopNotFromTheSignal) {
    TestApplication();
    QEventLoop loop;
    std::vector<int> received;
    CStopSignals stop([&](int signal) {
        received.push_back(signal);
        loop.quit();
    });
    ASSERT_TRUE(stop.IsActive());

    std::raise(SIGTERM);
    // The handler only queued the signal; nothing ran yet.
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(stop.PendingSignal(), SIGTERM);

    QTimer::singleShot(5000, &loop, &QEventLoop::quit); // a failing test must not hang
    loop.exec();
    EXPECT_EQ(received, std::vector<int>{SIGTERM});
}

TEST(StopSignals, SignalsArrivingTogetherAreDeliveredOnceWithTheLastOne) {
    TestApplication();
    std::vector<int> received;
    CStopSignals stop([&](int signal) { received.push_back(signal); });
    std::raise(SIGTERM);
    std::raise(SIGINT);
    stop.Dispatch();
    EXPECT_EQ(received, std::vector<int>{SIGINT});
    // A closed terminal and a quit key stop the run as well instead of killing the process.
    for (const int signal : {SIGHUP, SIGQUIT}) {
        std::raise(signal);
        stop.Dispatch();
        EXPECT_EQ(received.back(), signal);
    }
    received.resize(1);
    // Nothing left to read: a second dispatch calls nobody.
    stop.Dispatch();
    EXPECT_EQ(received.size(), 1u);
}

TEST(StopSignals, PreviousDispositionsReturnAfterwards) {
    TestApplication();
    std::signal(SIGINT, SIG_IGN);
    const auto termBefore = CurrentHandler(SIGTERM);
    {
        CStopSignals stop([](int) {});
        EXPECT_NE(CurrentHandler(SIGINT), SIG_IGN);
        EXPECT_EQ(stop.PendingSignal(), 0);
    }
    EXPECT_EQ(CurrentHandler(SIGINT), SIG_IGN);
    EXPECT_EQ(CurrentHandler(SIGTERM), termBefore);
    std::signal(SIGINT, SIG_DFL);
}

} // namespace
