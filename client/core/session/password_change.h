#pragma once

#include "client/core/session/server_link.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"
#include "common/console/console.h"

namespace zelt::client {

// The Account Properties command: the user's new password, checked in the dialog, sent
// scrambled; the server's answer as a line.
class PasswordChange {
public:
    PasswordChange(Console& console, ClientUi& ui, const FlowEvents& events, ServerLink& link)
        : console_(console), ui_(ui), events_(events), link_(link) {}

    void run();
    void onAnswer(const proto::Packet& p);

private:
    Console& console_;
    ClientUi& ui_;
    const FlowEvents& events_;
    ServerLink& link_;
};

}  // namespace zelt::client
