#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/limits.h"
#include "common/platform/reactor.h"
#include "common/console/console.h"
#include "common/protocol/packet.h"
#include "server/core/session/sessions.h"
#include "server/core/session/slot_table.h"
#include "server/core/store/store.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// Messages between users and the administrator: a list of recipients (user names, "@group",
// "@<all>") resolved to the connected users, each sent a PushMessage; messages to "admin"
// appear on this console.
//
// A user's messages are relayed at most MessageBurst at once and then one per MessageInterval:
// a message over that rate is still relayed, and the sender's next requests wait for their
// turn, so that one user cannot flood the others' queues or this console.
class MessageRelay {
public:
    static constexpr Millis MessageInterval = 200;
    static constexpr int MessageBurst = 20;

    MessageRelay(Reactor& reactor, Console& console, AdminUi& ui, Store& store, SlotTable& slots,
                 Sessions& sessions)
        : reactor_(reactor),
          console_(console),
          ui_(ui),
          store_(store),
          slots_(slots),
          sessions_(sessions),
          nextTurn_(MaxAccounts, 0) {}

    void onReqSendMessage(ConnectionId id, const proto::Packet& request);
    // The administrator's Send Message window: relayed with the sender "admin". Once
    // communication is closed nothing is relayed and the console says so.
    void sendAdminMessage(std::string_view recipients, std::string_view message, bool important);
    // A message shown on this console: a REPLYMSG line, and an alert when important.
    void showReceivedMessage(std::string_view sender, std::string_view message,
                             std::int32_t important);

private:
    // Counts a message against its sender's rate, holding the sender's requests when over it.
    void pace(ConnectionId id);
    int relay(std::string_view sender, ConnectionId senderId, std::string recipients,
              std::string_view message, std::int32_t important);
    int deliver(std::string_view token, std::string_view sender, std::string_view message,
                std::int32_t important);
    int deliverToUser(std::string_view recipient, std::string_view sender, std::string_view message,
                      std::int32_t important);

    Reactor& reactor_;
    Console& console_;
    AdminUi& ui_;
    Store& store_;
    SlotTable& slots_;
    Sessions& sessions_;
    // Per account: when its sender's next message would be on time, had it sent nothing since.
    // Kept by account, not by connection, so that logging in again does not start afresh.
    std::vector<Millis> nextTurn_;
};

}  // namespace zelt::server
