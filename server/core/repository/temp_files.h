#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/platform/files.h"

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
class TempFiles {
public:
    enum class Kind { Download, Upload };
    static constexpr std::size_t MaxPerAccount = 16;
    static constexpr std::size_t MaxOpenFiles = 64;

    explicit TempFiles(std::string folder) : folder_(std::move(folder)) {}

    // Creates a new empty download copy for the account; its full path, or "" when none could
    // be made.
    std::string createDownload(std::string_view userName);

    // The full path of an upload name, once the name is proved to be the account's: a plain
    // file name made of the user name (letter case ignored), "__" and anything.
    std::string uploadPath(std::string_view userName, std::string_view uploadName) const;
    static bool isUploadNameOf(std::string_view uploadName, std::string_view userName);

    // Starts (or restarts) an upload, creating its file: its full path, or "" when the name is
    // not the account's, the file there is someone else's, or it cannot be created.
    std::string beginUpload(std::string_view userName, std::string_view uploadName);

    // Whether the path is a file of this kind that the account owns; a use keeps it from being
    // the next one removed.
    bool owns(const std::string& path, std::string_view userName, Kind kind);
    // The open file of such a file, opened now when it is not; nullptr when the path is not
    // the account's or the file cannot be opened.
    files::OpenFile* use(const std::string& path, std::string_view userName, Kind kind);

    // Deletes a file and forgets it.
    void remove(const std::string& path);
    // Deletes every file and forgets them all.
    void removeAll();

    std::size_t countOf(std::string_view userName) const;
    std::size_t openCount() const;

private:
    struct Entry {
        std::string owner;  // user name in small letters
        Kind kind;
        std::uint64_t lastUse;
        files::OpenFile file;  // closed until a chunk needs it
    };
    // Makes room for one more file of the account.
    void evictFor(const std::string& owner);
    Entry& add(const std::string& path, std::string owner, Kind kind);
    // Closes the least recently used files until one more may be opened.
    void closeSpareFiles();

    std::string folder_;
    std::unordered_map<std::string, Entry> entries_;
    std::uint64_t uses_ = 0;
};

}  // namespace zelt::server
