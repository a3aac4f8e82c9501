#pragma once

#include <string>
#include <vector>

#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/transfer/transfer_engine.h"
#include "client/core/working/working_files.h"
#include "common/console/console.h"

namespace zelt::client {

// Fetching checked-out files into the Working folder, one after another, each working copy
// named after its server file.
class Fetch {
public:
    Fetch(Console& console, ServerLink& link, LocalState& local, TransferEngine& engine,
          WorkingFiles& working)
        : console_(console), link_(link), local_(local), engine_(engine), working_(working) {}

    // Working Files: Fetch File, and Open File on a file not fetched yet.
    void fetchSelected();
    void onOpen(const proto::Packet& p);
    void onChunk(const proto::Packet& p);

private:
    struct Entry {
        int record = CheckOutTable::kNone;
        std::string path;
        std::string tempPath;
        std::string target;  // the working copy being written; empty when it cannot be named
    };

    void loop();
    void next();
    void requestChunk();
    // Gives the entry up with an error line and goes on with the next one.
    void skip(const Entry& entry, std::int32_t status, const std::string& line);

    Console& console_;
    ServerLink& link_;
    LocalState& local_;
    TransferEngine& engine_;
    WorkingFiles& working_;
    std::vector<Entry> list_;
    int index_ = 0;
};

}  // namespace zelt::client
