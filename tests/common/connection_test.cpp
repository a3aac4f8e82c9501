#include "common/protocol/connection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <numeric>
#include <vector>

#include "common/platform/poll_reactor.h"
#include "common/platform/tcp.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"

namespace zelt::proto {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes packetBytes(Opcode op, std::uint8_t fill) {
    Packet p(op);
    Bytes b(p.bytes().begin(), p.bytes().end());
    for (std::size_t i = 2; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(fill + i);
    return b;
}

// One connection on one end of a socket pair; the test plays the peer on the other end.
class ConnectionTest : public ::testing::Test {
protected:
    void open(Receiver receiver) {
        Handle ends[2];
        ASSERT_TRUE(tcp::socketPair(ends));
        peer_ = ends[1];
        connection_ = std::make_unique<Connection>(
            reactor_, ends[0], receiver,
            [this](std::span<const std::uint8_t> p) {
                received_.emplace_back(p.begin(), p.end());
                if (onPacket_) onPacket_();
            },
            [this](int error) { closedWith_ = error; });
    }
    void SetUp() override { open(Receiver::Server); }
    void TearDown() override {
        connection_.reset();
        if (peer_ != kNoHandle) ::close(peer_);
    }
    void peerSends(const Bytes& bytes) {
        ASSERT_EQ(::write(peer_, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
        reactor_.drain();
    }

    ManualReactor reactor_;
    Handle peer_ = kNoHandle;
    std::unique_ptr<Connection> connection_;
    std::vector<Bytes> received_;
    std::function<void()> onPacket_;
    int closedWith_ = -1;
};

TEST_F(ConnectionTest, PacketSplitAtEveryBytePositionIsReassembled) {
    const Bytes login = packetBytes(Opcode::ReqLogin, 1);
    for (std::size_t cut = 1; cut < login.size(); ++cut) {
        received_.clear();
        peerSends(Bytes(login.begin(), login.begin() + static_cast<std::ptrdiff_t>(cut)));
        EXPECT_TRUE(received_.empty()) << "cut " << cut;
        peerSends(Bytes(login.begin() + static_cast<std::ptrdiff_t>(cut), login.end()));
        ASSERT_EQ(received_.size(), 1u) << "cut " << cut;
        EXPECT_EQ(received_[0], login);
    }
}

TEST_F(ConnectionTest, SeveralPacketsInOneReadAreDeliveredInOrder) {
    const Bytes a = packetBytes(Opcode::ReqFileList, 1);
    const Bytes b = packetBytes(Opcode::ReqKeepAlive, 2);
    const Bytes c = packetBytes(Opcode::ReqSendMessage, 3);
    Bytes all = a;
    all.insert(all.end(), b.begin(), b.end());
    all.insert(all.end(), c.begin(), c.end());
    // And the head of a fourth, which waits for its tail.
    const Bytes d = packetBytes(Opcode::ReqCheckIn, 4);
    all.insert(all.end(), d.begin(), d.begin() + 10);
    peerSends(all);
    ASSERT_EQ(received_.size(), 3u);
    EXPECT_EQ(received_[0], a);
    EXPECT_EQ(received_[1], b);
    EXPECT_EQ(received_[2], c);
    peerSends(Bytes(d.begin() + 10, d.end()));
    ASSERT_EQ(received_.size(), 4u);
    EXPECT_EQ(received_[3], d);

    // Bytes handed in directly, as the fuzzers do, are cut the same way, also when they are
    // more than the receive buffer holds.
    received_.clear();
    Bytes many;
    for (int i = 0; i < 20; ++i) many.insert(many.end(), c.begin(), c.end());
    many.insert(many.end(), a.begin(), a.begin() + 3);
    connection_->receiveBytes(many);
    connection_->receiveBytes(Bytes(a.begin() + 3, a.end()));
    ASSERT_EQ(received_.size(), 21u);
    EXPECT_EQ(received_[19], c);
    EXPECT_EQ(received_[20], a);
}

TEST_F(ConnectionTest, ShortPacketIsDeliveredAsItStandsAfterOneQuietSecond) {
    const Bytes login = packetBytes(Opcode::ReqLogin, 1);
    peerSends(Bytes(login.begin(), login.begin() + 40));
    reactor_.advance(800);
    // More bytes restart the wait.
    peerSends(Bytes(login.begin() + 40, login.begin() + 60));
    reactor_.advance(999);
    EXPECT_TRUE(received_.empty());
    reactor_.advance(1);
    ASSERT_EQ(received_.size(), 1u);
    EXPECT_EQ(received_[0], Bytes(login.begin(), login.begin() + 60));
    // The stream goes on normally afterwards.
    peerSends(packetBytes(Opcode::ReqKeepAlive, 0));
    EXPECT_EQ(received_.size(), 2u);
}

TEST_F(ConnectionTest, UnmarkedBytesAreDroppedAndUnknownOpcodesDeliveredWhole) {
    peerSends({0x14, 38, 1, 2, 3});
    EXPECT_TRUE(received_.empty());
    peerSends({PacketMarker, 99, 7, 7});
    ASSERT_EQ(received_.size(), 1u);
    EXPECT_EQ(received_[0], (Bytes{PacketMarker, 99, 7, 7}));
    // An answer opcode is unknown to the server's side.
    peerSends({PacketMarker, 88});
    ASSERT_EQ(received_.size(), 2u);
    EXPECT_EQ(received_[1], (Bytes{PacketMarker, 88}));
    peerSends(packetBytes(Opcode::ReqKeepAlive, 0));
    EXPECT_EQ(received_.size(), 3u);
}

TEST_F(ConnectionTest, GroupListIsCutByItsCount) {
    connection_.reset();
    ::close(peer_);
    open(Receiver::Client);
    Bytes list(3 + 2 * 31, 'g');
    list[0] = PacketMarker;
    list[1] = 73;
    list[2] = 2;
    Bytes both = list;
    const Bytes alive = packetBytes(Opcode::RepKeepAlive, 0);
    both.insert(both.end(), alive.begin(), alive.end());
    peerSends(both);
    ASSERT_EQ(received_.size(), 2u);
    EXPECT_EQ(received_[0], list);
    EXPECT_EQ(received_[1], alive);
}

TEST_F(ConnectionTest, HandlerThatDestroysTheConnectionStopsDelivery) {
    onPacket_ = [this] { connection_.reset(); };
    Bytes two = packetBytes(Opcode::ReqKeepAlive, 0);
    two.insert(two.end(), two.begin(), two.end());
    peerSends(two);
    EXPECT_EQ(received_.size(), 1u);
    EXPECT_EQ(connection_, nullptr);
}

TEST_F(ConnectionTest, PeerCloseIsReportedOnce) {
    ::close(peer_);
    peer_ = kNoHandle;
    reactor_.drain();
    EXPECT_EQ(closedWith_, 0);
    EXPECT_FALSE(connection_->isOpen());
}

TEST_F(ConnectionTest, PartialSendsArriveWholeAndInOrder) {
    tcp::setBufferSizes(connection_->handle(), 4096, 4096);
    tcp::setBufferSizes(peer_, 4096, 4096);
    Bytes expected;
    std::size_t mostUnsent = 0;
    for (int i = 0; i < 300; ++i) {
        const Opcode op = i % 3 == 0 ? Opcode::RepFileProperties
                                     : (i % 3 == 1 ? Opcode::RepKeepAlive : Opcode::RepViewChunk);
        const Bytes p = packetBytes(op, static_cast<std::uint8_t>(i));
        expected.insert(expected.end(), p.begin(), p.end());
        connection_->send(p);
        mostUnsent = std::max(mostUnsent, connection_->unsentBytes());
    }
    ASSERT_GT(mostUnsent, 0u) << "the socket took everything; the test proves nothing";
    Bytes got;
    std::uint8_t buffer[1000];
    for (int rounds = 0; rounds < 100000 && got.size() < expected.size(); ++rounds) {
        // Read a little at a time so the sender keeps meeting a full socket.
        const ssize_t n = ::read(peer_, buffer, sizeof buffer);
        if (n > 0) got.insert(got.end(), buffer, buffer + n);
        reactor_.drain();
    }
    EXPECT_EQ(connection_->unsentBytes(), 0u);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

TEST_F(ConnectionTest, PeerThatDoesNotReadIsNotReadFromUntilItsAnswersDrain) {
    tcp::setBufferSizes(connection_->handle(), 4096, 4096);
    tcp::setBufferSizes(peer_, 4096, 4096);
    connection_->setSendBound(64 * 1024);
    std::vector<bool> pressure;
    connection_->setPressureHandler([&](bool over) { pressure.push_back(over); });
    const Bytes big = packetBytes(Opcode::RepFileProperties, 0);
    while (!connection_->overBound()) connection_->send(big);
    // Requests already read wait as well as those still in the socket.
    Bytes two = packetBytes(Opcode::ReqKeepAlive, 0);
    two.insert(two.end(), two.begin(), two.end());
    peerSends(two);
    EXPECT_TRUE(received_.empty());
    EXPECT_EQ(pressure, std::vector<bool>{true});

    std::uint8_t buffer[4096];
    for (int rounds = 0; rounds < 100000 && connection_->unsentBytes() > 0; ++rounds) {
        (void)::read(peer_, buffer, sizeof buffer);
        reactor_.drain();
    }
    EXPECT_EQ(received_.size(), 2u);
    EXPECT_EQ(pressure, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace zelt::proto
