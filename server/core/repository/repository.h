#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/platform/clock.h"
#include "server/core/repository/check_ins.h"
#include "server/core/repository/check_outs.h"
#include "server/core/repository/reply_queue.h"
#include "server/core/repository/temp_files.h"
#include "server/core/repository/transfers.h"
#include "server/core/repository/version_store.h"

namespace zelt::server {

// The member files' side of the server, put together: the version store and the Temp folder,
// the answers that wait for Groups.zelt, and the three kinds of request on member files
// (check-outs, transfers, check-ins).
class Repository {
public:
    struct Places {
        std::string filesFolder;
        std::string tempFolder;
        TempFiles::Limits tempLimits;
        bool copiesOnLoopThread = false;  // see ServerOptions
    };

    Repository(Reactor& reactor, Store& store, SlotTable& slots, Sessions& sessions,
               const Places& places, const std::int32_t& retentionCount)
        : versions_(places.filesFolder, reactor.clock()),
          temps_(places.tempFolder, places.tempLimits),
          replies_(reactor, slots, store),
          work_(reactor, slots, places.copiesOnLoopThread),
          checkOuts_(reactor.clock(), store, slots, sessions, replies_, versions_),
          transfers_(store, sessions, temps_, replies_, work_),
          checkIns_(sessions, checkOuts_, versions_, temps_, replies_, work_, retentionCount) {}

    VersionStore& versions() { return versions_; }
    TempFiles& tempFiles() { return temps_; }
    const TempFiles& tempFiles() const { return temps_; }
    CheckOuts& checkOuts() { return checkOuts_; }
    Transfers& transfers() { return transfers_; }
    CheckIns& checkIns() { return checkIns_; }
    RequestWork& work() { return work_; }

    // A connection closed: the copies and uploads it made are of no use to anyone.
    void connectionClosed(ConnectionId id) { temps_.removeAllOf(id); }
    // Lets the copies under way end, their answers and releases included (an orderly exit).
    void finishWork() { work_.finish(); }

    // Tells a user's client that the administrator voided its check-out of path.
    void sendCheckOutVoided(std::string_view userName, std::string_view path) {
        checkOuts_.sendVoided(userName, path);
    }

private:
    VersionStore versions_;
    TempFiles temps_;
    ReplyQueue replies_;
    // After the version store, which a job off the loop's thread uses: going first, it waits
    // for the job under way (endings not run by then are dropped).
    RequestWork work_;
    CheckOuts checkOuts_;
    Transfers transfers_;
    CheckIns checkIns_;
};

}  // namespace zelt::server
