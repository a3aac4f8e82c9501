#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "common/protocol/packet.h"

namespace zelt::client {

// Hands over, in the order they came, the answers kept for the current entry of a list of files
// in flight (each entry's `early`). A file finished by an early answer makes the next one
// current, whose early answers this same loop then takes, rather than a call inside a call for
// every file; taking tells a call made from inside the loop that the loop goes on.
template <class Entry, class Take>
void takeEarlyAnswers(std::vector<Entry>& list, const int& current, bool& taking, Take take) {
    if (taking) return;
    taking = true;
    while (static_cast<std::size_t>(current) < list.size()) {
        Entry& entry = list[static_cast<std::size_t>(current)];
        if (entry.early.empty()) break;
        const std::vector<std::uint8_t> bytes = std::move(entry.early.front());
        entry.early.pop_front();
        take(entry, proto::Packet::received(bytes, bytes.size()));
    }
    taking = false;
}

}  // namespace zelt::client
