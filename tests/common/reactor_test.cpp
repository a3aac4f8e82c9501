#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/platform/poll_reactor.h"
#include "common/platform/tcp.h"

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

TEST(PollReactor, SocketHandlersSeeReadinessAndAReusedNumberIsNotConfused) {
    PollReactor reactor;
    Handle a[2];
    Handle b[2];
    ASSERT_TRUE(tcp::socketPair(a));
    ASSERT_TRUE(tcp::socketPair(b));
    int aEvents = 0;
    int bEvents = 0;
    int laterEvents = 0;
    // The first handler re-watches the other socket with a new handler; readiness polled for
    // the old watch must not reach the new one in the same turn.
    reactor.watch(a[0], kReadable, [&](unsigned) {
        ++aEvents;
        char c;
        [[maybe_unused]] auto n = ::read(a[0], &c, 1);
        reactor.unwatch(b[0]);
        reactor.watch(b[0], kReadable, [&](unsigned) { ++laterEvents; });
    });
    reactor.watch(b[0], kReadable, [&](unsigned) { ++bEvents; });
    ASSERT_EQ(::write(a[1], "x", 1), 1);
    ASSERT_EQ(::write(b[1], "y", 1), 1);
    reactor.runOnce(100);
    EXPECT_EQ(aEvents, 1);
    EXPECT_EQ(laterEvents, 0);
    EXPECT_LE(bEvents, 1);
    reactor.runOnce(100);
    EXPECT_EQ(laterEvents, 1);  // the new watch works from the next turn on
    for (Handle h : {a[0], a[1], b[0], b[1]}) ::close(h);
}

TEST(PollReactor, RealTimersFire) {
    PollReactor reactor;
    int owner = 0;
    bool fired = false;
    reactor.startTimer(&owner, 1, 20, TimerMode::OneShot, [&] { fired = true; });
    EXPECT_TRUE(reactor.runUntil([&] { return fired; }, 2000));
}

}  // namespace
}  // namespace zelt
