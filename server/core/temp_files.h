#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zelt::server {

// The files this server keeps in its Temp folder for clients: the download copies it makes and
// the uploads it receives. Each belongs to one account, and a client may read, write or delete
// only its own, so a path in a request can never reach any other file. An account holds at most
// MaxPerAccount of them: clients that give up a transfer without saying so would otherwise fill
// the disk, so making one more removes that account's least recently used file.
class TempFiles {
public:
    enum class Kind { Download, Upload };
    static constexpr std::size_t MaxPerAccount = 16;

    explicit TempFiles(std::string folder) : folder_(std::move(folder)) {}

    // Creates a new empty download copy for the account; its full path, or "" when none could
    // be made.
    std::string createDownload(std::string_view userName);

    // The full path of an upload name, once the name is proved to be the account's: a plain
    // file name made of the user name (letter case ignored), "__" and anything.
    std::string uploadPath(std::string_view userName, std::string_view uploadName) const;
    static bool isUploadNameOf(std::string_view uploadName, std::string_view userName);

    // Starts (or restarts) an upload: its full path, or "" when the name is not the account's
    // or the file there is someone else's.
    std::string beginUpload(std::string_view userName, std::string_view uploadName);

    // Whether the path is a file of this kind that the account owns; a use keeps it from being
    // the next one removed.
    bool owns(const std::string& path, std::string_view userName, Kind kind);

    // Deletes a file and forgets it.
    void remove(const std::string& path);

    std::size_t countOf(std::string_view userName) const;

private:
    struct Entry {
        std::string owner;  // user name in small letters
        Kind kind;
        std::uint64_t lastUse;
    };
    // Makes room for one more file of the account.
    void evictFor(const std::string& owner);
    void add(const std::string& path, std::string owner, Kind kind);

    std::string folder_;
    std::unordered_map<std::string, Entry> entries_;
    std::uint64_t uses_ = 0;
};

}  // namespace zelt::server
