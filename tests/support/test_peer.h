#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "common/platform/poll_reactor.h"
#include "common/protocol/connection.h"
#include "common/protocol/packet.h"

namespace zelt::test {

// A blocking socket connected to 127.0.0.1:port, for peers that misbehave (never log in, never
// read) where a TestPeer would read for them: from another loopback address when sourceAddress
// (host order) is given, with a small receive buffer when receiveBuffer is. kNoHandle on failure.
Handle connectLoopback(std::uint16_t port, std::uint32_t sourceAddress = 0, int receiveBuffer = 0);
// Writes every byte to a blocking socket; false when the socket failed.
bool writeWhole(Handle handle, std::span<const std::uint8_t> bytes);

// A bare protocol peer for tests: connects to 127.0.0.1, sends packets and collects what comes
// back, running the shared reactor while it waits. It plays a client towards a server
// (Receiver::Client) or a server towards a client (Receiver::Server, from an accepted socket).
class TestPeer {
public:
    // Connects to a listening port on this host.
    TestPeer(PollReactor& reactor, std::uint16_t port,
             proto::Receiver receiver = proto::Receiver::Client);
    // Takes an already connected socket.
    TestPeer(PollReactor& reactor, Handle connected, proto::Receiver receiver);
    ~TestPeer();

    bool connected() const { return connection_ && connection_->isOpen() && !closed_; }
    bool closed() const { return closed_; }
    Handle handle() const { return connection_ ? connection_->handle() : kNoHandle; }

    void send(const proto::Packet& packet) { sendRaw(packet.bytes()); }
    void sendRaw(std::span<const std::uint8_t> bytes);
    // Writes bytes to the socket directly, bypassing the queue (for split or garbage input).
    void writeRaw(std::span<const std::uint8_t> bytes);

    // The next packet received, waiting up to timeout real milliseconds for it.
    std::optional<proto::Packet> receive(Millis timeout = 3000);
    // The next packet, which must carry this opcode (a test failure otherwise).
    proto::Packet expect(proto::Opcode opcode, Millis timeout = 3000);
    // Runs the reactor for a while and reports whether nothing arrived.
    bool quiet(Millis wait = 100);
    // Waits until the other side closes the connection.
    bool waitClosed(Millis timeout = 3000);
    void close();

    std::deque<std::vector<std::uint8_t>>& inbox() { return inbox_; }

private:
    void attach(Handle handle, proto::Receiver receiver);

    PollReactor& reactor_;
    std::unique_ptr<proto::Connection> connection_;
    std::deque<std::vector<std::uint8_t>> inbox_;
    bool closed_ = false;
};

}  // namespace zelt::test
