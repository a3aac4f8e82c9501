#include "server/core/repository/reply_queue.h"

namespace zelt::server {

ReplyQueue::~ReplyQueue() {
    reactor_.cancelDeferred(this);
}

void ReplyQueue::reply(ConnectionId id, const proto::Packet& packet) {
    slots_.answer(id, packet.bytes());
}

void ReplyQueue::replyAfterSave(ConnectionId id, const proto::Packet& packet,
                                SaveFailedFn onSaveFailed) {
    const auto bytes = packet.bytes();
    held_.push_back(Held{slots_.reserveAnswer(id), {bytes.begin(), bytes.end()},
                         std::move(onSaveFailed)});
    // Every answer held in this turn shares the one flush at its end.
    if (!saveDeferred_) {
        saveDeferred_ = true;
        reactor_.defer(this, [this] { saveAndSend(); });
    }
}

void ReplyQueue::saveAndSend() {
    saveDeferred_ = false;
    std::vector<Held> held = std::move(held_);
    held_.clear();
    const bool saved = store_.commitGroupChanges();
    for (Held& h : held) {
        if (!saved && h.onSaveFailed) {
            proto::Packet packet = proto::Packet::received(h.bytes, h.bytes.size());
            h.onSaveFailed(packet);
            slots_.fillAnswer(h.place, packet.bytes());
        } else {
            slots_.fillAnswer(h.place, h.bytes);
        }
    }
}

}  // namespace zelt::server
