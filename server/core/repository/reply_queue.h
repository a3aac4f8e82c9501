#pragma once

#include <functional>
#include <vector>

#include "common/platform/reactor.h"
#include "common/protocol/packet.h"
#include "server/core/session/slot_table.h"
#include "server/core/store/store.h"

namespace zelt::server {

// The answers of the repository requests, through the connection's line of answers (so each
// goes in the order of the requests), with those that report a changed check-out mark held
// until the disk holds the change: check-out marks are locks that users rely on. The changes
// of one turn of the loop are flushed to the group journal once at its end, and then their
// answers are given, each to the very connection that asked, never to one that took its slot
// meanwhile.
class ReplyQueue {
public:
    // Rewrites a held answer when the save it waited for failed.
    using SaveFailedFn = std::function<void(proto::Packet& reply)>;

    ReplyQueue(Reactor& reactor, SlotTable& slots, Store& store)
        : reactor_(reactor), slots_(slots), store_(store) {}
    ~ReplyQueue();
    ReplyQueue(const ReplyQueue&) = delete;
    ReplyQueue& operator=(const ReplyQueue&) = delete;

    // Sends an answer, behind any answer of the same connection not given yet.
    void reply(ConnectionId id, const proto::Packet& packet);
    // Holds an answer until the group changes noted with the store are on disk, at the end of
    // the turn.
    void replyAfterSave(ConnectionId id, const proto::Packet& packet,
                        SaveFailedFn onSaveFailed = {});

private:
    struct Held {
        SlotTable::AnswerPlace place;
        std::vector<std::uint8_t> bytes;
        SaveFailedFn onSaveFailed;
    };

    void saveAndSend();

    Reactor& reactor_;
    SlotTable& slots_;
    Store& store_;
    std::vector<Held> held_;
    bool saveDeferred_ = false;
};

}  // namespace zelt::server
