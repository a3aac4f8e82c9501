#include "server/core/session/slot_table.h"

namespace zelt::server {

SlotTable::SlotTable(Reactor& reactor, std::size_t capacity)
    : reactor_(reactor), slots_(capacity) {}

SlotTable::~SlotTable() {
    reactor_.cancelDeferred(this);
    closeListener();
    for (ConnectionSlot& slot : slots_) slot.connection.reset();
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
    if (listener_ == kNoHandle) return;
    reactor_.unwatch(listener_);
    tcp::closeSocket(listener_);
    listener_ = kNoHandle;
}

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
    for (std::size_t i = 0; i < slots_.size(); ++i) {
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
    // Take every waiting connection, so none is left in the queue unnoticed.
    while (listener_ != kNoHandle) {
        bool wouldBlock = false;
        int error = 0;
        const Handle handle = tcp::acceptConnection(listener_, &wouldBlock, &error);
        if (handle == kNoHandle) {
            if (!wouldBlock && onAcceptFailed) onAcceptFailed(error);
            return;
        }
        adopt(handle);
    }
}

ConnectionId SlotTable::adopt(Handle handle) {
    const int index = findFree();
    if (index < 0) {
        // Refused for lack of a slot: closing it at once tells the client, and keeps the
        // listening queue moving for the attempts that come after a slot frees up.
        tcp::closeSocket(handle);
        if (onFull) onFull();
        return {};
    }
    ConnectionSlot& slot = slots_[static_cast<std::size_t>(index)];
    slot.generation = ++generations_;
    slot.account = -1;
    slot.waiting.clear();
    slot.activity = 0;
    slot.checksWithoutLogIn = 0;
    slot.address = tcp::peerAddress(handle);
    const ConnectionId id{index, slot.generation};
    slot.connection = std::make_unique<proto::Connection>(
        reactor_, handle, proto::Receiver::Server,
        [this, id](std::span<const std::uint8_t> packet) {
            if (onPacket) onPacket(id, packet);
        },
        [this, id](int) { free(id); });
    return id;
}

void SlotTable::send(ConnectionId id, std::span<const std::uint8_t> packet) {
    ConnectionSlot* slot = find(id);
    if (slot != nullptr && slot->open()) slot->connection->send(packet);
}

void SlotTable::answer(ConnectionId id, std::span<const std::uint8_t> packet) {
    ConnectionSlot* slot = find(id);
    if (slot == nullptr) return;
    if (slot->waiting.empty()) return send(id, packet);
    slot->waiting.push_back({++slot->answersReserved, true, {packet.begin(), packet.end()}});
}

SlotTable::AnswerPlace SlotTable::reserveAnswer(ConnectionId id) {
    ConnectionSlot* slot = find(id);
    if (slot == nullptr) return {id, 0};
    slot->waiting.push_back({++slot->answersReserved, false, {}});
    return {id, slot->answersReserved};
}

void SlotTable::fillAnswer(const AnswerPlace& place, std::span<const std::uint8_t> packet) {
    ConnectionSlot* slot = find(place.id);
    if (slot == nullptr) return;
    for (ConnectionSlot::WaitingAnswer& w : slot->waiting) {
        if (w.number != place.number || w.ready) continue;
        w.ready = true;
        w.bytes.assign(packet.begin(), packet.end());
        break;
    }
    sendReadyAnswers(*slot);
}

void SlotTable::sendReadyAnswers(ConnectionSlot& slot) {
    while (!slot.waiting.empty() && slot.waiting.front().ready) {
        const std::vector<std::uint8_t> bytes = std::move(slot.waiting.front().bytes);
        slot.waiting.pop_front();
        if (!bytes.empty() && slot.open()) slot.connection->send(bytes);
    }
}

void SlotTable::free(ConnectionId id) {
    ConnectionSlot* slot = find(id);
    if (slot == nullptr) return;
    if (slot->account >= 0 && onRelease) onRelease(*slot);
    slot->connection->close();
    retired_.push_back(std::move(slot->connection));
    slot->account = -1;
    slot->activity = 0;
    slot->checksWithoutLogIn = 0;
    slot->waiting.clear();
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
