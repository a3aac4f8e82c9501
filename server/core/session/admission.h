#pragma once

#include <cstdint>
#include <functional>

#include "common/console/console.h"
#include "common/platform/reactor.h"
#include "server/core/session/episode.h"
#include "server/core/session/slot_table.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// Who gets a connection slot. A client logs in as soon as it has connected, so a connection
// that has not is only holding a slot that users need: it is closed after LogInDeadline (one
// whose log-in waits for a slowed answer is left to that answer), one address may hold at most
// MaxWaitingPerAddress of them (a further one takes the place of its oldest), and when the
// table is full a newcomer takes the place of the oldest connection of anyone that has not
// logged in. Only a table full of logged-in users refuses a connection; the console hears of
// that once per episode, with a count, however often it happens.
class Admission {
public:
    static constexpr Millis LogInDeadline = 10000;
    static constexpr Millis SweepPeriod = 1000;
    static constexpr std::size_t MaxWaitingPerAddress = 32;

    Admission(Reactor& reactor, Console& console, AdminUi& ui, SlotTable& slots);
    ~Admission();

    // Whether a connection's log-in is being answered, only later (slowed down for guessing):
    // the deadline leaves it to that answer.
    std::function<bool(ConnectionId id)> answering;
    Admission(const Admission&) = delete;
    Admission& operator=(const Admission&) = delete;

private:
    void arrive(Handle connected, std::uint32_t peerAddress);
    // Closes the connections past their deadline; stops when none is waiting.
    void sweep();

    Reactor& reactor_;
    SlotTable& slots_;
    Episode refusals_;
};

}  // namespace zelt::server
