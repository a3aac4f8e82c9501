#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/limits.h"
#include "common/protocol/fields.h"

// The client's places on disk and its two record files. Comm.zelt and Chkout.zelt are read and
// written as the exact byte images below, so every offset is part of the file format.
namespace zelt::client {

using proto::Byte;
using proto::Bytes;
using proto::describe;
using proto::FieldInfo;
using proto::Int32;
using proto::Repeated;
using proto::Text;

// The last connection settings (Comm.zelt). The address is kept twice: as one number with the
// first octet in the most significant byte (what the Log-in dialog's address entry takes) and
// as four octets (what a connection is made to).
namespace ClientCommRecord {
inline constexpr std::size_t kSize = 84;
inline constexpr Int32 address{0};
inline constexpr Repeated<Byte> octets{{4}, 1, 4};
inline constexpr Int32 port{8};
inline constexpr Text userName{12, 51};
inline constexpr Text password{63, 21};  // scrambled
inline constexpr FieldInfo kFields[] = {describe("address", address), describe("octets", octets),
                                        describe("port", port), describe("userName", userName),
                                        describe("password", password)};
}  // namespace ClientCommRecord

// One row of the check-out table (Chkout.zelt holds all MaxCheckOutRecords of them).
namespace CheckOutRecord {
inline constexpr std::size_t kSize = 594;
inline constexpr Byte state{0};
inline constexpr Text path{1, 256};
inline constexpr Text workingPath{257, 256};
inline constexpr Bytes reserved{513, 81};
inline constexpr FieldInfo kFields[] = {describe("state", state), describe("path", path),
                                        describe("workingPath", workingPath),
                                        describe("reserved", reserved)};
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

// The Comm.zelt record in memory.
class CommSettings {
public:
    CommSettings() { bytes_.fill(0); }

    // Reads Comm.zelt; when nothing could be read the port is the default one.
    void load(const std::string& file);
    // Writes the whole record, readable by its owner only: it holds the scrambled password.
    bool save(const std::string& file) const;
    void clear() { bytes_.fill(0); }

    std::uint32_t address() const;
    std::array<std::uint8_t, 4> octets() const;
    int port() const { return view().get(ClientCommRecord::port); }
    std::string userName() const { return view().get(ClientCommRecord::userName); }
    std::string password() const { return view().get(ClientCommRecord::password); }

    // Stores an address given as four octets in both of its forms.
    void setAddress(const std::array<std::uint8_t, 4>& octets);
    void setPort(int port) { mutableView().set(ClientCommRecord::port, port); }
    void setUserName(const std::string& name) {
        mutableView().set(ClientCommRecord::userName, name);
    }
    void setPassword(const std::string& scrambled) {
        mutableView().set(ClientCommRecord::password, scrambled);
    }

    const std::array<std::uint8_t, ClientCommRecord::kSize>& bytes() const { return bytes_; }

private:
    proto::ConstView view() const { return proto::ConstView{bytes_}; }
    proto::MutableView mutableView() { return proto::MutableView{bytes_}; }

    std::array<std::uint8_t, ClientCommRecord::kSize> bytes_;
};

// The check-out table: which server files this user holds, and where their working copies are.
// No two records in use carry the same server path.
class CheckOutTable {
public:
    static constexpr int kNone = -1;

    CheckOutTable() : bytes_(kCheckOutFileSize, 0) {}

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

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    proto::ConstView record(int index) const;
    proto::MutableView mutableRecord(int index);

    std::vector<std::uint8_t> bytes_;
};

// Where the client keeps its files.
struct ClientPlaces {
    std::string dataDirectory;  // Comm.zelt, Chkout.zelt, Notify.zelt
    std::string userFolder;     // Working, Temp and Backup
    std::string working;
    std::string temp;
    std::string backup;
    std::string commFile;
    std::string checkOutFile;
    std::string notifyFile;
    bool workingCreated = false;  // the Working folder did not exist before this start-up
};

// Overrides from the command line; empty when not given.
struct PlaceOptions {
    std::string dataDirectory;
    std::string userFolder;
};

// Finds the data directory and the user folder, creates Working, Temp and Backup, and forms
// the paths of the record files.
ClientPlaces preparePlaces(const PlaceOptions& options);

// The base name of a server or local path (the text after its last '/' or '\'), when it can
// name a file inside one of the client's folders: empty, "." and ".." cannot.
bool safeBaseName(const std::string& path, std::string* name);

}  // namespace zelt::client
