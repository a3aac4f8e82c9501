#include "common/protocol/dispatch.h"

namespace zelt::proto {

Judgement judgeAtServer(std::span<const std::uint8_t> packet, bool loggedIn) {
    Judgement j;
    if (packet.size() < 2 || packet[0] != PacketMarker) return j;
    j.alive = true;
    const OpcodeInfo* info = findOpcode(packet[1], Receiver::Server);
    if (info == nullptr || packet.size() > info->acceptedUpTo) return j;
    if (!loggedIn && info->opcode != Opcode::ReqLogin) return j;
    j.handler = info;
    return j;
}

Judgement judgeAtClient(std::span<const std::uint8_t> packet) {
    Judgement j;
    if (packet.empty() || packet.size() > MaxPacketSize || packet[0] != PacketMarker) return j;
    j.alive = true;
    if (packet.size() < 2) return j;
    const OpcodeInfo* info = findOpcode(packet[1], Receiver::Client);
    if (info == nullptr || packet.size() > info->acceptedUpTo) return j;
    j.handler = info;
    return j;
}

}  // namespace zelt::proto
