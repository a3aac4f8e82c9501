#pragma once

#include <cstdint>
#include <span>
#include <utility>

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

// Runs handler.on<Name>(args...) for a request opcode: a server's handler has one member per
// request of the catalogue (onReqLogin, onReqChangePassword, ...), or this does not compile.
// Opcodes that are no request do nothing.
template <typename Handler, typename... Args>
void dispatchRequest(Opcode opcode, Handler& handler, Args&&... args) {
    switch (opcode) {
#define ZELT_DISPATCH_CASE(name, code, sent, accepted, answer) \
    case Opcode::name:                                        \
        handler.on##name(std::forward<Args>(args)...);        \
        return;
        ZELT_REQUESTS(ZELT_DISPATCH_CASE)
#undef ZELT_DISPATCH_CASE
        default:
            return;
    }
}

// The same for the client: one member per answer and push (onRepLogin, onPushBroadcast, ...).
template <typename Handler, typename... Args>
void dispatchAnswer(Opcode opcode, Handler& handler, Args&&... args) {
    switch (opcode) {
#define ZELT_DISPATCH_CASE(name, code, sent, accepted, answer) \
    case Opcode::name:                                        \
        handler.on##name(std::forward<Args>(args)...);        \
        return;
        ZELT_ANSWERS(ZELT_DISPATCH_CASE)
#undef ZELT_DISPATCH_CASE
        default:
            return;
    }
}

}  // namespace zelt::proto
