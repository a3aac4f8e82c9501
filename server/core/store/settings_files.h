#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/limits.h"

namespace zelt::server {

// Everything the server keeps in its data directory.
struct ServerPaths {
    std::string dataDir;
    std::string files;     // the version store
    std::string temp;      // copies in transit; emptied at start and exit
    std::string groups;    // Groups.zelt
    std::string accounts;  // Accounts.zelt
    std::string comm;      // Comm.zelt: the port
    std::string notice;    // Notice.zelt
    std::string notify;    // Notify.zelt: the alert sound, never written here
    std::string backup;    // Backup.zelt: the retention count

    static ServerPaths under(const std::string& dataDir);
};

// Comm.zelt: 4 bytes, the port; 32767 when the file is missing or empty.
int readPort(const std::string& path);
// A port a client can be told to use: 1 to 65535.
inline bool isUsablePort(long long port) {
    return port >= 1 && port <= 65535;
}
bool writePort(const std::string& path, int port);

// Backup.zelt: 4 bytes, the number of versions kept per file; 5 when missing or empty.
inline constexpr int RetentionChoices[] = {5, 10, 20};
std::int32_t readRetentionCount(const std::string& path);
bool writeRetentionCount(const std::string& path, std::int32_t count);

// Notice.zelt: a send flag byte and 1537 bytes of NUL-terminated text.
struct NoticeSetting {
    static constexpr std::size_t kFileSize = 1538;
    static constexpr std::size_t kTextArea = 1537;
    // What the Notice Properties window stores: at most this many characters, line feeds
    // included.
    static constexpr std::size_t kMaxStoredText = 1024;

    std::uint8_t sendFlag = 0;  // 1: send to each user who logs in; anything else: do not
    std::array<char, kTextArea> text{};

    bool sending() const { return sendFlag == 1; }
    std::string_view textView() const;

    static NoticeSetting read(const std::string& path);
    bool write(const std::string& path) const;
};

// The settings the start-up reads from the data directory and keeps while the server runs; the
// dialogs that change them write their files.
struct ServerSettings {
    int port = DefaultPort;
    std::int32_t retentionCount = DefaultRetentionCount;
    NoticeSetting notice;

    static ServerSettings read(const ServerPaths& paths);
};

}  // namespace zelt::server
