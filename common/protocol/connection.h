#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "common/platform/reactor.h"
#include "common/protocol/opcodes.h"

namespace zelt::proto {

// One TCP connection of either program: cuts the received byte stream into packets by their
// opcodes' lengths and sends whole packets through an ordered queue.
//
// Receiving: a packet split over several reads is put together again; several packets in one
// read are delivered one by one, in order. A packet that stays short for ShortPacketWait with no
// more bytes arriving is delivered as it stands. Bytes that do not start with the marker are
// dropped; a marked packet whose opcode this side does not receive is delivered whole, as one
// read would have been, so the dispatcher can count it as activity and ignore it.
//
// Sending: each packet goes to send() whole; what the socket does not take waits, in order, for
// write readiness. A send error other than would-block drops the rest of that packet. With
// batching on, packets queued while the packets of one read are handled go out together after
// the last of them, in as few system calls as the socket takes them, so a peer with many
// requests in flight costs one write per read rather than one per answer. It is only for a peer
// known to cut packets out of the stream: one that takes each read as one packet gets every
// packet in a send of its own, as before.
//
// Back-pressure: while the bytes waiting to go out are at or above the send bound, the
// connection neither reads nor hands over packets it has already read, so a peer that sends
// requests without reading the answers only makes its own requests wait. Reading can also be
// held until a given time (a sender over its rate). The pressure handler hears when the queue
// reaches the bound and when it drains below it again.
class Connection {
public:
    static constexpr Millis ShortPacketWait = 1000;
    static constexpr std::size_t DefaultSendBound = 1 << 20;

    using PacketHandler = std::function<void(std::span<const std::uint8_t> packet)>;
    // Called once when the peer closes or the socket fails; error is 0 for an orderly close.
    using CloseHandler = std::function<void(int error)>;
    // Called with true when the unsent bytes reach the send bound, with false when they have
    // drained below it and reading goes on.
    using PressureHandler = std::function<void(bool over)>;

    Connection(Reactor& reactor, Handle handle, Receiver receiver, PacketHandler onPacket,
               CloseHandler onClose);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Queues one whole packet. Does nothing once the connection is closed.
    void send(std::span<const std::uint8_t> packet);
    // Takes bytes as if one read of the socket had brought them, cut into packets the same way
    // (a fuzzer feeds a connection so, without a system call for every piece).
    void receiveBytes(std::span<const std::uint8_t> bytes);
    // Sends the packets of one read together from now on (see above).
    void setBatching(bool batching) { batching_ = batching; }
    // Closes the socket now, without calling the close handler. Unsent data is dropped.
    void close();

    bool isOpen() const { return handle_ != kNoHandle; }
    Handle handle() const { return handle_; }
    // Bytes queued and not yet taken by the socket.
    std::size_t unsentBytes() const { return txBytes_; }
    std::size_t sendBound() const { return sendBound_; }
    void setSendBound(std::size_t bytes);
    bool overBound() const { return txBytes_ >= sendBound_; }
    void setPressureHandler(PressureHandler handler) { onPressure_ = std::move(handler); }
    // Neither reads nor hands over packets before the reactor's clock reaches when (a later
    // hold extends an earlier one).
    void holdReadingUntil(Millis when);
    // Neither reads nor hands over packets while paused: the last one handed over started work
    // that its successors must wait for. Going on hands over what waited.
    void pauseReading(bool paused);
    bool readingPaused() const { return paused_; }
    // Bytes received that do not yet make a whole packet.
    std::size_t bufferedBytes() const { return rxEnd_ - rxBegin_; }

private:
    void onEvents(unsigned events);
    void receive();
    // Moves what is buffered to the front when less than a packet's room is left behind it.
    void makeRoom();
    void cutPackets();
    bool deliver(std::size_t length);
    void flush();
    // Sends what waits and, if that took the queue below its bound, hands over what waited.
    void flushAndResume();
    // Whether packets may be handed over and more read now.
    bool accepting() const;
    // Hands over what waited while the connection was not accepting.
    void resume();
    void updateInterest();
    // Tells the pressure handler when the queue has crossed the bound either way.
    void notePressure();
    void onShortPacketTimer();
    void fail(int error);

    Reactor& reactor_;
    Handle handle_;
    Receiver receiver_;
    PacketHandler onPacket_;
    CloseHandler onClose_;
    PressureHandler onPressure_;
    std::shared_ptr<bool> alive_;

    std::array<std::uint8_t, 2 * MaxPacketSize> rx_{};
    std::size_t rxBegin_ = 0;
    std::size_t rxEnd_ = 0;
    Millis lastArrival_ = 0;

    std::deque<std::vector<std::uint8_t>> txQueue_;
    std::size_t txSentOfFront_ = 0;
    std::size_t txBytes_ = 0;
    std::size_t sendBound_ = DefaultSendBound;
    bool wasOver_ = false;
    Millis heldUntil_ = 0;
    bool paused_ = false;
    unsigned interest_ = 0;
    // Set while the packets of one read are handled: answers queue until they are all done.
    bool batching_ = false;
    bool holding_ = false;
    // A handler that turns the loop (a modal dialog) must not keep what it sends waiting for
    // the last packet of the read: the end of the turn sends it too.
    bool flushDeferred_ = false;
};

}  // namespace zelt::proto
