#pragma once

#include <cstdint>
#include <deque>
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
//
// With a server that takes requests in flight, the files after the one being fetched are
// opened ahead, and once every chunk of the current file has been asked for, the chunks of
// the next files are asked for too. Their answers wait, as they came, until their file is the
// current one, and are then taken exactly as if they had just arrived: each file's lines,
// windows and records come in the same order as one file after another.
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
        // With requests in flight, while the entry waits behind the current one: whether its
        // opening was asked for and answered, what the answer named, the chunks asked for it,
        // and its answers as they came.
        bool openAsked = false;
        bool openAnswered = false;
        bool opened = false;
        std::int64_t size = 0;
        ChunkWindow window;
        std::deque<std::vector<std::uint8_t>> early;
    };
    // Copies of files opened ahead that are not being fetched yet, in entries and in bytes.
    // Our server keeps at most 16 copies and uploads per account and drops the least recently
    // used one for a new one: half of that leaves room for anything else of the user's.
    static constexpr std::size_t kOpensAhead = 8;
    static constexpr std::int64_t kOpenAheadBytes = 64 << 20;

    void loop();
    void next();
    void requestChunk();
    // With requests in flight: opens the next entries, asks for their chunks once the
    // current file has asked for all of its own, and takes what came early for the current one.
    void openAhead();
    void askAhead();
    void takeEarly();
    bool keepEarly(int index, const proto::Packet& p);
    // A cancel drops the entries behind the current one: their copies go on the server.
    void releaseAhead();
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
    std::size_t opensSent_ = 0;
    // Openings asked for by a fetch that was cancelled: their answers, still to come before
    // any other, name copies that only need releasing.
    int staleOpens_ = 0;
    bool takingEarly_ = false;
};

}  // namespace zelt::client
