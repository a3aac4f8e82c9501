#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "server/core/store/record_table.h"

namespace zelt::server {

// One text of a group record that a rename or a dismissal changed, with what it held before,
// so that a change the disk does not take can be put back.
struct GroupTextChange {
    std::size_t group;
    Text field;  // inside the group's record
    std::string before;
};

// The group table, the image of Groups.zelt.
class GroupTable : public RecordTable {
public:
    GroupTable() : RecordTable(GroupRecord::kSize, MaxGroups) {}

    bool save(const std::string& path, const files::WriteFn& writer = {}) const {
        return RecordTable::save(path, false, writer);
    }

    bool inUse(std::size_t index) const;
    bool enabled(std::size_t index) const;
    int findFree() const;
    // Index of the first record in use whose name equals name without regard to letter case
    // (only the first 30 characters of name count), or -1.
    int findByName(std::string_view name) const;
    // Whether one of the group's member-user slots holds userName, letter case ignored.
    bool isMember(std::size_t group, std::string_view userName) const;

    proto::MutableView fileEntry(std::size_t group, std::size_t slot);
    proto::ConstView fileEntry(std::size_t group, std::size_t slot) const;

    // Writes replacement into every member slot of a group in use that holds userName (letter
    // case ignored); an empty replacement empties the slot. Returns what changed.
    std::vector<GroupTextChange> replaceMember(std::string_view userName,
                                               std::string_view replacement);
    // Writes replacement as the holder of every check-out mark that userName holds, in every
    // group. Returns what changed.
    std::vector<GroupTextChange> replaceHolder(std::string_view userName,
                                               std::string_view replacement);
    // Puts back what the changes replaced, last first.
    void undo(const std::vector<GroupTextChange>& changes);
};

}  // namespace zelt::server
