#pragma once

#include <sys/types.h>

#include <cerrno>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelt::files {

// The outcome of a file operation: done, or the errno that stopped it. Every helper that can
// fail returns one, and a caller must look at it (or say why not).
class [[nodiscard]] Status {
public:
    static Status done() { return Status(0); }
    // The error now in errno (EIO when errno holds none).
    static Status fromErrno();
    static Status failed(int error) { return Status(error != 0 ? error : EIO); }

    explicit operator bool() const { return error_ == 0; }
    int error() const { return error_; }
    // The system's wording of the error, for error lines.
    std::string message() const;

private:
    explicit Status(int error) : error_(error) {}
    int error_;
};

// "a" + "/" + "b"; the separator is not doubled when a already ends with one.
std::string join(const std::string& folder, const std::string& name);

// Reads at most size bytes of a fixed record. The buffer is zeroed first, so a missing or short
// file leaves zeros. Returns the number of bytes read (0 when the file cannot be opened).
std::size_t readRecord(const std::string& path, void* buffer, std::size_t size);

// Writes data through a function shaped like write(2); tests use it to fail midway.
using WriteFn = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

struct AtomicWriteOptions {
    bool ownerOnly = false;  // mode 0600 instead of 0644
    WriteFn writer;          // empty: write(2)
};

// Replaces the file at path with data so that the path always holds either the old or the
// whole new content: a temporary file beside it is written, flushed to disk and renamed over.
Status writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data,
                       const AtomicWriteOptions& options = {});
inline Status writeFileAtomic(const std::string& path, const void* data, std::size_t size,
                              const AtomicWriteOptions& options = {}) {
    return writeFileAtomic(path, {static_cast<const std::uint8_t*>(data), size}, options);
}

// What a clean-up took away: how many entries, and how many bytes of plain files among them.
struct Removed {
    int count = 0;
    std::int64_t bytes = 0;
    Removed& operator+=(const Removed& other) {
        count += other.count;
        bytes += other.bytes;
        return *this;
    }
};

// Deletes what atomic writes and replacements in folder left behind when the program was
// killed before they finished: their temporary files beside the targets, named
// "<target>.<16 hex digits>.part". With isTarget, only those of targets it accepts (by name).
Removed removeUnfinishedWrites(const std::string& folder,
                               const std::function<bool(std::string_view target)>& isTarget = {});

// Copies a file, replacing the target. The target may be seen half-written while this runs.
Status copyFile(const std::string& from, const std::string& to);
// Copies a file into a plain file that this program has just created for it (a copy handed out
// from a folder others might plant links in): a symbolic link at `to` is never followed.
Status copyIntoOwnFile(const std::string& from, const std::string& to);

// Replaces target with a copy of from in the manner of writeFileAtomic: the copy is made beside
// the target and renamed over it. Only a plain file is ever replaced: a symbolic link is
// followed to the file it names, which is replaced in its own folder while the link stays; a
// folder, FIFO, socket, device or a link that leads nowhere is refused and nothing is written.
// The target keeps its permissions and, where the system allows it, its owner; a new target
// gets from's permissions.
Status replaceWithCopy(const std::string& from, const std::string& target);

// The path a symbolic link finally leads to; "" when path is no link or leads nowhere.
std::string linkTarget(const std::string& path);

// What a path names. A symbolic link is Link, or with followLinks what it finally leads to
// (BrokenLink when that is missing).
enum class FileKind { Missing, Regular, Folder, Link, BrokenLink, Fifo, Socket, Device, Other };
FileKind kindOf(const std::string& path, bool followLinks = false);

enum class [[nodiscard]] FolderResult { Created, AlreadyThere, Failed };
FolderResult createFolder(const std::string& path);

// Names (not paths) of the plain files in a folder whose names end with suffix, unsorted.
std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix = "");

// Names of the folders directly inside a folder (not links to folders), unsorted.
std::vector<std::string> listFolders(const std::string& folder);

// Deletes every plain file in a folder; sub-folders stay. Returns the number deleted.
int emptyFolder(const std::string& folder);
// Deletes everything inside a folder, of every kind: sub-folders with what they hold, symbolic
// links themselves (never what they lead to), FIFOs, sockets and device nodes. A folder that is
// itself a symbolic link is not entered.
Removed emptyFolderWhole(const std::string& folder);

// Creates a new empty file in folder named by the first three characters of prefix, unique hex
// digits and ".tmp", exclusively (an existing file is never reused). Returns its full path, or
// "" when none could be made.
[[nodiscard]] std::string createUniqueTempFile(const std::string& folder, const std::string& prefix);

// Takes every permission of group and others away from the plain file at path (a link is not
// followed); true when it had some and they are gone.
bool restrictToOwner(const std::string& path);

std::optional<std::int64_t> fileSize(const std::string& path);
// The bytes an unprivileged program may still write on the volume that holds path; nothing
// when the volume cannot be asked.
std::optional<std::uint64_t> freeSpace(const std::string& path);
bool isFile(const std::string& path);
bool isFolder(const std::string& path);
Status removeFile(const std::string& path);
// Removes a file that nothing depends on any more (a copy given up, a leftover); whether it was
// there, or could be removed, changes nothing for the caller.
void discardFile(const std::string& path);
Status renameFile(const std::string& from, const std::string& to);
// Flushes a folder's entries (files made, renamed or removed in it) to the disk.
Status syncFolder(const std::string& path);
// Removes a folder that holds nothing.
Status removeFolder(const std::string& path);

// A plain file kept open for chunks read or written at an offset, so that a transfer does not
// pay for opening its file again for every 1024 bytes.
class OpenFile {
public:
    OpenFile() = default;
    // Opens a plain file for reading, or for writing (a new one, with mode 0600, when create is
    // set: an existing entry of that name is never reused); check isOpen(). A symbolic link is
    // never followed.
    static OpenFile forReading(const std::string& path);
    static OpenFile forWriting(const std::string& path, bool create);
    ~OpenFile() { close(); }
    OpenFile(OpenFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    OpenFile& operator=(OpenFile&& other) noexcept;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void close();

    // Reads up to size bytes from offset: the number read (less at the end, 0 past it), or
    // nothing when reading fails.
    [[nodiscard]] std::optional<std::size_t> readAt(std::int64_t offset, void* buffer, std::size_t size) const;
    // Writes size bytes at offset and cuts the file there, so that it ends with them. The
    // offset must lie within the file, so that no gap of zeros can appear. Fails when nothing
    // sure was written.
    Status writeAt(std::int64_t offset, const void* data, std::size_t size);
    // Writes size bytes at offset and leaves whatever lies beyond them, so that pieces of a
    // file can arrive in any order; a gap before offset reads as zeros until it is written.
    Status writeInPlace(std::int64_t offset, const void* data, std::size_t size);
    // Flushes what was written to the disk.
    Status sync();

private:
    explicit OpenFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// The text after the last '/' or '\' of a path; "" when there is none or it is empty.
std::string baseName(const std::string& path);

}  // namespace zelt::files
