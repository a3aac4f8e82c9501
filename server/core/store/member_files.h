#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "server/core/store/group_table.h"

// Walks over the member-file entries of the group table that name one path.
namespace zelt::server {

// Whether a FileEntry names path, byte for byte; the empty path names nothing. Compared in
// place, since a check-out looks at all 25000 entries.
inline bool entryNames(proto::ConstView entry, std::string_view path) {
    const auto bytes = entry.bytes();
    if (path.empty() || path.size() >= FileEntry::path.width || bytes.size() <= path.size()) {
        return false;
    }
    return bytes[path.size()] == 0 && std::memcmp(bytes.data(), path.data(), path.size()) == 0;
}

// Calls f(group index, entry) for every entry of path in an enabled group, in table order.
template <class Table, class F>
void forEachEnabledEntry(Table& groups, std::string_view path, F&& f) {
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.enabled(g)) continue;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            auto entry = groups.fileEntry(g, k);
            if (entryNames(entry, path)) f(g, entry);
        }
    }
}

// Calls f(group index, path) for every member path of every group in use, enabled or not, in
// table order; a path held by several groups comes once for each.
template <class F>
void forEachMemberPath(const GroupTable& groups, F&& f) {
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.inUse(g)) continue;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            std::string path = groups.fileEntry(g, k).get(FileEntry::path);
            if (!path.empty()) f(g, std::move(path));
        }
    }
}

}  // namespace zelt::server
