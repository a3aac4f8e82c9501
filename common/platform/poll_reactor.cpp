#include "common/platform/poll_reactor.h"

#include <poll.h>

#include <cerrno>

namespace zelt {

namespace {

short pollEvents(unsigned interest) {
    short events = 0;
    if (interest & kReadable) events |= POLLIN;
    if (interest & kWritable) events |= POLLOUT;
    return events;
}

unsigned ioEvents(short revents, unsigned interest) {
    unsigned events = 0;
    if (revents & POLLIN) events |= kReadable;
    if (revents & POLLOUT) events |= kWritable;
    if (revents & (POLLHUP | POLLERR | POLLNVAL)) events |= kHangup;
    return events & (interest | kHangup);
}

}  // namespace

unsigned readyNow(Handle handle, unsigned interest) {
    pollfd one{handle, pollEvents(interest), 0};
    int ready = 0;
    do {
        ready = ::poll(&one, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 ? ioEvents(one.revents, interest) : 0;
}

PollReactor::PollReactor(const Clock* clock) {
    if (clock == nullptr) {
        ownClock_ = std::make_unique<SystemClock>();
        clock = ownClock_.get();
    }
    clock_ = clock;
}

PollReactor::~PollReactor() = default;

void PollReactor::watch(Handle handle, unsigned interest, IoHandler handler) {
    Watch& w = watches_[handle];
    w.interest = interest;
    w.generation = nextGeneration_++;
    w.handler = std::make_shared<IoHandler>(std::move(handler));
}

void PollReactor::setInterest(Handle handle, unsigned interest) {
    auto it = watches_.find(handle);
    if (it != watches_.end()) it->second.interest = interest;
}

void PollReactor::unwatch(Handle handle) { watches_.erase(handle); }

void PollReactor::startTimer(const void* owner, int id, Millis period, TimerMode mode,
                             TimerHandler handler) {
    if (period < 0) period = 0;
    const TimerKey key{owner, id};
    Timer& t = timers_[key];
    t.due = now() + period;
    t.period = period;
    t.mode = mode;
    t.generation = nextGeneration_++;
    t.handler = std::make_shared<TimerHandler>(std::move(handler));
    dueQueue_.push(DueEntry{t.due, t.generation, key});
}

void PollReactor::killTimer(const void* owner, int id) { timers_.erase(TimerKey{owner, id}); }

bool PollReactor::timerRunning(const void* owner, int id) const {
    return timers_.count(TimerKey{owner, id}) != 0;
}

void PollReactor::defer(const void* owner, std::function<void()> fn) {
    deferred_.emplace_back(owner, std::move(fn));
}

void PollReactor::cancelDeferred(const void* owner) {
    for (auto& call : deferred_) {
        if (call.first == owner) call = {nullptr, nullptr};
    }
}

int PollReactor::runDeferred() {
    int ran = 0;
    while (!deferred_.empty()) {
        std::function<void()> fn = std::move(deferred_.front().second);
        deferred_.pop_front();
        if (!fn) continue;  // cancelled
        ++ran;
        fn();
    }
    return ran;
}

Millis PollReactor::nextDue() {
    // Entries of killed or restarted timers stay in the queue until they surface here.
    while (!dueQueue_.empty()) {
        const DueEntry& top = dueQueue_.top();
        auto it = timers_.find(top.key);
        if (it != timers_.end() && it->second.generation == top.generation &&
            it->second.due == top.due) {
            return top.due;
        }
        dueQueue_.pop();
    }
    return -1;
}

int PollReactor::fireDueTimers() {
    int fired = 0;
    const Millis present = now();
    for (;;) {
        const Millis due = nextDue();
        if (due < 0 || due > present) break;
        const DueEntry entry = dueQueue_.top();
        dueQueue_.pop();
        Timer& t = timers_[entry.key];
        std::shared_ptr<TimerHandler> handler = t.handler;
        if (t.mode == TimerMode::Periodic) {
            // A period of 0 would fire for ever within one turn.
            t.due = entry.due + (t.period > 0 ? t.period : 1);
            if (t.due <= present) t.due = present + (t.period > 0 ? t.period : 1);
            dueQueue_.push(DueEntry{t.due, t.generation, entry.key});
        } else {
            timers_.erase(entry.key);
        }
        ++fired;
        (*handler)();
    }
    return fired;
}

int PollReactor::pollSockets(int timeoutMs) {
    pollSet_.clear();
    pollOwners_.clear();
    for (const auto& [handle, w] : watches_) {
        pollSet_.push_back(pollfd{handle, pollEvents(w.interest), 0});
        pollOwners_.emplace_back(handle, w.generation);
    }
    int ready = ::poll(pollSet_.data(), pollSet_.size(), timeoutMs);
    if (ready <= 0) return 0;
    int handled = 0;
    for (std::size_t i = 0; i < pollSet_.size(); ++i) {
        const short revents = pollSet_[i].revents;
        if (revents == 0) continue;
        // A handler run earlier in this turn may have closed this socket, and the number may
        // even have been reused already; only the watch that was polled gets the event.
        auto it = watches_.find(pollOwners_[i].first);
        if (it == watches_.end() || it->second.generation != pollOwners_[i].second) continue;
        const unsigned events = ioEvents(revents, it->second.interest);
        if (events == 0) continue;
        std::shared_ptr<IoHandler> handler = it->second.handler;
        ++handled;
        (*handler)(events);
    }
    return handled;
}

int PollReactor::runOnce(Millis maxWait) {
    Millis wait = maxWait;
    const Millis due = nextDue();
    if (due >= 0) {
        const Millis untilDue = due - now();
        wait = untilDue < wait ? (untilDue < 0 ? 0 : untilDue) : wait;
    }
    // Work deferred outside a turn (before the loop started) must not wait for the next event.
    int handled = runDeferred();
    if (handled > 0) wait = 0;
    handled += pollSockets(static_cast<int>(wait));
    handled += runDeferred();
    handled += fireDueTimers();
    handled += runDeferred();
    return handled;
}

void PollReactor::run() {
    stopped_ = false;
    while (!stopped_) runOnce(1000);
}

bool PollReactor::runUntil(const std::function<bool()>& done, Millis realTimeout) {
    SystemClock real;
    const Millis end = real.monotonic() + realTimeout;
    while (!done()) {
        const Millis left = end - real.monotonic();
        if (left <= 0) return false;
        runOnce(left < 10 ? left : 10);
    }
    return true;
}

ManualReactor::ManualReactor(LocalTime start)
    : ManualClockHolder(start), PollReactor(&(ManualClockHolder::manualClock)) {}

void ManualReactor::drain() {
    for (int pass = 0; pass < 10000; ++pass) {
        int ran = runDeferred();
        // Work on another thread comes back through a socket: it is waited for (in real time,
        // the manual clock standing still) as if it had been done on this one.
        ran += pollSockets(outsideWork() > 0 ? kOutsideWorkWait : 0);
        ran += runDeferred();
        ran += fireDueTimers();
        ran += runDeferred();
        if (ran == 0) return;
    }
}

void ManualReactor::advance(Millis ms) {
    ManualClock& clock = manualClock();
    const Millis target = clock.monotonic() + ms;
    drain();
    for (;;) {
        const Millis due = nextDue();
        if (due < 0 || due > target) break;
        if (due > clock.monotonic()) clock.set(due);
        fireDueTimers();
        runDeferred();
        drain();
    }
    clock.set(target);
    drain();
}

}  // namespace zelt
