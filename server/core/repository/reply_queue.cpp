#include "server/core/repository/reply_queue.h"

namespace zelt::server {

ReplyQueue::~ReplyQueue() {
    reactor_.cancelDeferred(this);
}

void ReplyQueue::reply(ConnectionId id, const proto::Packet& packet) {
    for (const Held& h : held_) {
        if (h.id == id) return hold(id, packet, {});
    }
    slots_.send(id, packet.bytes());
}

void ReplyQueue::replyAfterSave(ConnectionId id, const proto::Packet& packet,
                                SaveFailedFn onSaveFailed) {
    saveDue_ = true;
    hold(id, packet, std::move(onSaveFailed));
}

void ReplyQueue::hold(ConnectionId id, const proto::Packet& packet, SaveFailedFn onSaveFailed) {
    const auto bytes = packet.bytes();
    held_.push_back(Held{id, {bytes.begin(), bytes.end()}, std::move(onSaveFailed)});
    // Every answer held in this turn shares the one save at its end.
    if (!saveDeferred_) {
        saveDeferred_ = true;
        reactor_.defer(this, [this] { saveAndSend(); });
    }
}

void ReplyQueue::saveAndSend() {
    saveDeferred_ = false;
    std::vector<Held> held = std::move(held_);
    held_.clear();
    const bool saved = !saveDue_ || store_.commitGroupChanges();
    saveDue_ = false;
    for (Held& h : held) {
        // A connection that went meanwhile gets nothing, and neither does its slot's next one.
        if (slots_.find(h.id) == nullptr) continue;
        if (!saved && h.onSaveFailed) {
            proto::Packet packet = proto::Packet::received(h.bytes, h.bytes.size());
            h.onSaveFailed(packet);
            slots_.send(h.id, packet.bytes());
        } else {
            slots_.send(h.id, h.bytes);
        }
    }
}

}  // namespace zelt::server
