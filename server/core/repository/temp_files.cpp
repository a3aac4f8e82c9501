#include "server/core/repository/temp_files.h"

#include "common/platform/files.h"
#include "server/core/store/names.h"

namespace zelt::server {

bool TempFiles::roomFor(std::uint64_t size) const {
    const auto free = files::freeSpace(folder_);
    // A volume that cannot be asked is left to the writes themselves to report.
    return !free || (*free >= limits_.freeSpaceReserve && *free - limits_.freeSpaceReserve >= size);
}

std::string TempFiles::createDownload(std::string_view userName, std::uint64_t size,
                                      ConnectionId connection) {
    std::string owner = lowerAscii(userName);
    evictFor(owner);
    if (!roomFor(size)) return "";
    const std::string path = files::createUniqueTempFile(folder_, std::string(userName));
    if (!path.empty()) add(path, std::move(owner), Kind::Download, connection);
    return path;
}

bool TempFiles::isUploadNameOf(std::string_view uploadName, std::string_view userName) {
    if (uploadName.empty() || uploadName == "." || uploadName == "..") return false;
    if (uploadName.find_first_of("/\\") != std::string_view::npos) return false;
    if (userName.empty() || uploadName.size() < userName.size() + 2) return false;
    return equalsIgnoringCase(uploadName.substr(0, userName.size()), userName) &&
           uploadName.substr(userName.size(), 2) == "__";
}

std::string TempFiles::uploadPath(std::string_view userName, std::string_view uploadName) const {
    if (!isUploadNameOf(uploadName, userName)) return "";
    return files::join(folder_, std::string(uploadName));
}

std::string TempFiles::beginUpload(std::string_view userName, std::string_view uploadName,
                                   ConnectionId connection) {
    const std::string path = uploadPath(userName, uploadName);
    if (path.empty()) return "";
    if (owns(path, userName, Kind::Upload)) {
        // Starting again from the first chunk: what was sent before no longer counts.
        entries_.at(path).size = 0;
        return path;
    }
    // A name that another account's user name also begins (anna__x for the users "anna" and
    // "anna__x"), or that one of the download copies happens to carry, is not free for taking;
    // nor is one that anything else in Temp has, a symbolic link above all: it is never
    // followed, and the upload file is only ever created new.
    if (entries_.count(path) != 0 || files::kindOf(path) != files::FileKind::Missing) return "";
    std::string owner = lowerAscii(userName);
    evictFor(owner);
    closeSpareFiles();
    Entry& entry = add(path, std::move(owner), Kind::Upload, connection);
    entry.file = files::OpenFile::forWriting(path, true);
    if (!entry.file.isOpen()) {
        remove(path);
        return "";
    }
    return path;
}

bool TempFiles::owns(const std::string& path, std::string_view userName, Kind kind) {
    const auto it = entries_.find(path);
    if (it == entries_.end() || it->second.kind != kind ||
        !equalsIgnoringCase(it->second.owner, userName)) {
        return false;
    }
    it->second.lastUse = ++uses_;
    return true;
}

files::OpenFile* TempFiles::use(const std::string& path, std::string_view userName, Kind kind) {
    if (!owns(path, userName, kind)) return nullptr;
    Entry& entry = entries_.at(path);
    if (!entry.file.isOpen()) {
        closeSpareFiles();
        entry.file = kind == Kind::Download ? files::OpenFile::forReading(path)
                                            : files::OpenFile::forWriting(path, false);
    }
    return entry.file.isOpen() ? &entry.file : nullptr;
}

bool TempFiles::growUpload(const std::string& path, std::int64_t end, bool inAnyOrder) {
    const auto it = entries_.find(path);
    if (it == entries_.end() || it->second.kind != Kind::Upload || end < 0) return false;
    Entry& entry = it->second;
    const auto newSize = static_cast<std::uint64_t>(end);
    if (newSize <= entry.size) {
        if (!inAnyOrder) entry.size = newSize;
        return true;
    }
    const std::uint64_t others = pendingUploadBytes(entry.owner) - entry.size;
    if (others + newSize > limits_.pendingUploadBytes || !roomFor(newSize - entry.size)) {
        return false;
    }
    entry.size = newSize;
    return true;
}

void TempFiles::remove(const std::string& path) {
    if (entries_.erase(path) != 0) files::discardFile(path);
}

void TempFiles::detach(const std::string& path) { entries_.erase(path); }

void TempFiles::removeAll() {
    for (const auto& [path, entry] : entries_) files::discardFile(path);
    entries_.clear();
}

void TempFiles::removeAllOf(ConnectionId connection) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second.connection == connection) {
            files::discardFile(it->first);
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

std::uint64_t TempFiles::pendingUploadBytes(std::string_view userName) const {
    std::uint64_t bytes = 0;
    for (const auto& [path, entry] : entries_) {
        if (entry.kind == Kind::Upload && equalsIgnoringCase(entry.owner, userName)) {
            bytes += entry.size;
        }
    }
    return bytes;
}

std::size_t TempFiles::countOf(std::string_view userName) const {
    std::size_t n = 0;
    for (const auto& [path, entry] : entries_) n += equalsIgnoringCase(entry.owner, userName);
    return n;
}

std::size_t TempFiles::openCount() const {
    std::size_t n = 0;
    for (const auto& [path, entry] : entries_) n += entry.file.isOpen();
    return n;
}

void TempFiles::closeSpareFiles() {
    while (openCount() >= MaxOpenFiles) {
        Entry* oldest = nullptr;
        for (auto& [path, entry] : entries_) {
            if (entry.file.isOpen() && (oldest == nullptr || entry.lastUse < oldest->lastUse)) {
                oldest = &entry;
            }
        }
        oldest->file.close();
    }
}

void TempFiles::evictFor(const std::string& owner) {
    for (;;) {
        std::size_t held = 0;
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->second.owner != owner) continue;
            ++held;
            if (oldest == entries_.end() || it->second.lastUse < oldest->second.lastUse) {
                oldest = it;
            }
        }
        if (held < MaxPerAccount) return;
        const std::string path = oldest->first;
        remove(path);
    }
}

TempFiles::Entry& TempFiles::add(const std::string& path, std::string owner, Kind kind,
                                 ConnectionId connection) {
    return entries_[path] = Entry{std::move(owner), kind, ++uses_, connection, 0, {}};
}

}  // namespace zelt::server
