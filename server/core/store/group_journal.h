#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/files.h"

namespace zelt::server {

// Changes of the group table made durable without writing the whole 8 MB table for each: the
// bytes a change touched are appended to a journal beside Groups.zelt and flushed, and the
// table itself is written again now and then on a thread of its own, and whenever it is saved
// whole. Groups.zelt stays the file everything else reads; the journal only carries what it
// does not hold yet.
//
// The journal is a run of numbered segments. Each begins with a fingerprint of the table image
// it follows from and holds records (where, how many bytes, the bytes, a checksum). The start
// applies, oldest first, each segment whose fingerprint matches the table as it stands, so a
// segment that a newer Groups.zelt already holds is passed over, and a record torn by a crash
// ends its segment. A rewrite closes the segment in use, starts a new one that follows from the
// image being written, and deletes the older ones once Groups.zelt holds that image.
class GroupJournal {
public:
    static constexpr std::size_t kHeaderSize = 12;  // magic, fingerprint
    // Rewrites once the segment in use holds this many bytes of records.
    static constexpr std::size_t RewriteAfterBytes = std::size_t{4} << 20;

    explicit GroupJournal(std::string tablePath) : tablePath_(std::move(tablePath)) {}
    ~GroupJournal();
    GroupJournal(const GroupJournal&) = delete;
    GroupJournal& operator=(const GroupJournal&) = delete;

    // Applies to image, just read from the table, what the journal holds beyond it. Returns the
    // number of segments applied; any segment at all (applied or not) is reported by hasFiles.
    static std::size_t replay(const std::string& tablePath, std::span<std::uint8_t> image);
    static bool hasFiles(const std::string& tablePath);

    // Records the bytes of image at [offset, offset + size) as changed; commit() makes it last.
    void note(std::span<const std::uint8_t> image, std::size_t offset, std::size_t size);
    bool pending() const { return !pending_.empty(); }
    // Appends what was noted and flushes it. A failure leaves the journal unusable until the
    // next whole save.
    files::Status commit();
    bool broken() const { return broken_; }

    // Waits for a rewrite under way: a whole save must not be overtaken by an older image.
    void waitForRewrite();
    // Records from now on follow from image: the table as read and replayed at the start.
    void follow(std::span<const std::uint8_t> image);
    // Groups.zelt now holds image, saved whole: every segment goes.
    void tableSaved(std::span<const std::uint8_t> image);
    // The same for a table kept without the journal: no records will follow, so no fingerprint.
    void discardAll();
    // Starts a rewrite of Groups.zelt from image off this thread when the segment in use is
    // large (or holds anything, when asked), and finishes one that is done. Returns false when
    // a finished rewrite failed. writer writes the table's bytes (empty: write(2)).
    bool maintain(std::span<const std::uint8_t> image, bool whenAnything,
                  const files::WriteFn& writer = {});

    bool rewriting() const { return writer_.joinable(); }
    // Whether the segment in use holds records that Groups.zelt does not.
    bool hasRecords() const { return file_.isOpen() && size_ > kHeaderSize; }

    // Bytes written to the journal so far, for measurements (readable from any thread).
    std::uint64_t bytesWritten() const { return bytesWritten_.load(std::memory_order_relaxed); }

    static std::uint64_t fingerprint(std::span<const std::uint8_t> bytes);

    // Where the next records go.
    std::string segmentPath() const { return segmentPath(segment_); }

private:
    std::string segmentPath(std::uint64_t number) const;
    static std::vector<std::pair<std::uint64_t, std::string>> segments(const std::string& table);
    void deleteSegmentsBelow(std::uint64_t number);
    // Closes the segment in use and moves past every segment on disk.
    void startOver();
    files::Status openSegment();

    std::string tablePath_;
    std::uint64_t segment_ = 0;  // the number of the segment records go to
    std::uint64_t base_ = 0;     // the fingerprint it follows from
    files::OpenFile file_;       // closed until its first record
    std::uint64_t size_ = 0;     // of the segment in use
    std::vector<std::uint8_t> pending_;
    bool broken_ = false;
    std::atomic<std::uint64_t> bytesWritten_{0};

    std::thread writer_;
    std::atomic<bool> writerDone_{false};
    bool writerOk_ = false;
    std::uint64_t rewriteSegment_ = 0;  // the first segment the image being written does not hold
};

}  // namespace zelt::server
