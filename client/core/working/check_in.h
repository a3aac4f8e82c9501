#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/transfer/transfer_engine.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"
#include "client/core/working/working_files.h"
#include "common/console/console.h"

namespace zelt::client {

// Check-in: each selected working copy is uploaded in chunks, commented, committed, kept in
// the Backup folder, and its record released; one file after another.
class CheckIn {
public:
    CheckIn(Console& console, ClientUi& ui, const FlowEvents& events, ServerLink& link,
            LocalState& local, TransferEngine& engine, WorkingFiles& working)
        : console_(console),
          ui_(ui),
          events_(events),
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
    // With chunks in flight: sends what the window allows; false when the file gave out.
    bool sendChunksInFlight(const Entry& entry);
    // The answer to a chunk in flight.
    void onChunkInFlight(Entry& entry, const proto::Packet& p);
    void abort(const Entry& entry);
    void commit();
    // The file goes no further: its error line, and on to the next file.
    void giveUp(const Entry& entry, Outcome outcome, const std::string& line);
    std::string uploadName(const std::string& workingPath) const;

    Console& console_;
    ClientUi& ui_;
    const FlowEvents& events_;
    ServerLink& link_;
    LocalState& local_;
    TransferEngine& engine_;
    WorkingFiles& working_;
    std::vector<Entry> list_;
    int index_ = 0;
    Comment comment_;
};

}  // namespace zelt::client
