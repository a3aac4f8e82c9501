#pragma once

#include <string>
#include <vector>

#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/transfer/transfer_engine.h"
#include "client/core/ui/flow_events.h"
#include "client/core/working/working_files.h"
#include "common/console/console.h"

namespace zelt::client {

// Fetching checked-out files into the Working folder, one after another, each working copy
// named after its server file. A copy is put together in the Temp folder and moved into
// Working only once it has arrived whole, so Working never holds half a file: not after a
// damaged transfer, a cancel, a lost connection, nor a program killed in the middle.
class Fetch {
public:
    Fetch(Console& console, const FlowEvents& events, ServerLink& link, LocalState& local,
          TransferEngine& engine, WorkingFiles& working)
        : console_(console),
          events_(events),
          link_(link),
          local_(local),
          engine_(engine),
          working_(working) {}

    // Working Files: Fetch File, and Open File on a file not fetched yet.
    void fetchSelected();
    void onOpen(const proto::Packet& p);
    void onChunk(const proto::Packet& p);
    // The connection went while a fetch ran: what had arrived of the file goes.
    void abandon();

private:
    struct Entry {
        int record = CheckOutTable::kNone;
        std::string path;
        std::string tempPath;
        std::string target;  // the working copy; empty when it cannot be named
        std::string part;    // where the copy is put together until it is whole
    };

    void loop();
    void next();
    void requestChunk();
    // Gives the entry up with an error line and goes on with the next one.
    void skip(const Entry& entry, std::int32_t status, Outcome outcome, const std::string& line);
    // Moves a whole copy into the Working folder.
    bool place(const Entry& entry);

    Console& console_;
    const FlowEvents& events_;
    ServerLink& link_;
    LocalState& local_;
    TransferEngine& engine_;
    WorkingFiles& working_;
    std::vector<Entry> list_;
    int index_ = 0;
};

}  // namespace zelt::client
