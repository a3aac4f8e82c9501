#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/protocol/packet.h"
#include "server/core/repository/check_outs.h"
#include "server/core/repository/reply_queue.h"
#include "server/core/repository/request_work.h"
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
             ReplyQueue& replies, RequestWork& work, const std::int32_t& retentionCount)
        : sessions_(sessions),
          checkOuts_(checkOuts),
          versions_(versions),
          temps_(temps),
          replies_(replies),
          work_(work),
          retentionCount_(retentionCount) {}

    void onReqCheckInChunk(ConnectionId id, const proto::Packet& request);
    void onReqCheckInAbort(ConnectionId id, const proto::Packet& request);
    void onReqCheckIn(ConnectionId id, const proto::Packet& request);

private:
    // What the commit of an upload needs, taken on the loop's thread.
    struct Commit {
        std::string path;
        std::string upload;
        VersionStore::NewVersion original;  // kept first when the file was never checked in
        VersionStore::NewVersion latest;
        std::int32_t retention;
    };
    // The commit's work on the files, on any thread; the reason of a failure, or "" when
    // checked in.
    static std::string_view checkIn(const VersionStore& versions, const Commit& commit);
    // Answers a commit; a checked-in one releases the check-out and is answered once the
    // release is on disk.
    void answer(ConnectionId id, proto::Packet out, const std::string& path,
                const std::string& userName, std::string_view reason);

    Sessions& sessions_;
    CheckOuts& checkOuts_;
    VersionStore& versions_;
    TempFiles& temps_;
    ReplyQueue& replies_;
    RequestWork& work_;
    const std::int32_t& retentionCount_;
};

}  // namespace zelt::server
