#pragma once

#include <functional>
#include <vector>

#include "common/platform/reactor.h"
#include "common/protocol/packet.h"
#include "server/core/session/slot_table.h"
#include "server/core/store/store.h"

namespace zelt::server {

// The answers of the repository requests, in the order of the requests, with those that report
// a changed check-out mark held until Groups.zelt holds the change: check-out marks are locks
// that users rely on. The answers of one turn of the loop are held, the changes they report
// are flushed to the group journal once at the end of the turn, and then they go out, each to
// the very connection that asked, never to one that took its slot meanwhile.
class ReplyQueue {
public:
    // Rewrites a held answer when the save it waited for failed.
    using SaveFailedFn = std::function<void(proto::Packet& reply)>;

    ReplyQueue(Reactor& reactor, SlotTable& slots, Store& store)
        : reactor_(reactor), slots_(slots), store_(store) {}
    ~ReplyQueue();
    ReplyQueue(const ReplyQueue&) = delete;
    ReplyQueue& operator=(const ReplyQueue&) = delete;

    // Sends an answer, behind any held answer of the same connection.
    void reply(ConnectionId id, const proto::Packet& packet);
    // Holds an answer until the group changes noted with the store are on disk, at the end of
    // the turn.
    void replyAfterSave(ConnectionId id, const proto::Packet& packet,
                        SaveFailedFn onSaveFailed = {});

private:
    struct Held {
        ConnectionId id;
        std::vector<std::uint8_t> bytes;
        SaveFailedFn onSaveFailed;
    };

    void hold(ConnectionId id, const proto::Packet& packet, SaveFailedFn onSaveFailed);
    void saveAndSend();

    Reactor& reactor_;
    SlotTable& slots_;
    Store& store_;
    std::vector<Held> held_;
    bool saveDue_ = false;
    bool saveDeferred_ = false;
};

}  // namespace zelt::server
