#pragma once

#include <string>

#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"
#include "common/console/console.h"

namespace zelt::client {

// Messages between users through the server: sending from a Send Message window, the messages
// received as lines that reply to their sender, and the server's count of deliveries.
class Messaging {
public:
    Messaging(Console& console, ClientUi& ui, const FlowEvents& events, ServerLink& link,
              const LocalState& local)
        : console_(console), ui_(ui), events_(events), link_(link), local_(local) {}

    // Message > New: an empty Send Message window.
    void newMessage() { ui_.openSendMessage(""); }
    // A REPLYMSG line executed: a window addressed to the line's sender.
    void reply(const std::string& lineText);
    // Send, after the window's own checks; the sender is the name the user logged in with.
    void send(const ui::MessageForm& form);

    void onMessage(const proto::Packet& p);
    void onCount(const proto::Packet& p);

private:
    Console& console_;
    ClientUi& ui_;
    const FlowEvents& events_;
    ServerLink& link_;
    const LocalState& local_;
};

}  // namespace zelt::client
