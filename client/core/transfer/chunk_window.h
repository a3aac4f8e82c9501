#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "common/platform/reactor.h"

namespace zelt::client {

// The chunks of one file that are on their way to or from a server that takes requests in
// flight. A file of n bytes moves as the chunks at offsets 0, 1024, ... up to n rounded down to
// a multiple of 1024 (that one holds the rest, maybe nothing), so nothing is ever asked past
// the end. The server answers in the order it was asked, so the oldest chunk in flight is the
// one each answer is for.
//
// How much may be in flight is measured, not fixed: the window is twice the bytes the link
// delivered in the shortest round trip seen, so it grows while the link has room and stops
// where the server or the link is the limit.
class ChunkWindow {
public:
    static constexpr std::int64_t kChunk = 1024;
    static constexpr std::int64_t kFirstWindow = 128 * 1024;
    static constexpr std::int64_t kSmallestWindow = 64 * 1024;
    static constexpr std::int64_t kLargestWindow = 16 * 1024 * 1024;

    // A new file of size bytes. With holdLast its last chunk is asked only once every chunk
    // before it has arrived, since the server deletes a download copy when it reads its end.
    void start(std::int64_t size, bool holdLast);

    // The offset to ask for next, counted as in flight from now on; none while the window is
    // full or everything has been asked.
    std::optional<std::int64_t> next(Millis now);
    // The answer to the oldest chunk in flight came: its offset, none when nothing was asked.
    std::optional<std::int64_t> answered(Millis now);
    // The chunk at offset arrived or was stored sound.
    void arrived(std::int64_t offset);
    // The chunk at offset came damaged: it is asked again before any new one.
    void again(std::int64_t offset);

    // The number of bytes the chunk at offset holds.
    std::int64_t countAt(std::int64_t offset) const;
    bool isLast(std::int64_t offset) const { return offset == lastOffset_; }
    bool complete() const { return arrived_ == chunks_; }
    // Every chunk has been asked for at least once and none waits to be asked again.
    bool allAsked() const { return chunks_ > 0 && nextFresh_ > lastOffset_ && again_.empty(); }
    std::size_t inFlight() const { return flight_.size(); }
    std::int64_t window() const { return window_; }

private:
    struct Asked {
        std::int64_t offset;
        Millis at;
        std::int64_t deliveredBefore;
    };
    std::optional<std::int64_t> pick();
    void measure(const Asked& asked, Millis now);

    std::int64_t size_ = 0;
    std::int64_t lastOffset_ = 0;
    std::int64_t chunks_ = 0;
    std::int64_t arrived_ = 0;
    std::int64_t delivered_ = 0;
    std::int64_t nextFresh_ = 0;
    bool holdLast_ = false;
    bool topping_ = false;  // a burst of requests is being handed out
    std::deque<Asked> flight_;
    std::deque<std::int64_t> again_;

    std::int64_t window_ = kFirstWindow;
    std::optional<Millis> shortestTrip_;
    double fastestRate_ = 0;  // bytes per millisecond
};

}  // namespace zelt::client
