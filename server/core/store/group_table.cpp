#include "server/core/store/group_table.h"

#include "server/core/store/names.h"

namespace zelt::server {

bool GroupTable::inUse(std::size_t index) const {
    return record(index).get(GroupRecord::state) != StateFree;
}

bool GroupTable::enabled(std::size_t index) const {
    return record(index).get(GroupRecord::state) == StateEnabled;
}

int GroupTable::findFree() const {
    for (std::size_t i = 0; i < capacity(); ++i) {
        if (!inUse(i)) return static_cast<int>(i);
    }
    return -1;
}

int GroupTable::findByName(std::string_view name) const {
    const std::string_view wanted = proto::capped(name, MaxGroupNameLength);
    for (std::size_t i = 0; i < capacity(); ++i) {
        if (!inUse(i)) continue;
        if (equalsIgnoringCase(record(i).get(GroupRecord::name), wanted)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool GroupTable::isMember(std::size_t group, std::string_view userName) const {
    if (userName.empty()) return false;
    const proto::ConstView g = record(group);
    for (std::size_t k = 0; k < GroupRecord::members.count; ++k) {
        const std::string member = g.get(GroupRecord::members.at(k));
        if (!member.empty() && equalsIgnoringCase(member, userName)) return true;
    }
    return false;
}

proto::MutableView GroupTable::fileEntry(std::size_t group, std::size_t slot) {
    const proto::Bytes at = GroupRecord::files.at(slot);
    return record(group).sub(at.offset, at.width);
}

proto::ConstView GroupTable::fileEntry(std::size_t group, std::size_t slot) const {
    const proto::Bytes at = GroupRecord::files.at(slot);
    return record(group).sub(at.offset, at.width);
}

std::vector<GroupTextChange> GroupTable::replaceMember(std::string_view userName,
                                                       std::string_view replacement) {
    std::vector<GroupTextChange> changes;
    if (userName.empty()) return changes;
    for (std::size_t g = 0; g < capacity(); ++g) {
        if (!inUse(g)) continue;
        auto r = record(g);
        for (std::size_t k = 0; k < GroupRecord::members.count; ++k) {
            const Text slot = GroupRecord::members.at(k);
            std::string member = r.get(slot);
            // Letter case is ignored as everywhere else a member is looked up; a slot left
            // behind would hand its groups to the next account of that name.
            if (member.empty() || !equalsIgnoringCase(member, userName)) continue;
            r.set(slot, replacement);
            changes.push_back({g, slot, std::move(member)});
        }
    }
    return changes;
}

std::vector<GroupTextChange> GroupTable::replaceHolder(std::string_view userName,
                                                       std::string_view replacement) {
    std::vector<GroupTextChange> changes;
    if (userName.empty()) return changes;
    for (std::size_t g = 0; g < capacity(); ++g) {
        if (!inUse(g)) continue;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            auto entry = fileEntry(g, k);
            if (entry.get(FileEntry::checkedOut) != 1) continue;
            std::string holder = entry.get(FileEntry::holder);
            if (!equalsIgnoringCase(holder, userName)) continue;
            entry.set(FileEntry::holder, replacement);
            const Text inRecord{GroupRecord::files.at(k).offset + FileEntry::holder.offset,
                                FileEntry::holder.width};
            changes.push_back({g, inRecord, std::move(holder)});
        }
    }
    return changes;
}

void GroupTable::undo(const std::vector<GroupTextChange>& changes) {
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        record(it->group).set(it->field, it->before);
    }
}

}  // namespace zelt::server
