#include "server/core/session/slot_table.h"

#include <algorithm>

namespace zelt::server {

namespace {
// Timer ids: the listening socket's rest is the table's; the grace of a full queue is its slot's.
constexpr int kAcceptPauseTimer = 1;
constexpr int kSendGraceTimer = 1;
}  // namespace

SlotTable::SlotTable(Reactor& reactor, std::size_t capacity)
    : reactor_(reactor), slots_(capacity), usable_(capacity) {}

SlotTable::~SlotTable() {
    reactor_.cancelDeferred(this);
    closeListener();
    for (ConnectionSlot& slot : slots_) {
        reactor_.killTimer(&slot, kSendGraceTimer);
        slot.connection.reset();
    }
}

tcp::ListenResult SlotTable::listen(std::uint16_t port) {
    closeListener();
    tcp::ListenResult r = tcp::listenAll(port, 128);
    if (r.handle == kNoHandle) return r;
    listener_ = r.handle;
    boundPort_ = r.port;
    reactor_.watch(listener_, kReadable, [this](unsigned) { accept(); });
    return r;
}

void SlotTable::closeListener() {
    reactor_.killTimer(this, kAcceptPauseTimer);
    if (listener_ == kNoHandle) return;
    reactor_.unwatch(listener_);
    tcp::closeSocket(listener_);
    listener_ = kNoHandle;
}

void SlotTable::limitTo(std::size_t usable) { usable_ = std::min(usable, slots_.size()); }

ConnectionId SlotTable::idOf(std::size_t slot) const {
    if (slot >= slots_.size()) return {};
    return {static_cast<int>(slot), slots_[slot].generation};
}

ConnectionSlot* SlotTable::find(ConnectionId id) {
    if (id.slot < 0 || static_cast<std::size_t>(id.slot) >= slots_.size()) return nullptr;
    ConnectionSlot& slot = slots_[static_cast<std::size_t>(id.slot)];
    return slot.connection && slot.generation == id.generation ? &slot : nullptr;
}

const ConnectionSlot* SlotTable::find(ConnectionId id) const {
    return const_cast<SlotTable*>(this)->find(id);
}

int SlotTable::findFree() const {
    for (std::size_t i = 0; i < usable_; ++i) {
        if (!slots_[i].connection) return static_cast<int>(i);
    }
    return -1;
}

int SlotTable::openCount() const {
    int n = 0;
    for (const ConnectionSlot& slot : slots_) n += slot.connection ? 1 : 0;
    return n;
}

void SlotTable::accept() {
    // What is left waiting wakes the loop again at its next turn.
    for (int taken = 0; taken < AcceptsPerWake && listener_ != kNoHandle; ++taken) {
        bool wouldBlock = false;
        int error = 0;
        std::uint32_t peer = 0;
        const Handle handle = tcp::acceptConnection(listener_, &wouldBlock, &error, &peer);
        if (handle == kNoHandle) {
            if (wouldBlock) return;
            // Out of descriptors the socket stays readable, and answering it at once would
            // only spin: it rests, and the connections wait in its queue meanwhile.
            reactor_.setInterest(listener_, 0);
            reactor_.startTimer(this, kAcceptPauseTimer, AcceptPause, TimerMode::OneShot, [this] {
                if (listener_ != kNoHandle) reactor_.setInterest(listener_, kReadable);
            });
            if (onAcceptFailed) onAcceptFailed(error);
            return;
        }
        if (onArrival) {
            onArrival(handle, peer);
        } else {
            adopt(handle, peer);
        }
    }
}

ConnectionId SlotTable::adopt(Handle handle, std::uint32_t peerAddress) {
    const int index = findFree();
    if (index < 0) {
        // Closing it at once tells the client, and keeps the listening queue moving.
        tcp::closeSocket(handle);
        return {};
    }
    ConnectionSlot& slot = slots_[static_cast<std::size_t>(index)];
    slot.generation = ++generations_;
    slot.account = -1;
    slot.heldAnswers.clear();
    slot.heldAnswerBytes = 0;
    slot.activity = 0;
    slot.peerAddress = peerAddress;
    slot.connectedAt = reactor_.now();
    slot.pipelineFeatures = 0;
    slot.address = tcp::peerAddress(handle);
    const ConnectionId id{index, slot.generation};
    slot.connection = std::make_unique<proto::Connection>(
        reactor_, handle, proto::Receiver::Server,
        [this, id](std::span<const std::uint8_t> packet) {
            if (onPacket) onPacket(id, packet);
        },
        [this, id](int) { free(id); });
    slot.connection->setSendBound(SendBound);
    slot.connection->setPressureHandler([this, id](bool over) { onPressure(id, over); });
    return id;
}

void SlotTable::onPressure(ConnectionId id, bool over) {
    ConnectionSlot* slot = find(id);
    if (slot == nullptr) return;
    if (!over) {
        reactor_.killTimer(slot, kSendGraceTimer);
        return;
    }
    reactor_.startTimer(slot, kSendGraceTimer, SendGrace, TimerMode::OneShot,
                        [this, id] { dropStuck(id); });
}

void SlotTable::dropStuck(ConnectionId id) {
    ConnectionSlot* slot = find(id);
    if (slot == nullptr) return;
    if (onStuck) onStuck(*slot);
    free(id);
}

void SlotTable::send(ConnectionId id, std::span<const std::uint8_t> packet) {
    ConnectionSlot* slot = find(id);
    if (slot == nullptr || !slot->open()) return;
    if (slot->connection->unsentBytes() + packet.size() > SendCeiling) {
        dropStuck(id);
        return;
    }
    slot->connection->send(packet);
}

void SlotTable::holdReading(ConnectionId id, Millis until) {
    ConnectionSlot* slot = find(id);
    if (slot != nullptr && slot->open()) slot->connection->holdReadingUntil(until);
}

void SlotTable::pauseReading(ConnectionId id, bool paused) {
    ConnectionSlot* slot = find(id);
    if (slot != nullptr && slot->open()) slot->connection->pauseReading(paused);
}

void SlotTable::answer(ConnectionId id, std::span<const std::uint8_t> packet) {
    ConnectionSlot* slot = find(id);
    if (slot == nullptr || !slot->open()) return;
    if (slot->heldAnswers.empty()) return send(id, packet);
    if (slot->connection->unsentBytes() + slot->heldAnswerBytes + packet.size() > SendCeiling) {
        dropStuck(id);
        return;
    }
    slot->heldAnswers.push_back({++slot->answersReserved, true, {packet.begin(), packet.end()}});
    slot->heldAnswerBytes += packet.size();
}

SlotTable::AnswerPlace SlotTable::reserveAnswer(ConnectionId id) {
    ConnectionSlot* slot = find(id);
    if (slot == nullptr) return {id, 0};
    slot->heldAnswers.push_back({++slot->answersReserved, false, {}});
    return {id, slot->answersReserved};
}

void SlotTable::fillAnswer(const AnswerPlace& place, std::span<const std::uint8_t> packet) {
    ConnectionSlot* slot = find(place.id);
    if (slot == nullptr) return;
    for (ConnectionSlot::HeldAnswer& h : slot->heldAnswers) {
        if (h.number != place.number || h.ready) continue;
        h.ready = true;
        h.bytes.assign(packet.begin(), packet.end());
        slot->heldAnswerBytes += packet.size();
        break;
    }
    sendReadyAnswers(place.id);
}

void SlotTable::sendReadyAnswers(ConnectionId id) {
    // Each send may find the connection stuck and free its slot.
    for (ConnectionSlot* slot = find(id);
         slot != nullptr && !slot->heldAnswers.empty() && slot->heldAnswers.front().ready;
         slot = find(id)) {
        const std::vector<std::uint8_t> bytes = std::move(slot->heldAnswers.front().bytes);
        slot->heldAnswers.pop_front();
        slot->heldAnswerBytes -= bytes.size();
        if (!bytes.empty()) send(id, bytes);
    }
}

void SlotTable::free(ConnectionId id) {
    ConnectionSlot* slot = find(id);
    if (slot == nullptr) return;
    if (slot->account >= 0 && onRelease) onRelease(*slot);
    reactor_.killTimer(slot, kSendGraceTimer);
    slot->connection->close();
    retired_.push_back(std::move(slot->connection));
    slot->account = -1;
    slot->activity = 0;
    slot->peerAddress = 0;
    slot->pipelineFeatures = 0;
    slot->heldAnswers.clear();
    slot->heldAnswerBytes = 0;
    // The connection may be the one whose handler is running; it goes at the end of the turn.
    if (retired_.size() == 1) reactor_.defer(this, [this] { retired_.clear(); });
}

void SlotTable::freeSlot(int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= slots_.size()) return;
    free(idOf(static_cast<std::size_t>(slot)));
}

void SlotTable::freeAll() {
    for (std::size_t i = 0; i < slots_.size(); ++i) free(idOf(i));
}

}  // namespace zelt::server
