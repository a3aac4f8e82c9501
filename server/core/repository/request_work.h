#pragma once

#include <functional>
#include <utility>

#include "common/platform/background_work.h"
#include "server/core/session/slot_table.h"

namespace zelt::server {

// The long file work of a request (a copy of a large member file), done off the loop's thread.
// The requesting connection's later requests wait for its ending, so that each peer's requests
// still take effect and are answered one after another in its order, and one peer has at most
// one such job at a time; every other connection is served meanwhile.
class RequestWork {
public:
    RequestWork(Reactor& reactor, SlotTable& slots, bool onLoopThread)
        : slots_(slots), work_(reactor, onLoopThread) {}

    // work runs off the loop's thread and must touch only what it was given; done runs on the
    // loop's thread, also when the connection has gone meanwhile.
    void run(ConnectionId id, std::function<void()> work, std::function<void()> done) {
        const bool later = work_.run(std::move(work), [this, id, done = std::move(done)] {
            done();
            slots_.pauseReading(id, false);
        });
        // Done at once, it is over before the next request is looked at anyway.
        if (later) slots_.pauseReading(id, true);
    }
    // Lets every job given so far end, its ending included (an orderly exit).
    void finish() { work_.finish(); }

private:
    SlotTable& slots_;
    BackgroundWork work_;
};

}  // namespace zelt::server
