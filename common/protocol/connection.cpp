#include "common/protocol/connection.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/platform/tcp.h"

namespace zelt::proto {

namespace {
constexpr int kShortPacketTimer = 1;
constexpr int kHoldTimer = 2;

std::size_t totalOf(const tcp::Piece* pieces, std::size_t count) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) total += pieces[i].size;
    return total;
}
}  // namespace

Connection::Connection(Reactor& reactor, Handle handle, Receiver receiver,
                       PacketHandler onPacket, CloseHandler onClose)
    : reactor_(reactor),
      handle_(handle),
      receiver_(receiver),
      onPacket_(std::move(onPacket)),
      onClose_(std::move(onClose)),
      alive_(std::make_shared<bool>(true)) {
    interest_ = kReadable;
    reactor_.watch(handle_, interest_, [this](unsigned events) { onEvents(events); });
}

Connection::~Connection() {
    *alive_ = false;
    reactor_.cancelDeferred(this);
    close();
}

void Connection::close() {
    reactor_.killTimer(this, kShortPacketTimer);
    reactor_.killTimer(this, kHoldTimer);
    if (handle_ == kNoHandle) return;
    // What was sent while the read's packets were handled has not been offered to the socket
    // yet (a refusal just before the close): it goes as far as the socket takes it now.
    if (holding_ && !txQueue_.empty()) flush();
    reactor_.unwatch(handle_);
    tcp::closeSocket(handle_);
    handle_ = kNoHandle;
    txQueue_.clear();
    txSentOfFront_ = 0;
    txBytes_ = 0;
    wasOver_ = false;
    rxBegin_ = rxEnd_ = 0;
}

void Connection::fail(int error) {
    // The close handler usually destroys this connection; nothing here may run after it.
    CloseHandler handler = onClose_;
    close();
    if (handler) handler(error);
}

void Connection::onEvents(unsigned events) {
    std::shared_ptr<bool> alive = alive_;
    // A hang-up is reported whatever the interest: the send that fails then empties the queue,
    // so a peer that is gone is not kept waiting for as over its bound.
    if ((events & (kWritable | kHangup)) && !txQueue_.empty()) {
        flushAndResume();
        if (!*alive || !isOpen()) return;
    }
    if (events & (kReadable | kHangup)) receive();
}

void Connection::flushAndResume() {
    std::shared_ptr<bool> alive = alive_;
    const bool wasAccepting = accepting();
    flush();
    if (*alive && isOpen() && !wasAccepting && accepting()) resume();
}

bool Connection::accepting() const {
    return !paused_ && !overBound() && reactor_.now() >= heldUntil_;
}

void Connection::pauseReading(bool paused) {
    if (!isOpen() || paused == paused_) return;
    paused_ = paused;
    if (paused) {
        updateInterest();
    } else {
        resume();
    }
}

void Connection::resume() {
    updateInterest();
    if (!accepting() || rxEnd_ == rxBegin_) return;
    // The rest of a packet cut short may still be waiting in the socket: its wait for more
    // bytes starts now that reading goes on.
    lastArrival_ = reactor_.now();
    cutPackets();
}

void Connection::holdReadingUntil(Millis when) {
    if (!isOpen() || when <= heldUntil_) return;
    heldUntil_ = when;
    updateInterest();
    reactor_.startTimer(this, kHoldTimer, when - reactor_.now(), TimerMode::OneShot,
                        [this] { resume(); });
}

void Connection::setSendBound(std::size_t bytes) {
    sendBound_ = bytes > 0 ? bytes : 1;
    updateInterest();
}

void Connection::makeRoom() {
    if (rxBegin_ == rxEnd_) {
        rxBegin_ = rxEnd_ = 0;
    } else if (rx_.size() - rxEnd_ < MaxPacketSize) {
        std::memmove(rx_.data(), rx_.data() + rxBegin_, rxEnd_ - rxBegin_);
        rxEnd_ -= rxBegin_;
        rxBegin_ = 0;
    }
}

void Connection::receiveBytes(std::span<const std::uint8_t> bytes) {
    std::shared_ptr<bool> alive = alive_;
    while (!bytes.empty() && *alive && isOpen()) {
        makeRoom();
        const std::size_t n = std::min(bytes.size(), rx_.size() - rxEnd_);
        // A buffer full of packets held back takes no more.
        if (n == 0) break;
        std::memcpy(rx_.data() + rxEnd_, bytes.data(), n);
        bytes = bytes.subspan(n);
        rxEnd_ += n;
        lastArrival_ = reactor_.now();
        cutPackets();
    }
}

void Connection::receive() {
    makeRoom();
    if (rxEnd_ == rx_.size()) {
        // Only a hang-up reaches here with the buffer full of packets held back: the peer is
        // gone and what it sent last cannot be taken any more.
        fail(0);
        return;
    }
    const tcp::IoResult r = tcp::recvSome(handle_, rx_.data() + rxEnd_, rx_.size() - rxEnd_);
    switch (r.status) {
        case tcp::IoResult::Status::WouldBlock:
            return;
        case tcp::IoResult::Status::Closed:
            fail(0);
            return;
        case tcp::IoResult::Status::Failed:
            fail(r.error);
            return;
        case tcp::IoResult::Status::Ok:
            break;
    }
    rxEnd_ += r.bytes;
    lastArrival_ = reactor_.now();
    std::shared_ptr<bool> alive = alive_;
    holding_ = batching_;
    cutPackets();
    if (!*alive) return;
    holding_ = false;
    // Packets the read's own answers held back (over the bound) go on once these are out.
    if (isOpen() && !txQueue_.empty()) flushAndResume();
}

bool Connection::deliver(std::size_t length) {
    // The bytes stay where they are until the next read, which cannot happen during the
    // handler; consuming them first keeps the buffer consistent if the handler closes us.
    const std::span<const std::uint8_t> packet(rx_.data() + rxBegin_, length);
    rxBegin_ += length;
    if (rxBegin_ == rxEnd_) reactor_.killTimer(this, kShortPacketTimer);
    std::shared_ptr<bool> alive = alive_;
    if (onPacket_) onPacket_(packet);
    return *alive && isOpen();
}

void Connection::cutPackets() {
    while (rxEnd_ > rxBegin_ && accepting()) {
        const std::span<const std::uint8_t> head(rx_.data() + rxBegin_, rxEnd_ - rxBegin_);
        if (head[0] != PacketMarker) {
            rxBegin_ = rxEnd_ = 0;
            break;
        }
        if (head.size() < 2) break;
        const OpcodeInfo* info = findOpcode(head[1], receiver_);
        if (info == nullptr) {
            if (!deliver(std::min(head.size(), MaxPacketSize))) return;
            continue;
        }
        const std::size_t need = framedLength(*info, head);
        if (need == 0 || head.size() < need) break;
        if (!deliver(need)) return;
    }
    if (rxEnd_ == rxBegin_) {
        rxBegin_ = rxEnd_ = 0;
        reactor_.killTimer(this, kShortPacketTimer);
    } else if (!reactor_.timerRunning(this, kShortPacketTimer)) {
        reactor_.startTimer(this, kShortPacketTimer, ShortPacketWait, TimerMode::OneShot,
                            [this] { onShortPacketTimer(); });
    }
}

void Connection::onShortPacketTimer() {
    // Held back, the packet waits for resume(), which starts its wait again.
    if (rxEnd_ == rxBegin_ || !isOpen() || !accepting()) return;
    const Millis quiet = reactor_.now() - lastArrival_;
    if (quiet < ShortPacketWait) {
        reactor_.startTimer(this, kShortPacketTimer, ShortPacketWait - quiet, TimerMode::OneShot,
                            [this] { onShortPacketTimer(); });
        return;
    }
    // Nothing more came: hand over what there is, as one read of it would have been.
    const std::size_t length = rxEnd_ - rxBegin_;
    if (deliver(length)) cutPackets();
}

void Connection::send(std::span<const std::uint8_t> packet) {
    if (!isOpen() || packet.empty()) return;
    std::size_t sent = 0;
    if (txQueue_.empty() && !holding_) {
        while (sent < packet.size()) {
            const tcp::IoResult r =
                tcp::sendSome(handle_, packet.data() + sent, packet.size() - sent);
            if (r.status == tcp::IoResult::Status::Failed) return;  // the packet is dropped
            if (r.status == tcp::IoResult::Status::WouldBlock) break;
            sent += r.bytes;
        }
        if (sent == packet.size()) return;
    }
    txQueue_.emplace_back(packet.begin() + static_cast<std::ptrdiff_t>(sent), packet.end());
    txBytes_ += packet.size() - sent;
    if (!holding_) {
        updateInterest();
    } else if (!flushDeferred_) {
        flushDeferred_ = true;
        reactor_.defer(this, [this] {
            flushDeferred_ = false;
            if (isOpen() && !txQueue_.empty()) flushAndResume();
        });
    }
    notePressure();
}

void Connection::notePressure() {
    const bool over = overBound();
    if (over == wasOver_) return;
    wasOver_ = over;
    if (onPressure_) onPressure_(over);
}

void Connection::flush() {
    constexpr std::size_t kPieces = 64;
    std::array<tcp::Piece, kPieces> pieces{};
    while (!txQueue_.empty()) {
        std::size_t count = 0;
        for (auto it = txQueue_.begin(); it != txQueue_.end() && count < kPieces; ++it, ++count) {
            const std::size_t skip = count == 0 ? txSentOfFront_ : 0;
            pieces[count] = {it->data() + skip, it->size() - skip};
        }
        const tcp::IoResult r = tcp::sendPieces(handle_, pieces.data(), count);
        if (r.status == tcp::IoResult::Status::WouldBlock) break;
        // A failed send drops the rest of the packet it was in, and only that one.
        std::size_t moved = r.status == tcp::IoResult::Status::Failed ? pieces[0].size : r.bytes;
        while (moved > 0 && !txQueue_.empty()) {
            const std::size_t rest = txQueue_.front().size() - txSentOfFront_;
            const std::size_t taken = std::min(moved, rest);
            txSentOfFront_ += taken;
            txBytes_ -= taken;
            moved -= taken;
            if (taken == rest) {
                txQueue_.pop_front();
                txSentOfFront_ = 0;
            }
        }
        if (r.bytes < totalOf(pieces.data(), count) && r.ok()) break;  // the socket is full
    }
    updateInterest();
    notePressure();
}

void Connection::updateInterest() {
    if (!isOpen()) return;
    unsigned interest = 0;
    if (accepting()) interest |= kReadable;
    if (!txQueue_.empty()) interest |= kWritable;
    if (interest != interest_) {
        interest_ = interest;
        reactor_.setInterest(handle_, interest_);
    }
}

}  // namespace zelt::proto
