#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "common/protocol/opcodes.h"

namespace zelt::server {

class Server;

// The requests on member files: properties, check-out and void, view and fetch transfers,
// check-in.
class Repository {
public:
    explicit Repository(Server& server) : server_(server) {}

    // One request of opcodes 24 to 35 from a logged-in connection.
    void onRequest(int slot, proto::Opcode opcode, std::span<const std::uint8_t> packet);

    // Tells a user's client that the administrator voided its check-out of path. Nothing is
    // sent when that user is not logged in.
    void sendCheckOutVoided(std::string_view userName, std::string_view path);

private:
    Server& server_;
};

}  // namespace zelt::server
