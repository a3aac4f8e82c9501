#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/protocol/packet.h"
#include "server/core/repository/check_outs.h"
#include "server/core/repository/reply_queue.h"
#include "server/core/repository/temp_files.h"
#include "server/core/repository/version_store.h"
#include "server/core/session/sessions.h"

namespace zelt::server {

// Check-in: the upload of a new content in chunks into Temp, and its commit as the latest
// version of a member file with a kept version and details, which releases the check-out.
class CheckIns {
public:
    // retentionCount is the setting as it stands at each commit.
    CheckIns(Sessions& sessions, CheckOuts& checkOuts, VersionStore& versions, TempFiles& temps,
             ReplyQueue& replies, const std::int32_t& retentionCount)
        : sessions_(sessions),
          checkOuts_(checkOuts),
          versions_(versions),
          temps_(temps),
          replies_(replies),
          retentionCount_(retentionCount) {}

    void onReqCheckInChunk(ConnectionId id, const proto::Packet& request);
    void onReqCheckInAbort(ConnectionId id, const proto::Packet& request);
    void onReqCheckIn(ConnectionId id, const proto::Packet& request);

private:
    // The commit's work on the files; the reason of a failure, or "" when checked in.
    std::string_view checkIn(const std::string& path, const std::string& upload,
                             const std::string& userName, const std::string& comment);

    Sessions& sessions_;
    CheckOuts& checkOuts_;
    VersionStore& versions_;
    TempFiles& temps_;
    ReplyQueue& replies_;
    const std::int32_t& retentionCount_;
};

}  // namespace zelt::server
