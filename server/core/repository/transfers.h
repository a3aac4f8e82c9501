#pragma once

#include <cstdint>
#include <string_view>

#include "common/protocol/packet.h"
#include "server/core/repository/reply_queue.h"
#include "server/core/repository/request_work.h"
#include "server/core/repository/temp_files.h"
#include "server/core/session/sessions.h"
#include "server/core/store/store.h"

namespace zelt::server {

// View and fetch transfers: a private copy of a member file in Temp, handed out in checksummed
// chunks of 1024 bytes that the client asks for by offset. The two families differ only in the
// fetch's request tag.
class Transfers {
public:
    // Copies of files up to this size are made on the loop's thread.
    static constexpr std::int64_t CopyAtOnceBytes = std::int64_t{1} << 20;

    Transfers(Store& store, Sessions& sessions, TempFiles& temps, ReplyQueue& replies,
              RequestWork& work)
        : store_(store), sessions_(sessions), temps_(temps), replies_(replies), work_(work) {}

    void onReqViewOpen(ConnectionId id, const proto::Packet& request) { openCopy(id, request); }
    void onReqViewChunk(ConnectionId id, const proto::Packet& request) { sendChunk(id, request); }
    void onReqViewClose(ConnectionId id, const proto::Packet& request) { closeCopy(id, request); }
    void onReqFetchOpen(ConnectionId id, const proto::Packet& request) { openCopy(id, request); }
    void onReqFetchChunk(ConnectionId id, const proto::Packet& request) { sendChunk(id, request); }
    void onReqFetchClose(ConnectionId id, const proto::Packet& request) { closeCopy(id, request); }

private:
    void openCopy(ConnectionId id, const proto::Packet& request);
    void sendChunk(ConnectionId id, const proto::Packet& request);
    void closeCopy(ConnectionId id, const proto::Packet& request);
    // The path is a member file of an enabled group that the user belongs to.
    bool mayRead(std::string_view path, std::string_view userName) const;

    Store& store_;
    Sessions& sessions_;
    TempFiles& temps_;
    ReplyQueue& replies_;
    RequestWork& work_;
};

}  // namespace zelt::server
