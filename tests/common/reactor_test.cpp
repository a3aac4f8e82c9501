#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/platform/poll_reactor.h"
#include "common/platform/tcp.h"
#include "tests/support/reactor_contract.h"

namespace zelt {
namespace {

TEST(ManualReactor, TimersFireInDueOrderWithoutWaiting) {
    ManualReactor reactor;
    std::vector<std::string> fired;
    int owner = 0;
    reactor.startTimer(&owner, 7, 60000, TimerMode::Periodic, [&] { fired.push_back("idle"); });
    reactor.startTimer(&owner, 1, 500, TimerMode::OneShot, [&] { fired.push_back("start"); });
    reactor.advance(499);
    EXPECT_TRUE(fired.empty());
    reactor.advance(1);
    EXPECT_EQ(fired, std::vector<std::string>{"start"});
    EXPECT_FALSE(reactor.timerRunning(&owner, 1));
    reactor.advance(180000);
    EXPECT_EQ(fired, (std::vector<std::string>{"start", "idle", "idle", "idle"}));
    EXPECT_EQ(reactor.now(), 180500);
}

TEST(ManualReactor, KillRestartAndOwnersKeepTimersApart) {
    ManualReactor reactor;
    int server = 0;
    int client = 0;
    std::vector<std::string> fired;
    reactor.startTimer(&server, 1, 1000, TimerMode::OneShot, [&] { fired.push_back("server"); });
    reactor.startTimer(&client, 1, 1000, TimerMode::OneShot, [&] { fired.push_back("client"); });
    reactor.advance(600);
    // Restarting replaces the due time.
    reactor.startTimer(&server, 1, 1000, TimerMode::OneShot, [&] { fired.push_back("again"); });
    reactor.advance(400);
    EXPECT_EQ(fired, std::vector<std::string>{"client"});
    reactor.killTimer(&server, 1);
    reactor.advance(5000);
    EXPECT_EQ(fired, std::vector<std::string>{"client"});
}

TEST(ManualReactor, ATimerMayKillOrRestartItselfAndOthers) {
    ManualReactor reactor;
    int owner = 0;
    int ticks = 0;
    reactor.startTimer(&owner, 2, 60000, TimerMode::Periodic, [&] {
        if (++ticks == 3) reactor.killTimer(&owner, 2);
    });
    reactor.advance(600000);
    EXPECT_EQ(ticks, 3);
}

// The poll reactor lets real time pass; the manual one moves its clock.
struct PollHarness {
    PollReactor poll;
    Reactor& reactor() { return poll; }
    bool runUntil(const std::function<bool()>& done, Millis realTimeout) {
        return poll.runUntil(done, realTimeout);
    }
    void pass(Millis ms) {
        const Millis end = poll.now() + ms;
        poll.runUntil([&] { return poll.now() >= end; }, ms + 1000);
    }
};

struct ManualHarness {
    ManualReactor manual;
    Reactor& reactor() { return manual; }
    bool runUntil(const std::function<bool()>& done, Millis) {
        // Time moves only here, a millisecond at a time, so nothing can fall due unseen.
        for (int ms = 0; ms < 60000; ++ms) {
            manual.drain();
            if (done()) return true;
            manual.advance(1);
        }
        return done();
    }
    void pass(Millis ms) { manual.advance(ms); }
};

}  // namespace

namespace contract {
INSTANTIATE_TYPED_TEST_SUITE_P(Poll, ReactorContract, ::testing::Types<PollHarness>);
INSTANTIATE_TYPED_TEST_SUITE_P(Manual, ReactorContract, ::testing::Types<ManualHarness>);
}  // namespace contract

}  // namespace zelt
