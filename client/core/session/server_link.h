#pragma once

#include "client/core/session/connection_state.h"
#include "common/protocol/packet.h"

namespace zelt::client {

// The one way the client's units reach the server: the connection's state and its sender.
class ServerLink {
public:
    virtual ~ServerLink() = default;

    virtual ConnectionState connectionState() const = 0;
    // Queues a packet; false when there is no connection to send it on.
    virtual bool send(const proto::Packet& packet) = 0;
    // True when connected; otherwise prints the error line "You are not connected yet.".
    virtual bool requireConnected() = 0;
    // True when the server said at log-in that it takes requests in flight and answers them in
    // order: the units may then send many requests before the first answer.
    virtual bool pipelined() const = 0;

    bool connected() const { return connectionState() == ConnectionState::Connected; }
};

}  // namespace zelt::client
