#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <queue>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/platform/reactor.h"

struct pollfd;

namespace zelt {

// Polls one socket without waiting: the readiness bits of interest it has now, with kHangup
// whatever the interest. Reactors that are only woken by a socket (the Qt one) ask it what
// the socket is ready for, so that every reactor reports the same bits.
unsigned readyNow(Handle handle, unsigned interest);

// Reactor on poll(2), for the headless server and for tests.
class PollReactor : public Reactor {
public:
    // The clock must outlive the reactor; without one the system clock is used.
    explicit PollReactor(const Clock* clock = nullptr);
    ~PollReactor() override;

    void watch(Handle handle, unsigned interest, IoHandler handler) override;
    void setInterest(Handle handle, unsigned interest) override;
    void unwatch(Handle handle) override;
    void startTimer(const void* owner, int id, Millis period, TimerMode mode,
                    TimerHandler handler) override;
    void killTimer(const void* owner, int id) override;
    bool timerRunning(const void* owner, int id) const override;
    void defer(const void* owner, std::function<void()> fn) override;
    void cancelDeferred(const void* owner) override;
    const Clock& clock() const override { return *clock_; }

    // Waits at most maxWait real milliseconds for socket readiness (less when a timer falls due
    // sooner), handles what is ready, then fires due timers. Returns the number of handlers run.
    int runOnce(Millis maxWait);
    // Runs until stop() is called.
    void run();
    void stop() { stopped_ = true; }
    // Runs until done() holds or realTimeout milliseconds of real time have passed.
    bool runUntil(const std::function<bool()>& done, Millis realTimeout = 5000);

protected:
    // Handles ready sockets without waiting; returns the number of handlers run.
    int pollSockets(int timeoutMs);
    // Fires timers due at the clock's present time; returns the number fired.
    int fireDueTimers();
    // The earliest due time of a running timer, or -1.
    Millis nextDue();
    // Runs the deferred calls, including those they make; returns the number run.
    int runDeferred();

private:
    struct Watch {
        unsigned interest = 0;
        std::uint64_t generation = 0;
        std::shared_ptr<IoHandler> handler;
    };
    using TimerKey = std::pair<const void*, int>;
    struct Timer {
        Millis due = 0;
        Millis period = 0;
        TimerMode mode = TimerMode::OneShot;
        std::uint64_t generation = 0;
        std::shared_ptr<TimerHandler> handler;
    };
    struct DueEntry {
        Millis due;
        std::uint64_t generation;
        TimerKey key;
        bool operator>(const DueEntry& other) const {
            return due != other.due ? due > other.due : generation > other.generation;
        }
    };

    std::unique_ptr<Clock> ownClock_;
    const Clock* clock_;
    std::unordered_map<Handle, Watch> watches_;
    std::map<TimerKey, Timer> timers_;
    std::priority_queue<DueEntry, std::vector<DueEntry>, std::greater<>> dueQueue_;
    std::deque<std::pair<const void*, std::function<void()>>> deferred_;
    std::uint64_t nextGeneration_ = 1;
    bool stopped_ = false;
    std::vector<struct pollfd> pollSet_;
    std::vector<std::pair<Handle, std::uint64_t>> pollOwners_;
};

// A poll reactor whose clock moves only through advance(), so that a 60-second timer fires
// without waiting. Sockets still work for real: advance() handles ready sockets between timer
// firings, so that exchanges started by one timer are answered before the next one falls due.
struct ManualClockHolder {
    explicit ManualClockHolder(LocalTime start) : manualClock(start) {}
    ManualClock manualClock;
};

class ManualReactor final : private ManualClockHolder, public PollReactor {
public:
    explicit ManualReactor(LocalTime start = {2007, 4, 28, 16, 5, 9, 0});

    // Moves the clock forward by ms, firing every timer that falls due on the way in order.
    void advance(Millis ms);
    // Handles socket readiness until nothing more is ready right now, and until the work
    // handed to other threads has come back (waiting at most kOutsideWorkWait real
    // milliseconds for each piece of it).
    void drain();
    static constexpr int kOutsideWorkWait = 30000;
    // Ends the present turn without looking at the sockets: runs the deferred calls.
    void endTurn() { runDeferred(); }
    ManualClock& manualClock() { return ManualClockHolder::manualClock; }
};

}  // namespace zelt
