#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include "common/platform/reactor.h"
#include "common/protocol/packet.h"

namespace zelt::client {

// The requests on their way to the server, one answered request at a time. A server of the
// older kind reads each request with a single read: a second request sent before the first
// was answered may arrive glued to it and be lost. So a request that expects an answer holds
// back the ones queued after it until that answer arrives. Some requests are answered with
// silence (the properties of a file the server no longer lists, a message sent under a name
// typed in other letter case), so the wait ends after kAnswerWait without an answer too; by
// then the server has long read the request on its own. Requests that are never answered go
// out as soon as nothing is awaited.
class RequestQueue {
public:
    using Sender = std::function<void(std::span<const std::uint8_t> bytes)>;
    // A timer id of the program's, beside the session's own.
    static constexpr int kAnswerWaitTimer = 3;
    static constexpr Millis kAnswerWait = 2000;

    RequestQueue(Reactor& reactor, const void* timerOwner, Sender sender);
    ~RequestQueue();
    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    // Sends the request now, or after those before it have been answered.
    void send(const proto::Packet& packet);
    // A packet arrived: the answer awaited lets the next requests go.
    void received(proto::Opcode opcode);
    // The connection ended: nothing is awaited and nothing more is sent, and the next
    // connection starts lock-step again.
    void clear();
    // The server takes requests in flight: from now on every request goes out at once.
    void sendAtOnce();

    // The opcode of the answer awaited, or None.
    proto::Opcode awaiting() const { return awaiting_; }
    std::size_t queued() const { return queue_.size(); }

private:
    void sendNow(std::span<const std::uint8_t> bytes);
    void sendQueued();

    Reactor& reactor_;
    const void* timerOwner_;
    Sender sender_;
    // Only the bytes: a packet's buffer is as long as the longest packet.
    std::deque<std::vector<std::uint8_t>> queue_;
    proto::Opcode awaiting_ = proto::Opcode::None;
    bool atOnce_ = false;
};

}  // namespace zelt::client
