#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
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
//
// With a server that takes requests in flight, once no Comment dialog is left to ask (the
// comment goes with the rest of the files), the next file's upload starts as soon as a
// commit is sent, and its chunks go as soon as the current file has sent all of its own. The
// answers of a file behind the current one wait, as they came, for its turn; commits are
// answered in the order they were sent. Each file's lines and records come as one file after
// another would give them.
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
    // The connection went: nothing sent on it will be answered.
    void connectionLost();

private:
    struct Entry {
        std::string path;
        std::string workingPath;
        std::string uploadName;
        int record = CheckOutTable::kNone;
        std::int64_t nextOffset = 0;
        int index = 0;
        // With requests in flight, an upload started while the entry waits behind the current
        // one: its size, its window and file, and its answers as they came.
        bool ahead = false;
        bool broken = false;  // its working copy could not be read while it waited
        std::int64_t size = 0;
        ChunkWindow window;
        std::shared_ptr<ChunkReader> file;
        std::deque<std::vector<std::uint8_t>> early;
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
    // What the server said to a commit: the file's line, its backup and its record.
    void settle(const Entry& entry, const proto::Packet& p);
    // The list is through (or cancelled): once every commit sent is answered, the flow ends.
    void end(bool cancelled);
    void finishEnd();
    // With requests in flight: the uploads of the files behind the current one.
    void sendAhead();
    bool startAhead(Entry& entry);
    void sendChunkPacket(const Entry& entry, std::int64_t offset,
                         std::span<const std::uint8_t> chunk);
    void takeEarly();
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
    // Commits sent without waiting for their answers, oldest first.
    std::deque<Entry> committed_;
    bool ending_ = false;
    bool takingEarly_ = false;
    // Chunk requests sent and chunk answers received on this connection, and the first
    // request of the list now running: answers come in the order of the requests, so an
    // answer numbered below it belongs to a list that ended before.
    std::uint64_t sentChunks_ = 0;
    std::uint64_t answeredChunks_ = 0;
    std::uint64_t firstChunk_ = 0;
    // Files whose upload may begin while they wait, each holding its working copy open. Our
    // server keeps at most 16 copies and uploads per account and drops the least recently
    // used one for a new one: half of that leaves room for anything else of the user's.
    static constexpr std::size_t kAhead = 8;
};

}  // namespace zelt::client
