#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "client/core/session/server_link.h"
#include "client/core/transfer/chunk_window.h"
#include "client/core/transfer/chunk_writer.h"
#include "client/core/ui/client_ui.h"
#include "common/console/console.h"
#include "common/platform/files.h"
#include "common/protocol/fields.h"
#include "common/protocol/opcodes.h"

namespace zelt::client {

// The one transfer that runs at a time (a view copy, a fetch or a check-in upload): its record,
// the File Transfer window with its progress bar and Cancel, and the steps every kind of
// transfer shares. Each step is triggered by the answer to the previous one.
class TransferEngine {
public:
    enum class Kind { None, View, Fetch, CheckIn };
    struct Record {
        std::string path;
        std::string tempPath;
        std::int64_t size = 0;
        std::int64_t received = 0;
        bool cancel = false;
        int badChunks = 0;  // damaged answers in a row for the chunk now asked for
        // With a server that takes requests in flight: the chunks on their way, and the local
        // file they are read from (an upload) or written into (a download), kept open for the
        // whole file.
        ChunkWindow window;
        ChunkReader file;
        ChunkWriter out;
    };
    // A chunk that arrives damaged this many times in a row ends its transfer.
    static constexpr int kMaxBadChunks = 10;

    TransferEngine(Console& console, ClientUi& ui, ServerLink& link, const Clock& clock)
        : console_(console), ui_(ui), link_(link), clock_(clock) {}

    const FileTransferModel& model() const { return model_; }
    Kind kind() const { return kind_; }
    Record& record() { return record_; }
    // A fetch is under way: the Working Files buttons stay off. Cancel clears it at once, before
    // the fetch itself notices at its next chunk.
    bool fetching() const { return fetching_; }
    void setFetching(bool fetching) { fetching_ = fetching; }

    // True, with the line that says so, while a transfer runs.
    bool busy();
    // A transfer of this kind starts with a fresh record.
    void begin(Kind kind);
    // What a download had gathered reaches its file: a partial view copy stays whole as far
    // as it came.
    void finish() {
        kind_ = Kind::None;
        record_.file.close();
        (void)record_.out.close();
    }
    void resetRecord() { record_ = Record{}; }
    // Whether an answer's request tag names an entry of the transfer list now running.
    bool answers(Kind kind, int tag, std::size_t listSize) const;
    // Whatever was under way ends with the connection; false when nothing was.
    bool abandon();

    // Judges a download chunk: Good with its data when its count and checksum hold, AskAgain
    // for a damaged one, GiveUp when the server could not read the file or too many chunks have
    // come damaged in a row.
    //
    // With requests in flight (offset given) the answer is for the oldest chunk of the window,
    // whose offset comes back in *offset; a damaged one is asked again, and a sound one must
    // also have the length and the end the announced size gives it. Ignore is an answer to no
    // chunk of this file (one still on its way when its file was given up).
    enum class Chunk { Good, AskAgain, GiveUp, Ignore };
    Chunk takeChunk(const proto::Packet& p, std::int32_t status, proto::Int64 countField,
                    proto::Byte checksumField, proto::Bytes dataField,
                    std::span<const std::uint8_t>* data, std::int64_t* offset = nullptr);
    // Counts a damaged chunk; false once there have been too many in a row.
    bool acceptBadChunk() { return ++record_.badChunks < kMaxBadChunks; }
    void chunkArrived() { record_.badChunks = 0; }
    // Writes a chunk that arrived sound at its offset of the file (made afresh for the first
    // chunk stored), counts it and moves the progress on; *opened as for appendChunk. The
    // bytes may wait in the record's writer: a download is whole only once out.close() holds.
    bool storeChunk(const std::string& file, std::int64_t offset,
                    std::span<const std::uint8_t> data, bool* opened);
    // The time the windows measure their round trips with.
    Millis now() const { return clock_.monotonic(); }
    // Tells the server to delete its temporary copy of a download given up before its end.
    void releaseServerCopy(proto::Opcode close, const std::string& tempPath);
    // Writes a chunk at the end of file (creating it for the first chunk), counts it received and
    // moves the progress on. *opened tells a file that could not be opened from one that
    // could not be written.
    bool appendChunk(const std::string& file, std::span<const std::uint8_t> data, bool* opened);

    // The File Transfer window. The progress, the rate and the time left follow the bytes
    // the record counts as received (an upload counts the bytes the server has taken).
    void openWindow(const std::string& path, std::int64_t size);
    void advance();
    void hideWindow();
    void cancel();
    void destroyWindow();

private:
    Console& console_;
    ClientUi& ui_;
    ServerLink& link_;
    const Clock& clock_;
    Millis startedAt_ = 0;
    Kind kind_ = Kind::None;
    Record record_;
    bool fetching_ = false;
    FileTransferModel model_;
};

// "'<base name>' received.", the line of a download that has arrived whole.
std::string receivedLine(const std::string& path);
// "Your check-out for '<path>' is voided by administrator."
std::string voidedLine(const std::string& path);

// A transfer's rate ("850 B/s", "12.5 KB/s", "3.2 MB/s") and the time its rest will take at
// that rate ("45 s", "2 min 05 s", "1 h 20 min"); empty until it has run for kRateAfter.
inline constexpr Millis kRateAfter = 500;
std::string rateText(std::int64_t bytes, Millis elapsed);
std::string timeLeftText(std::int64_t bytesLeft, std::int64_t bytes, Millis elapsed);

}  // namespace zelt::client
