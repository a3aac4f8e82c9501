#pragma once

// What every Reactor must do, as one typed suite: the poll reactor, the manual reactor and the
// Qt reactor each instantiate it with a harness that knows how to let time pass on it.
//
// A harness H provides:
//   Reactor& reactor();
//   bool runUntil(const std::function<bool()>& done, Millis realTimeout);
//   void pass(Millis ms);   // lets ms of the reactor's own time go by, running what falls due
//
//   INSTANTIATE_TYPED_TEST_SUITE_P(Poll, ReactorContract, ::testing::Types<PollHarness>);

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/platform/reactor.h"
#include "common/platform/tcp.h"

namespace zelt::contract {

template <typename Harness>
class ReactorContract : public ::testing::Test {
protected:
    Harness harness;
    Reactor& reactor() { return harness.reactor(); }
    int owner = 0;
    int other = 0;
};

TYPED_TEST_SUITE_P(ReactorContract);

TYPED_TEST_P(ReactorContract, OneShotAndPeriodicTimersFireOnTimeAndStopWhenKilled) {
    Reactor& r = this->reactor();
    std::vector<std::string> fired;
    r.startTimer(&this->owner, 1, 30, TimerMode::OneShot, [&] { fired.push_back("once"); });
    r.startTimer(&this->owner, 2, 40, TimerMode::Periodic, [&] { fired.push_back("tick"); });
    EXPECT_TRUE(r.timerRunning(&this->owner, 1));
    this->harness.pass(10);
    EXPECT_TRUE(fired.empty());
    ASSERT_TRUE(this->harness.runUntil([&] { return fired.size() >= 3; }, 3000));
    EXPECT_EQ(fired[0], "once");
    EXPECT_EQ(fired[1], "tick");
    EXPECT_FALSE(r.timerRunning(&this->owner, 1));
    EXPECT_TRUE(r.timerRunning(&this->owner, 2));
    r.killTimer(&this->owner, 2);
    const std::size_t before = fired.size();
    this->harness.pass(100);
    EXPECT_EQ(fired.size(), before);
    EXPECT_EQ(std::count(fired.begin(), fired.end(), "once"), 1);
}

TYPED_TEST_P(ReactorContract, RestartReplacesATimerAndOwnersKeepIdsApart) {
    Reactor& r = this->reactor();
    std::vector<std::string> fired;
    r.startTimer(&this->owner, 1, 30, TimerMode::OneShot, [&] { fired.push_back("first"); });
    r.startTimer(&this->other, 1, 30, TimerMode::OneShot, [&] { fired.push_back("other"); });
    r.startTimer(&this->owner, 1, 60, TimerMode::OneShot, [&] { fired.push_back("again"); });
    ASSERT_TRUE(this->harness.runUntil([&] { return fired.size() >= 2; }, 3000));
    this->harness.pass(50);
    EXPECT_EQ(fired, (std::vector<std::string>{"other", "again"}));
}

TYPED_TEST_P(ReactorContract, ATimerMayKillItselfAndStartAnother) {
    Reactor& r = this->reactor();
    int ticks = 0;
    bool next = false;
    r.startTimer(&this->owner, 2, 10, TimerMode::Periodic, [&] {
        if (++ticks == 3) {
            r.killTimer(&this->owner, 2);
            r.startTimer(&this->owner, 3, 10, TimerMode::OneShot, [&] { next = true; });
        }
    });
    ASSERT_TRUE(this->harness.runUntil([&] { return next; }, 3000));
    this->harness.pass(50);
    EXPECT_EQ(ticks, 3);
}

TYPED_TEST_P(ReactorContract, DeferredCallsRunAfterTheHandlerInOrderAndCanBeCancelled) {
    Reactor& r = this->reactor();
    std::vector<std::string> order;
    r.startTimer(&this->owner, 1, 5, TimerMode::OneShot, [&] {
        r.defer(&this->owner, [&] {
            order.push_back("first");
            r.defer(&this->owner, [&] { order.push_back("nested"); });
        });
        r.defer(&this->other, [&] { order.push_back("cancelled"); });
        r.defer(&this->owner, [&] { order.push_back("second"); });
        r.cancelDeferred(&this->other);
        order.push_back("handler");
    });
    ASSERT_TRUE(this->harness.runUntil([&] { return order.size() >= 4; }, 3000));
    this->harness.pass(20);
    EXPECT_EQ(order, (std::vector<std::string>{"handler", "first", "second", "nested"}));
}

TYPED_TEST_P(ReactorContract, ADeferredCallRunsBeforeALaterTimer) {
    Reactor& r = this->reactor();
    std::vector<std::string> order;
    r.defer(&this->owner, [&] { order.push_back("deferred"); });
    r.startTimer(&this->owner, 1, 20, TimerMode::OneShot, [&] { order.push_back("timer"); });
    ASSERT_TRUE(this->harness.runUntil([&] { return order.size() >= 2; }, 3000));
    EXPECT_EQ(order, (std::vector<std::string>{"deferred", "timer"}));
}

TYPED_TEST_P(ReactorContract, SocketsReportReadableWritableAndHangup) {
    Reactor& r = this->reactor();
    Handle pair[2];
    ASSERT_TRUE(tcp::socketPair(pair));
    unsigned seen = 0;
    std::string got;
    r.watch(pair[0], kReadable, [&](unsigned events) {
        seen |= events;
        char buffer[16];
        const ssize_t n = ::read(pair[0], buffer, sizeof buffer);
        if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
        if (n == 0) r.unwatch(pair[0]);
    });
    this->harness.pass(20);
    EXPECT_EQ(seen, 0u);  // nothing to read yet
    ASSERT_EQ(::write(pair[1], "abc", 3), 3);
    ASSERT_TRUE(this->harness.runUntil([&] { return got == "abc"; }, 3000));
    EXPECT_TRUE(seen & kReadable);

    bool writable = false;
    r.watch(pair[1], kWritable, [&](unsigned events) {
        if (events & kWritable) writable = true;
        r.setInterest(pair[1], 0);
    });
    ASSERT_TRUE(this->harness.runUntil([&] { return writable; }, 3000));
    r.unwatch(pair[1]);
    ::close(pair[1]);
    // The peer's close shows as readable (end of file) or hangup.
    seen = 0;
    ASSERT_TRUE(this->harness.runUntil([&] { return (seen & (kReadable | kHangup)) != 0; }, 3000));
    ::close(pair[0]);
}

TYPED_TEST_P(ReactorContract, AHandlerThatClosesAnotherSocketKeepsItsEventsFromTheNewWatch) {
    Reactor& r = this->reactor();
    Handle a[2];
    Handle b[2];
    ASSERT_TRUE(tcp::socketPair(a));
    ASSERT_TRUE(tcp::socketPair(b));
    int oldEvents = 0;
    int newEvents = 0;
    bool swapped = false;
    auto onA = [&](unsigned) {
        char c;
        [[maybe_unused]] auto n = ::read(a[0], &c, 1);
        if (swapped) return;
        swapped = true;
        r.unwatch(b[0]);
        r.watch(b[0], kReadable, [&](unsigned) {
            ++newEvents;
            char d;
            [[maybe_unused]] auto m = ::read(b[0], &d, 1);
        });
    };
    r.watch(a[0], kReadable, onA);
    r.watch(b[0], kReadable, [&](unsigned) { ++oldEvents; });
    ASSERT_EQ(::write(a[1], "x", 1), 1);
    ASSERT_TRUE(this->harness.runUntil([&] { return swapped; }, 3000));
    ASSERT_EQ(::write(b[1], "y", 1), 1);
    ASSERT_TRUE(this->harness.runUntil([&] { return newEvents == 1; }, 3000));
    EXPECT_EQ(oldEvents, 0);
    r.unwatch(a[0]);
    r.unwatch(b[0]);
    for (Handle h : {a[0], a[1], b[0], b[1]}) ::close(h);
}

REGISTER_TYPED_TEST_SUITE_P(ReactorContract, OneShotAndPeriodicTimersFireOnTimeAndStopWhenKilled,
                            RestartReplacesATimerAndOwnersKeepIdsApart,
                            ATimerMayKillItselfAndStartAnother,
                            DeferredCallsRunAfterTheHandlerInOrderAndCanBeCancelled,
                            ADeferredCallRunsBeforeALaterTimer,
                            SocketsReportReadableWritableAndHangup,
                            AHandlerThatClosesAnotherSocketKeepsItsEventsFromTheNewWatch);

}  // namespace zelt::contract
