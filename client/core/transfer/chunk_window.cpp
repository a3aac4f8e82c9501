#include "client/core/transfer/chunk_window.h"

#include <algorithm>
#include <cmath>

namespace zelt::client {

void ChunkWindow::start(std::int64_t size, bool holdLast) {
    *this = ChunkWindow{};
    size_ = std::max<std::int64_t>(size, 0);
    lastOffset_ = size_ / kChunk * kChunk;
    chunks_ = size_ / kChunk + 1;
    holdLast_ = holdLast;
}

std::int64_t ChunkWindow::countAt(std::int64_t offset) const {
    return std::clamp<std::int64_t>(size_ - offset, 0, kChunk);
}

std::optional<std::int64_t> ChunkWindow::next(Millis now) {
    const std::optional<std::int64_t> offset = pick();
    topping_ = offset.has_value();
    if (offset) flight_.push_back({*offset, now, delivered_});
    return offset;
}

std::optional<std::int64_t> ChunkWindow::pick() {
    const std::int64_t inFlight = static_cast<std::int64_t>(flight_.size()) * kChunk;
    // The window is topped up in bursts of at least a quarter of it, not a chunk per answer:
    // each burst is one write on both sides of the link instead of one per few answers.
    if (inFlight >= window_ || (!topping_ && window_ - inFlight < window_ / 4)) {
        return std::nullopt;
    }
    if (!again_.empty()) {
        const std::int64_t offset = again_.front();
        if (holdLast_ && offset == lastOffset_ && arrived_ != chunks_ - 1) return std::nullopt;
        again_.pop_front();
        return offset;
    }
    if (nextFresh_ > lastOffset_) return std::nullopt;
    if (holdLast_ && nextFresh_ == lastOffset_ && arrived_ != chunks_ - 1) return std::nullopt;
    const std::int64_t offset = nextFresh_;
    nextFresh_ += kChunk;
    return offset;
}

std::optional<std::int64_t> ChunkWindow::answered(Millis now) {
    if (flight_.empty()) return std::nullopt;
    const Asked asked = flight_.front();
    flight_.pop_front();
    measure(asked, now);
    return asked.offset;
}

void ChunkWindow::arrived(std::int64_t offset) {
    ++arrived_;
    delivered_ += countAt(offset) + 1;  // an empty last chunk still took a trip
}

void ChunkWindow::again(std::int64_t offset) {
    again_.push_back(offset);
}

void ChunkWindow::measure(const Asked& asked, Millis now) {
    // A clock of whole milliseconds sees a loopback trip as 0: it counts as one.
    const Millis trip = std::max<Millis>(now - asked.at, 1);
    shortestTrip_ = std::min(shortestTrip_.value_or(trip), trip);
    const double rate =
        static_cast<double>(delivered_ - asked.deliveredBefore) / static_cast<double>(trip);
    fastestRate_ = std::max(fastestRate_, rate);
    const double wanted = 2.0 * fastestRate_ * static_cast<double>(*shortestTrip_);
    window_ = std::clamp<std::int64_t>(std::llround(wanted), std::max(window_, kSmallestWindow),
                                       kLargestWindow);
}

}  // namespace zelt::client
