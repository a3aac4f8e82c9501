#include "server/core/repository.h"

#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "server/core/server.h"

namespace zelt::server {

void Repository::onRequest(int slot, proto::Opcode opcode, std::span<const std::uint8_t> packet) {
    (void)slot;
    (void)opcode;
    (void)packet;
    (void)server_;
}

}  // namespace zelt::server

namespace zelt::server {

void Repository::sendCheckOutVoided(std::string_view userName, std::string_view path) {
    const int slot = server_.findSlotByUserName(userName);
    if (slot < 0) return;
    proto::Packet push(proto::Opcode::PushCheckOutVoided);
    push.set(proto::PushCheckOutVoided::path, path);
    server_.slots().send(slot, push.bytes());
}

}  // namespace zelt::server
