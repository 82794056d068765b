// SPDX-License-Identifier: MIT
// Signals that end the run: each asks for the close once, through the event loop, and
// leaves the next one to end the program at once.
#include "session/shutdownsignals.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace vdm::test {
namespace {

/** What `signal` does now. */
void (*disposition(int signal))(int)
{
    struct sigaction now = {};
    ::sigaction(signal, nullptr, &now);
    return now.sa_handler;
}

/** Sets `signal`'s action for the lifetime of the object, and puts the old one back. */
class ScopedDisposition {
public:
    ScopedDisposition(int signal, void (*handler)(int)) : m_signal(signal)
    {
        struct sigaction action = {};
        action.sa_handler = handler;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, &m_old);
    }
    ~ScopedDisposition() { ::sigaction(m_signal, &m_old, nullptr); }

private:
    int m_signal;
    struct sigaction m_old = {};
};

extern "C" void countingHandler(int)
{}

class ShutdownSignalsTest : public ::testing::TestWithParam<int> {};

TEST_P(ShutdownSignalsTest, TheFirstAsksForTheCloseOnceAndTheNextEndsAtOnce)
{
    const int signal = GetParam();
    ScopedDisposition before(signal, countingHandler);
    {
        ShutdownSignals handler;
        ASSERT_TRUE(handler.active());
        QSignalSpy requested(&handler, &ShutdownSignals::closeRequested);
        ASSERT_EQ(::raise(signal), 0); // the program goes on: only a byte was written
        EXPECT_EQ(requested.count(), 0) << "nothing happens inside the handler";
        ASSERT_TRUE(QTest::qWaitFor([&] { return requested.count() > 0; }, 5000));
        EXPECT_EQ(requested.count(), 1);
        EXPECT_EQ(requested[0][0].toInt(), signal);
        EXPECT_EQ(handler.received(), signal);
        // A second one meets the default action: the program would end there and then.
        for (int other : {SIGTERM, SIGINT, SIGHUP})
            EXPECT_EQ(disposition(other), SIG_DFL) << other;
    }
    EXPECT_EQ(disposition(signal), &countingHandler) << "the handler from before is back";
}

INSTANTIATE_TEST_SUITE_P(EachSignal, ShutdownSignalsTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& row) {
                             return row.param == SIGTERM  ? std::string("Term")
                                    : row.param == SIGINT ? std::string("Int")
                                                          : std::string("Hup");
                         });

TEST(ShutdownSignals, AHangUpIgnoredAtTheStartStaysIgnored)
{
    ScopedDisposition nohup(SIGHUP, SIG_IGN);
    ShutdownSignals handler;
    EXPECT_EQ(disposition(SIGHUP), SIG_IGN);
    EXPECT_NE(disposition(SIGTERM), SIG_DFL);
}

TEST(ShutdownSignals, OnlyOneObjectHandlesThem)
{
    ShutdownSignals first;
    ShutdownSignals second;
    EXPECT_TRUE(first.active());
    EXPECT_FALSE(second.active());
}

} // namespace
} // namespace vdm::test
