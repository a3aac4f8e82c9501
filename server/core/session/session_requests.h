#pragma once

#include "common/protocol/packet.h"
#include "server/core/session/login_throttle.h"
#include "server/core/session/sessions.h"
#include "server/core/session/slot_table.h"
#include "server/core/store/store.h"

namespace zelt::server {

// The requests of a session: log-in, password change, the group list, file-list pages and the
// keep-alive. Each answers into the connection that asked.
class SessionRequests {
public:
    SessionRequests(Reactor& reactor, Console& console, Store& store, SlotTable& slots,
                    Sessions& sessions)
        : store_(store), slots_(slots), sessions_(sessions), throttle_(reactor, console) {}

    void onReqLogin(ConnectionId id, const proto::Packet& request);
    void onReqChangePassword(ConnectionId id, const proto::Packet& request);
    void onReqGroupList(ConnectionId id);
    void onReqFileList(ConnectionId id, const proto::Packet& request);
    void onReqKeepAlive(ConnectionId id);
    // Whether a log-in of this connection waits to be examined or answered (slowed down).
    bool logInPending(ConnectionId id) const { return throttle_.busy(id); }

private:
    // Checks a log-in against the account table and answers it when it succeeds.
    LoginThrottle::Outcome logIn(ConnectionId id, const std::string& userName,
                                 const std::string& password);

    Store& store_;
    SlotTable& slots_;
    Sessions& sessions_;
    LoginThrottle throttle_;
};

}  // namespace zelt::server
