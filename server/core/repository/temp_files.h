#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/platform/files.h"
#include "server/core/session/slot_table.h"

namespace zelt::server {

// The files this server keeps in its Temp folder for clients: the download copies it makes and
// the uploads it receives. Each belongs to one account, and a client may read, write or delete
// only its own, so a path in a request can never reach any other file. An account holds at most
// MaxPerAccount of them: clients that give up a transfer without saying so would otherwise fill
// the disk, so making one more removes that account's least recently used file.
//
// A file in transfer stays open between its chunks: opening it again for each of them took a
// fifth of the rate of a transfer on loopback. At most MaxOpenFiles are open at once; the least
// recently used is closed first and opened again when its transfer goes on.
//
// Each file also belongs to the connection that made it and goes when that connection closes:
// nobody can go on with a transfer of a connection that is gone. The uploads an account has
// not committed yet are bounded in bytes, and no copy or upload may take the data volume below
// a reserve of free space, which is kept for the tables: check-outs and voids must keep working
// when the disk is nearly full.
class TempFiles {
public:
    enum class Kind { Download, Upload };
    static constexpr std::size_t MaxPerAccount = 16;
    static constexpr std::size_t MaxOpenFiles = 64;

    struct Limits {
        // Bytes of uploads not yet committed, per account.
        std::uint64_t pendingUploadBytes = std::uint64_t{4} << 30;
        // Free bytes on the data volume that copies and uploads leave untouched: well above
        // two saves of the group table, which writes its new image beside the old one.
        std::uint64_t freeSpaceReserve = std::uint64_t{64} << 20;
    };

    explicit TempFiles(std::string folder) : folder_(std::move(folder)) {}
    TempFiles(std::string folder, const Limits& limits)
        : folder_(std::move(folder)), limits_(limits) {}

    // Whether size more bytes may be written to the volume without eating into the reserve.
    bool roomFor(std::uint64_t size) const;

    // Creates a new empty download copy for the account, meant to receive size bytes; its full
    // path, or "" when none could be made or there is no room for it.
    std::string createDownload(std::string_view userName, std::uint64_t size = 0,
                               ConnectionId connection = {});

    // The full path of an upload name, once the name is proved to be the account's: a plain
    // file name made of the user name (letter case ignored), "__" and anything.
    std::string uploadPath(std::string_view userName, std::string_view uploadName) const;
    static bool isUploadNameOf(std::string_view uploadName, std::string_view userName);

    // Starts (or restarts) an upload, creating its file: its full path, or "" when the name is
    // not the account's, the file there is someone else's, or it cannot be created.
    std::string beginUpload(std::string_view userName, std::string_view uploadName,
                            ConnectionId connection = {});
    // Whether an upload of the account may grow to end bytes: within the account's bound and
    // the free space; when it may, its size is taken as end from now on (or kept, when it is
    // larger and the upload's pieces arrive in any order).
    bool growUpload(const std::string& path, std::int64_t end, bool inAnyOrder = false);

    // Whether the path is a file of this kind that the account owns; a use keeps it from being
    // the next one removed.
    bool owns(const std::string& path, std::string_view userName, Kind kind);
    // The open file of such a file, opened now when it is not; nullptr when the path is not
    // the account's or the file cannot be opened.
    files::OpenFile* use(const std::string& path, std::string_view userName, Kind kind);

    // Deletes a file and forgets it.
    void remove(const std::string& path);
    // Forgets a file without deleting it: whoever takes it over deletes it (the exit's
    // clean-up of Temp, should that never happen).
    void detach(const std::string& path);
    // Deletes every file and forgets them all.
    void removeAll();
    // Deletes every file a connection made; it has closed.
    void removeAllOf(ConnectionId connection);

    std::size_t countOf(std::string_view userName) const;
    std::size_t openCount() const;
    // Bytes of the account's uploads so far.
    std::uint64_t pendingUploadBytes(std::string_view userName) const;

private:
    struct Entry {
        std::string owner;  // user name in small letters
        Kind kind;
        std::uint64_t lastUse;
        ConnectionId connection;
        std::uint64_t size = 0;  // of an upload: the end of its last chunk
        files::OpenFile file;    // closed until a chunk needs it
    };
    // Makes room for one more file of the account.
    void evictFor(const std::string& owner);
    Entry& add(const std::string& path, std::string owner, Kind kind, ConnectionId connection);
    // Closes the least recently used files until one more may be opened.
    void closeSpareFiles();

    std::string folder_;
    Limits limits_;
    std::unordered_map<std::string, Entry> entries_;
    std::uint64_t uses_ = 0;
};

}  // namespace zelt::server
