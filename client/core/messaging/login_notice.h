#pragma once

#include <string>

#include "client/core/state/local_state.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"
#include "common/console/console.h"
#include "common/protocol/packet.h"

namespace zelt::client {

// The server's log-in notice, asked for a moment after each log-in, shown under its header.
class LoginNotice {
public:
    LoginNotice(Console& console, ClientUi& ui, const FlowEvents& events, const LocalState& local)
        : console_(console), ui_(ui), events_(events), local_(local) {}

    void onAnswer(const proto::Packet& p);

private:
    void show(const std::string& notice);

    Console& console_;
    ClientUi& ui_;
    const FlowEvents& events_;
    const LocalState& local_;
};

}  // namespace zelt::client
