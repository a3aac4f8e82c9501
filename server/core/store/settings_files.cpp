#include "server/core/store/settings_files.h"

#include <cstring>

#include "common/platform/files.h"
#include "common/protocol/fields.h"

namespace zelt::server {

ServerPaths ServerPaths::under(const std::string& dataDir) {
    ServerPaths p;
    p.dataDir = dataDir;
    p.files = files::join(dataDir, "Files");
    p.temp = files::join(dataDir, "Temp");
    p.groups = files::join(dataDir, "Groups.zelt");
    p.accounts = files::join(dataDir, "Accounts.zelt");
    p.comm = files::join(dataDir, "Comm.zelt");
    p.notice = files::join(dataDir, "Notice.zelt");
    p.notify = files::join(dataDir, "Notify.zelt");
    p.backup = files::join(dataDir, "Backup.zelt");
    return p;
}

namespace {

bool readInt32(const std::string& path, std::int32_t* value) {
    std::uint8_t bytes[4];
    if (files::readRecord(path, bytes, sizeof bytes) == 0) return false;
    *value = proto::ConstView{bytes}.get(proto::Int32{0});
    return true;
}

bool writeInt32(const std::string& path, std::int32_t value) {
    std::uint8_t bytes[4] = {};
    proto::MutableView{bytes}.set(proto::Int32{0}, value);
    return static_cast<bool>(files::writeFileAtomic(path, bytes, sizeof bytes));
}

}  // namespace

int readPort(const std::string& path) {
    std::int32_t port = 0;
    return readInt32(path, &port) ? port : DefaultPort;
}

bool writePort(const std::string& path, int port) { return writeInt32(path, port); }

std::int32_t readRetentionCount(const std::string& path) {
    std::int32_t count = 0;
    if (!readInt32(path, &count)) return DefaultRetentionCount;
    // A count below 1 would let pruning delete the version a check-in has just made.
    return count >= 1 ? count : DefaultRetentionCount;
}

bool writeRetentionCount(const std::string& path, std::int32_t count) {
    return writeInt32(path, count);
}

std::string_view NoticeSetting::textView() const {
    return {text.data(), strnlen(text.data(), text.size())};
}

NoticeSetting NoticeSetting::read(const std::string& path) {
    std::uint8_t bytes[kFileSize];
    files::readRecord(path, bytes, sizeof bytes);
    NoticeSetting n;
    n.sendFlag = bytes[0];
    std::memcpy(n.text.data(), bytes + 1, kTextArea);
    n.text.back() = '\0';  // whatever the file says, the text ends inside its area
    return n;
}

bool NoticeSetting::write(const std::string& path) const {
    std::uint8_t bytes[kFileSize] = {};
    bytes[0] = sendFlag;
    std::memcpy(bytes + 1, text.data(), kTextArea);
    return static_cast<bool>(files::writeFileAtomic(path, bytes, sizeof bytes));
}

ServerSettings ServerSettings::read(const ServerPaths& paths) {
    ServerSettings s;
    s.port = readPort(paths.comm);
    s.notice = NoticeSetting::read(paths.notice);
    s.retentionCount = readRetentionCount(paths.backup);
    return s;
}

}  // namespace zelt::server
