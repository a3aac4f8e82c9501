#pragma once

#include <string_view>

#include "common/platform/clock.h"
#include "common/protocol/packet.h"
#include "server/core/repository/reply_queue.h"
#include "server/core/repository/version_store.h"
#include "server/core/session/sessions.h"
#include "server/core/store/store.h"

namespace zelt::server {

// The locks on member files: a file's properties, taking a check-out and giving it up, and
// telling a holder that the administrator voided it. A file is one file in every enabled group
// that holds its path, so it is locked in all of them or in none.
class CheckOuts {
public:
    CheckOuts(const Clock& clock, Store& store, SlotTable& slots, Sessions& sessions,
              ReplyQueue& replies, const VersionStore& versions)
        : clock_(clock),
          store_(store),
          slots_(slots),
          sessions_(sessions),
          replies_(replies),
          versions_(versions) {}

    void onReqFileProperties(ConnectionId id, const proto::Packet& request);
    void onReqCheckOut(ConnectionId id, const proto::Packet& request);
    void onReqVoidCheckOut(ConnectionId id, const proto::Packet& request);

    // Frees the marks of path that userName holds in enabled groups; whether any was freed.
    bool release(std::string_view path, std::string_view userName);
    bool holds(std::string_view path, std::string_view userName) const;
    // Tells a user's client that the administrator voided its check-out of path. Nothing is
    // sent when that user is not logged in.
    void sendVoided(std::string_view userName, std::string_view path);

private:
    const Clock& clock_;
    Store& store_;
    SlotTable& slots_;
    Sessions& sessions_;
    ReplyQueue& replies_;
    const VersionStore& versions_;
};

}  // namespace zelt::server
