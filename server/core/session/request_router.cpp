#include "server/core/session/request_router.h"

#include "common/protocol/dispatch.h"

namespace zelt::server {

void RequestRouter::onPacket(ConnectionId id, std::span<const std::uint8_t> bytes) {
    ConnectionSlot* slot = slots_.find(id);
    if (slot == nullptr) return;
    const proto::Judgement j = proto::judgeAtServer(bytes, slot->loggedIn());
    if (j.alive) slot->activity = 1;
    if (j.handler == nullptr) return;
    // Fields of a short request read as zeros, so every text ends inside its field.
    const proto::Packet request = proto::Packet::received(bytes, j.handler->sent);
    proto::dispatchRequest(j.handler->opcode, *this, id, request);
}

}  // namespace zelt::server
