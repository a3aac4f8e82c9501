#pragma once

#include "client/core/state/local_state.h"
#include "client/core/ui/client_ui.h"
#include "common/console/console.h"
#include "common/protocol/packet.h"

namespace zelt::client {

// The server's log-in notice, asked for a moment after each log-in, shown under its header.
class LoginNotice {
public:
    LoginNotice(Console& console, ClientUi& ui, const LocalState& local)
        : console_(console), ui_(ui), local_(local) {}

    void onAnswer(const proto::Packet& p);

private:
    Console& console_;
    ClientUi& ui_;
    const LocalState& local_;
};

}  // namespace zelt::client
