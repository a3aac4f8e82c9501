#include "tests/support/test_peer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace zelt::test {

Handle connectLoopback(std::uint16_t port, std::uint32_t sourceAddress, int receiveBuffer) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return kNoHandle;
    // Set before connecting, so that the window the peer offers is small from the start.
    if (receiveBuffer > 0) {
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    if (sourceAddress != 0) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(sourceAddress);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            ::close(fd);
            return kNoHandle;
        }
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return kNoHandle;
    }
    return fd;
}

bool writeWhole(Handle handle, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(handle, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return true;
}

TestPeer::TestPeer(PollReactor& reactor, std::uint16_t port, proto::Receiver receiver)
    : reactor_(reactor) {
    const int fd = connectLoopback(port);
    if (fd < 0) throw std::runtime_error("test peer could not connect");
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    attach(fd, receiver);
}

TestPeer::TestPeer(PollReactor& reactor, Handle connected, proto::Receiver receiver)
    : reactor_(reactor) {
    attach(connected, receiver);
}

TestPeer::~TestPeer() = default;

void TestPeer::attach(Handle handle, proto::Receiver receiver) {
    connection_ = std::make_unique<proto::Connection>(
        reactor_, handle, receiver,
        [this](std::span<const std::uint8_t> p) { inbox_.emplace_back(p.begin(), p.end()); },
        [this](int) { closed_ = true; });
}

void TestPeer::sendRaw(std::span<const std::uint8_t> bytes) {
    connection_->send(bytes);
}

void TestPeer::writeRaw(std::span<const std::uint8_t> bytes) {
    ASSERT_EQ(::send(connection_->handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
}

std::optional<proto::Packet> TestPeer::receive(Millis timeout) {
    reactor_.runUntil([this] { return !inbox_.empty() || closed_; }, timeout);
    if (inbox_.empty()) return std::nullopt;
    std::vector<std::uint8_t> bytes = std::move(inbox_.front());
    inbox_.pop_front();
    return proto::Packet::received(bytes, bytes.size());
}

proto::Packet TestPeer::expect(proto::Opcode opcode, Millis timeout) {
    std::optional<proto::Packet> p = receive(timeout);
    if (!p) {
        ADD_FAILURE() << "no packet arrived, expected opcode " << static_cast<int>(opcode);
        return proto::Packet(opcode);
    }
    EXPECT_EQ(static_cast<int>(p->opcode()), static_cast<int>(opcode));
    return *p;
}

bool TestPeer::quiet(Millis wait) {
    const std::size_t before = inbox_.size();
    reactor_.runUntil([] { return false; }, wait);
    return inbox_.size() == before;
}

bool TestPeer::waitClosed(Millis timeout) {
    return reactor_.runUntil([this] { return closed_; }, timeout);
}

void TestPeer::close() {
    if (connection_) connection_->close();
    closed_ = true;
}

}  // namespace zelt::test
