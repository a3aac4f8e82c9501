#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "common/console/console.h"
#include "common/platform/reactor.h"
#include "server/core/session/slot_table.h"
#include "server/core/store/store.h"

namespace zelt::server {

// Which account is logged in on which connection: binding them at log-in, finding a user's
// connection, closing an account's connections, and the idle check that drops connections
// that went silent.
class Sessions {
public:
    static constexpr int IdleTimer = 7;
    static constexpr Millis IdlePeriod = 60000;

    Sessions(Reactor& reactor, Console& console, Store& store, SlotTable& slots);
    ~Sessions();
    Sessions(const Sessions&) = delete;
    Sessions& operator=(const Sessions&) = delete;

    // The idle check every 60 seconds, from now on.
    void startIdleCheck();
    void stopIdleCheck();
    void idleCheck();

    // The account logged in on a connection, or -1.
    int accountOf(ConnectionId id) const;
    std::string userNameOf(ConnectionId id) const;
    // Marks the account connected and logged in on the connection.
    void bind(ConnectionId id, int account);
    // A logged-in slot is being freed: its account is no longer connected.
    void release(const ConnectionSlot& slot);
    // The console line for a connection closed for leaving what it was sent unread.
    void reportNotReading(const ConnectionSlot& slot);
    // Closes every connection bound to an account; with a "disconnected" line per connection
    // when asked. Returns the number closed. The connected flag is the caller's.
    int disconnectAccount(int account, bool withLines);

    // Calls f(id, account) for each open connection whose account is logged in and marked
    // connected, in slot order.
    void forEachConnected(const std::function<void(ConnectionId, int account)>& f) const;
    // The first such connection whose user name equals userName without regard to letter case
    // (only the first 50 characters count); an id of slot -1 when there is none.
    ConnectionId findByUserName(std::string_view userName) const;
    // Sends a PushBroadcast of text (cut to 80 characters) to every connected user.
    void broadcast(std::string_view text);

private:
    Reactor& reactor_;
    Console& console_;
    Store& store_;
    SlotTable& slots_;
};

}  // namespace zelt::server
