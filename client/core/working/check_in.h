#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/transfer/transfer_engine.h"
#include "client/core/ui/client_ui.h"
#include "client/core/working/working_files.h"
#include "common/console/console.h"

namespace zelt::client {

// Check-in: each selected working copy is uploaded in chunks, commented, committed, kept in
// the Backup folder, and its record released; one file after another.
class CheckIn {
public:
    CheckIn(Console& console, ClientUi& ui, ServerLink& link, LocalState& local,
            TransferEngine& engine, WorkingFiles& working)
        : console_(console),
          ui_(ui),
          link_(link),
          local_(local),
          engine_(engine),
          working_(working) {}

    // Working Files: Check-In.
    void checkInSelected();
    void onChunk(const proto::Packet& p);
    void onAnswer(const proto::Packet& p);

private:
    struct Entry {
        std::string path;
        std::string workingPath;
        std::string uploadName;
        int record = CheckOutTable::kNone;
        std::int64_t nextOffset = 0;
    };
    struct Comment {
        std::string text;
        bool apply = false;  // used for the rest of this check-in's files without asking
    };

    void loop();
    void next();
    void sendChunk();
    void abort(const Entry& entry);
    void commit();
    std::string uploadName(const std::string& workingPath) const;

    Console& console_;
    ClientUi& ui_;
    ServerLink& link_;
    LocalState& local_;
    TransferEngine& engine_;
    WorkingFiles& working_;
    std::vector<Entry> list_;
    int index_ = 0;
    Comment comment_;
};

}  // namespace zelt::client
