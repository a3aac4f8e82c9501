#include "server/core/store.h"

#include <algorithm>

#include "common/platform/files.h"
#include "server/core/names.h"

namespace zelt::server {

RecordTable::RecordTable(std::size_t recordSize, std::size_t capacity)
    : recordSize_(recordSize), capacity_(capacity), bytes_(recordSize * capacity, 0) {}

proto::MutableView RecordTable::record(std::size_t index) {
    if (index >= capacity_) return proto::MutableView{};
    return proto::MutableView{std::span<std::uint8_t>(bytes_).subspan(index * recordSize_,
                                                                      recordSize_)};
}

proto::ConstView RecordTable::record(std::size_t index) const {
    if (index >= capacity_) return proto::ConstView{};
    return proto::ConstView{
        std::span<const std::uint8_t>(bytes_).subspan(index * recordSize_, recordSize_)};
}

void RecordTable::clear(std::size_t index) {
    if (index >= capacity_) return;
    std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(index * recordSize_), recordSize_, 0);
}

void RecordTable::clearAll() { std::fill(bytes_.begin(), bytes_.end(), 0); }

std::size_t RecordTable::load(const std::string& path) {
    return files::readRecord(path, bytes_.data(), bytes_.size());
}

bool RecordTable::save(const std::string& path, bool ownerOnly) const {
    files::AtomicWriteOptions options;
    options.ownerOnly = ownerOnly;
    return static_cast<bool>(files::writeFileAtomic(path, bytes_, options));
}

std::size_t AccountTable::load(const std::string& path) {
    const std::size_t n = RecordTable::load(path);
    for (std::size_t i = 0; i < capacity(); ++i) record(i).set(AccountRecord::connected, 0);
    return n;
}

bool AccountTable::inUse(std::size_t index) const {
    return record(index).get(AccountRecord::state) != StateFree;
}

int AccountTable::findFree() const {
    for (std::size_t i = 0; i < capacity(); ++i) {
        if (!inUse(i)) return static_cast<int>(i);
    }
    return -1;
}

int AccountTable::findByUserName(std::string_view name) const {
    const std::string_view wanted = proto::capped(name, MaxUserNameLength);
    for (std::size_t i = 0; i < capacity(); ++i) {
        if (!inUse(i)) continue;
        const std::string stored = record(i).get(AccountRecord::userName);
        if (!stored.empty() && equalsIgnoringCase(stored, wanted)) return static_cast<int>(i);
    }
    return -1;
}

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

}  // namespace zelt::server
