#pragma once

#include <cstdint>
#include <span>

#include "common/protocol/opcodes.h"

namespace zelt::proto {

// What a receiving program does with one packet.
struct Judgement {
    // The packet is well marked: the server counts it as activity, the client as a sign of life.
    bool alive = false;
    // The catalogue entry of the handler to run, or nullptr to ignore the packet silently.
    const OpcodeInfo* handler = nullptr;
};

// Server side: marker and at least two bytes make it activity; then a request opcode, a length
// within the opcode's accepted maximum, and a logged-in connection for anything but ReqLogin.
Judgement judgeAtServer(std::span<const std::uint8_t> packet, bool loggedIn);

// Client side: marker and a length of 1 to 8192 make it a sign of life; then an answer or push
// opcode and a length within its accepted maximum.
Judgement judgeAtClient(std::span<const std::uint8_t> packet);

}  // namespace zelt::proto
