#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/limits.h"
#include "common/protocol/fields.h"

// The check-out table, Chkout.zelt in the data directory: which server files this user holds,
// and where their working copies are. The file is the exact byte image of the table.
namespace zelt::client {

// One row of the table (Chkout.zelt holds all MaxCheckOutRecords of them).
namespace CheckOutRecord {
inline constexpr std::size_t kSize = 594;
inline constexpr proto::Byte state{0};
inline constexpr proto::Text path{1, 256};
inline constexpr proto::Text workingPath{257, 256};
inline constexpr proto::Bytes reserved{513, 81};
inline constexpr proto::FieldInfo kFields[] = {
    proto::describe("state", state), proto::describe("path", path),
    proto::describe("workingPath", workingPath), proto::describe("reserved", reserved)};
}  // namespace CheckOutRecord

// States of a check-out record.
enum CheckOutState : std::uint8_t {
    RecordFree = 0,
    RecordRefused = 1,     // never kept: such a record is cleared at once
    RecordRequested = 2,   // asked for, no answer yet
    RecordCheckedOut = 3,  // held on the server, no working copy yet
    RecordFetched = 4,     // held, and its working copy is in the Working folder
};

inline constexpr std::size_t kCheckOutFileSize = MaxCheckOutRecords * CheckOutRecord::kSize;
// Server paths are texts of at most this many characters; longer ones compare cut.
inline constexpr std::size_t kMaxPath = 255;

// No two records in use carry the same server path.
class CheckOutTable {
public:
    static constexpr int kNone = -1;

    // Clears the table and reads Chkout.zelt; a missing or short file leaves free records.
    void load(const std::string& file);
    // Replaces Chkout.zelt with the whole table; false when it could not be written.
    bool save(const std::string& file) const;

    static constexpr int size() { return static_cast<int>(MaxCheckOutRecords); }
    std::uint8_t state(int index) const;
    std::string path(int index) const;
    std::string workingPath(int index) const;

    void set(int index, std::uint8_t state, const std::string& path,
             const std::string& workingPath);
    void setFetched(int index, const std::string& workingPath);
    // Frees a record: every byte zero.
    void clear(int index);

    // The record in use (any state but free) that carries path, or kNone.
    int findInUse(const std::string& path) const;
    // The record held for path (any state but free or refused), or kNone.
    int findHeld(const std::string& path) const;
    // The record in a fetched state whose working copy is at workingPath, or kNone.
    int findByWorkingPath(const std::string& workingPath) const;
    // Marks path as requested in the first free record, unless it is already in the table or
    // the table is full. Returns the record used, or kNone. The table is not saved.
    int markRequested(const std::string& path);
    // Records in the checked-out or fetched state.
    int checkedOutCount() const;
    // The first record at or after from in the state wanted, or kNone; the next held record
    // (checked out or fetched) likewise. Walks over the whole table take these, so that the
    // 500 rows are looked at here and not at every caller.
    int nextInState(int from, std::uint8_t wanted) const;
    int nextHeld(int from) const;

    const std::array<std::uint8_t, kCheckOutFileSize>& bytes() const { return bytes_; }

private:
    proto::ConstView record(int index) const;
    proto::MutableView mutableRecord(int index);

    // Kept inline: the table never changes size, and a core made afresh (as the fuzzer makes
    // one for every input) then takes no mapping of its own for it.
    std::array<std::uint8_t, kCheckOutFileSize> bytes_{};
};

}  // namespace zelt::client
