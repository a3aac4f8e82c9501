#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
class MessageRelay {
public:
    MessageRelay(Console& console, AdminUi& ui, Store& store, SlotTable& slots, Sessions& sessions)
        : console_(console), ui_(ui), store_(store), slots_(slots), sessions_(sessions) {}

    void onReqSendMessage(ConnectionId id, const proto::Packet& request);
    // The administrator's Send Message window: relayed with the sender "admin". Once
    // communication is closed nothing is relayed and the console says so.
    void sendAdminMessage(std::string_view recipients, std::string_view message, bool important);
    // A message shown on this console: a REPLYMSG line, and an alert when important.
    void showReceivedMessage(std::string_view sender, std::string_view message,
                             std::int32_t important);

private:
    int relay(std::string_view sender, ConnectionId senderId, std::string recipients,
              std::string_view message, std::int32_t important);
    int deliver(std::string_view token, std::string_view sender, std::string_view message,
                std::int32_t important);
    int deliverToUser(std::string_view recipient, std::string_view sender, std::string_view message,
                      std::int32_t important);

    Console& console_;
    AdminUi& ui_;
    Store& store_;
    SlotTable& slots_;
    Sessions& sessions_;
};

}  // namespace zelt::server
