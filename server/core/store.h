#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/core/records.h"

namespace zelt::server {

// A fixed table of fixed records, allocated once and zeroed; its memory is its file image.
class RecordTable {
public:
    RecordTable(std::size_t recordSize, std::size_t capacity);

    std::size_t capacity() const { return capacity_; }
    std::size_t recordSize() const { return recordSize_; }
    proto::MutableView record(std::size_t index);
    proto::ConstView record(std::size_t index) const;
    // Zeroes one record: that is how a record is freed.
    void clear(std::size_t index);
    void clearAll();

    std::span<const std::uint8_t> image() const { return bytes_; }
    // Reads the file into the zeroed table; a missing or short file leaves the rest free.
    // Returns the number of bytes read.
    std::size_t load(const std::string& path);
    bool save(const std::string& path, bool ownerOnly) const;

private:
    std::size_t recordSize_;
    std::size_t capacity_;
    std::vector<std::uint8_t> bytes_;
};

class AccountTable : public RecordTable {
public:
    AccountTable() : RecordTable(AccountRecord::kSize, MaxAccounts) {}

    // Loads Accounts.zelt and marks every account not connected.
    std::size_t load(const std::string& path);
    // Saved owner-only: the file holds reversibly scrambled passwords.
    bool save(const std::string& path) const { return RecordTable::save(path, true); }

    bool inUse(std::size_t index) const;
    // Index of the first free record, or -1.
    int findFree() const;
    // Index of the first record in use whose non-empty user name equals name without regard
    // to letter case (only the first 50 characters of name count), or -1.
    int findByUserName(std::string_view name) const;
};

class GroupTable : public RecordTable {
public:
    GroupTable() : RecordTable(GroupRecord::kSize, MaxGroups) {}

    bool save(const std::string& path) const { return RecordTable::save(path, false); }

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
};

}  // namespace zelt::server
