#pragma once

#include <cstddef>
#include <functional>

#include "common/platform/clock.h"

namespace zelt {

// A socket as the operating system knows it.
using Handle = int;
inline constexpr Handle kNoHandle = -1;

// Readiness bits handed to an I/O handler. A listening socket is readable when a connection
// waits to be accepted; a connecting socket becomes writable when the connect has ended
// (successfully or not). kHangup reports a closed or failed socket whatever the interest.
enum IoEvent : unsigned {
    kReadable = 1u << 0,
    kWritable = 1u << 1,
    kHangup = 1u << 2,
};

enum class TimerMode { OneShot, Periodic };

// The one event loop of a program: socket readiness and timers, on one thread. Timers are
// named by the program's own ids; the owner pointer keeps two programs' ids apart when both
// run on one reactor (as they do in the tests).
class Reactor {
public:
    using IoHandler = std::function<void(unsigned events)>;
    using TimerHandler = std::function<void()>;

    virtual ~Reactor() = default;

    // Starts or replaces the watch of a socket. Interest is a mask of kReadable and kWritable.
    virtual void watch(Handle handle, unsigned interest, IoHandler handler) = 0;
    // Changes the interest of a watched socket, keeping its handler.
    virtual void setInterest(Handle handle, unsigned interest) = 0;
    virtual void unwatch(Handle handle) = 0;

    // Starts a timer, replacing a running one of the same owner and id.
    virtual void startTimer(const void* owner, int id, Millis period, TimerMode mode,
                            TimerHandler handler) = 0;
    virtual void killTimer(const void* owner, int id) = 0;
    virtual bool timerRunning(const void* owner, int id) const = 0;

    // Runs fn once at the end of the present turn of the loop: after the handler that is running
    // now and the rest of the turn's ready work, before the loop waits again. Deferred calls run
    // in the order they were made; one made by a deferred call runs in the same turn. Work that
    // must follow everything a turn changes (a save shared by several requests, freeing an object
    // from inside its own handler) is deferred instead of put on a timer of 0 ms.
    virtual void defer(const void* owner, std::function<void()> fn) = 0;
    // Drops every deferred call of owner that has not run yet (an owner going away calls this).
    virtual void cancelDeferred(const void* owner) = 0;

    virtual const Clock& clock() const = 0;
    Millis now() const { return clock().monotonic(); }

    // Work handed to another thread whose ending comes back to this loop through a watched
    // socket. A loop that runs for ever needs no count of it; one driven by hand (tests) waits
    // for it before it takes itself for idle.
    void beginOutsideWork() { ++outsideWork_; }
    void endOutsideWork(std::size_t count = 1) { outsideWork_ -= count; }
    std::size_t outsideWork() const { return outsideWork_; }

private:
    std::size_t outsideWork_ = 0;
};

}  // namespace zelt
