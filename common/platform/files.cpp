#include "common/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace zelt::files {

Status Status::fromErrno() { return failed(errno); }

std::string Status::message() const { return error_ == 0 ? "" : std::strerror(error_); }

namespace {

// Closes a descriptor when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// Opens a path that must name a plain file. The open itself does not wait: a path naming a
// FIFO or a device would otherwise block the whole program until someone wrote to it.
int openPlain(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) & ~O_NONBLOCK);
    return fd;
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t size, const WriteFn& writer) {
    while (size > 0) {
        const ssize_t n = writer ? writer(fd, data, size) : ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void syncFolder(const std::string& folder) {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

// Opens a new temporary file beside target; returns its descriptor and sets *tempPath.
int openBeside(const std::string& target, mode_t mode, std::string* tempPath) {
    // One generator per thread: the table's rewrite and the large copies write files beside
    // their targets off the loop's thread too.
    thread_local std::mt19937_64 rng{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.part",
                      static_cast<unsigned long long>(rng()));
        *tempPath = target + suffix;
        const int fd = ::open(tempPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Removes a half-written temporary file, keeping the errno that made it useless.
Status discard(const std::string& tempPath) {
    const Status failure = Status::fromErrno();
    ::unlink(tempPath.c_str());
    return failure;
}

// Finishes a file written beside its target: flush, close, rename over, flush the folder.
Status commitBeside(Fd& fd, const std::string& tempPath, const std::string& target) {
    if (::fsync(fd.get()) != 0 || !fd.close() || ::rename(tempPath.c_str(), target.c_str()) != 0) {
        return discard(tempPath);
    }
    syncFolder(folderOf(target));
    return Status::done();
}

}  // namespace

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::size_t readRecord(const std::string& path, void* buffer, std::size_t size) {
    std::memset(buffer, 0, size);
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = ::read(fd.get(), out + total, size - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

Status writeFileAtomic(const std::string& path, std::span<const std::uint8_t> data,
                       const AtomicWriteOptions& options) {
    const mode_t mode = options.ownerOnly ? 0600 : 0644;
    std::string tempPath;
    Fd fd(openBeside(path, mode, &tempPath));
    if (fd.get() < 0) return Status::fromErrno();
    // The umask may have widened nothing but may have narrowed; set exactly what was asked.
    ::fchmod(fd.get(), mode);
    if (!writeAll(fd.get(), data.data(), data.size(), options.writer)) return discard(tempPath);
    return commitBeside(fd, tempPath, path);
}

Removed removeUnfinishedWrites(const std::string& folder,
                               const std::function<bool(std::string_view target)>& isTarget) {
    Removed removed;
    for (const std::string& name : listFiles(folder, ".part")) {
        // "<target>.<16 hex digits>.part", as openBeside names them.
        constexpr std::size_t kTail = 1 + 16 + 5;
        if (name.size() <= kTail || name[name.size() - kTail] != '.') continue;
        const std::string digits = name.substr(name.size() - kTail + 1, 16);
        if (digits.find_first_not_of("0123456789abcdef") != std::string::npos) continue;
        if (isTarget && !isTarget(std::string_view(name).substr(0, name.size() - kTail))) continue;
        const std::string path = join(folder, name);
        const std::int64_t size = fileSize(path).value_or(0);
        if (removeFile(path)) {
            ++removed.count;
            removed.bytes += size;
        }
    }
    return removed;
}

namespace {

bool copyContent(int from, int to) {
    std::uint8_t buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!writeAll(to, buffer, static_cast<std::size_t>(n), nullptr)) return false;
    }
}

}  // namespace

Status copyFile(const std::string& from, const std::string& to) {
    Fd in(openPlain(from, O_RDONLY));
    if (in.get() < 0) return Status::fromErrno();
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) return Status::fromErrno();
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 07777));
    if (out.get() < 0 || !copyContent(in.get(), out.get()) || !out.close()) {
        return Status::fromErrno();
    }
    return Status::done();
}

Status copyIntoOwnFile(const std::string& from, const std::string& to) {
    Fd in(openPlain(from, O_RDONLY));
    if (in.get() < 0) return Status::fromErrno();
    Fd out(openPlain(to, O_WRONLY | O_TRUNC | O_NOFOLLOW));
    if (out.get() < 0 || !copyContent(in.get(), out.get()) || !out.close()) {
        return Status::fromErrno();
    }
    return Status::done();
}

namespace {

// The plain file that replacing target must write: target itself, or the file its symbolic
// links lead to. Fails for anything that is not a plain file or missing.
Status fileToReplace(const std::string& target, std::string* path, struct stat* old,
                     bool* exists) {
    *path = target;
    *exists = false;
    if (::lstat(target.c_str(), old) != 0) {
        return errno == ENOENT ? Status::done() : Status::fromErrno();
    }
    if (S_ISLNK(old->st_mode)) {
        *path = linkTarget(target);
        if (path->empty()) return Status::failed(ENOENT);
        if (::lstat(path->c_str(), old) != 0) return Status::fromErrno();
    }
    if (S_ISDIR(old->st_mode)) return Status::failed(EISDIR);
    if (!S_ISREG(old->st_mode)) return Status::failed(EINVAL);
    *exists = true;
    return Status::done();
}

}  // namespace

Status replaceWithCopy(const std::string& from, const std::string& target) {
    Fd in(openPlain(from, O_RDONLY));
    if (in.get() < 0) return Status::fromErrno();
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) return Status::fromErrno();
    std::string path;
    struct stat old {};
    bool exists = false;
    if (const Status found = fileToReplace(target, &path, &old, &exists); !found) return found;
    const mode_t mode = (exists ? old.st_mode : st.st_mode) & 07777;
    std::string tempPath;
    Fd out(openBeside(path, mode, &tempPath));
    if (out.get() < 0) return Status::fromErrno();
    // A server run by root must not hand a user's file over to root. Changing the owner may
    // clear the set-id bits, so the mode is set after it.
    if (exists) (void)!::fchown(out.get(), old.st_uid, old.st_gid);
    ::fchmod(out.get(), mode);
    if (!copyContent(in.get(), out.get())) return discard(tempPath);
    return commitBeside(out, tempPath, path);
}

std::string linkTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return "";
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return "";
    std::string target = resolved;
    std::free(resolved);
    return target;
}

FileKind kindOf(const std::string& path, bool followLinks) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return FileKind::Missing;
    if (S_ISLNK(st.st_mode)) {
        if (!followLinks) return FileKind::Link;
        if (::stat(path.c_str(), &st) != 0) return FileKind::BrokenLink;
    }
    if (S_ISREG(st.st_mode)) return FileKind::Regular;
    if (S_ISDIR(st.st_mode)) return FileKind::Folder;
    if (S_ISFIFO(st.st_mode)) return FileKind::Fifo;
    if (S_ISSOCK(st.st_mode)) return FileKind::Socket;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return FileKind::Device;
    return FileKind::Other;
}

FolderResult createFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0) return FolderResult::Created;
    if (errno == EEXIST && isFolder(path)) return FolderResult::AlreadyThere;
    return FolderResult::Failed;
}

std::vector<std::string> listFiles(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
            continue;
        }
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode)) {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

std::vector<std::string> listFolders(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(st.st_mode)) {
            names.push_back(name);
        }
    }
    ::closedir(dir);
    return names;
}

int emptyFolder(const std::string& folder) {
    int removed = 0;
    for (const std::string& name : listFiles(folder)) {
        if (removeFile(join(folder, name))) ++removed;
    }
    return removed;
}

namespace {

// Removes everything inside the open folder. Every step is relative to a descriptor opened
// without following links, so that a link planted anywhere below leads nowhere. Trees deeper
// than anything this program makes are left where they are.
void removeInside(int folder, int depth, Removed* removed) {
    constexpr int kMaxDepth = 32;
    const int copy = ::dup(folder);
    if (copy < 0) return;
    DIR* dir = ::fdopendir(copy);
    if (dir == nullptr) {
        ::close(copy);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (depth >= kMaxDepth) continue;
            Fd sub(::openat(folder, name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub.get() < 0) continue;
            removeInside(sub.get(), depth + 1, removed);
            if (::unlinkat(folder, name.c_str(), AT_REMOVEDIR) == 0) ++removed->count;
        } else if (::unlinkat(folder, name.c_str(), 0) == 0) {
            ++removed->count;
            if (S_ISREG(st.st_mode)) removed->bytes += st.st_size;
        }
    }
}

}  // namespace

Removed emptyFolderWhole(const std::string& folder) {
    Removed removed;
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() >= 0) removeInside(dir.get(), 0, &removed);
    return removed;
}

std::string createUniqueTempFile(const std::string& folder, const std::string& prefix) {
    static std::mt19937 rng{std::random_device{}()};
    const std::string head = prefix.substr(0, 3);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(rng() & 0xFFFF'FFFF));
        const std::string path = join(folder, head + digits + ".tmp");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) return "";
    }
    return "";
}

bool restrictToOwner(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & 077) == 0) return false;
    return ::fchmod(fd.get(), st.st_mode & 07700) == 0;
}

std::optional<std::int64_t> fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

std::optional<std::uint64_t> freeSpace(const std::string& path) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {
Status statusOf(int result) { return result == 0 ? Status::done() : Status::fromErrno(); }
}  // namespace

Status removeFile(const std::string& path) { return statusOf(::unlink(path.c_str())); }

void discardFile(const std::string& path) { ::unlink(path.c_str()); }

Status syncFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Status::fromErrno();
    const Status status = statusOf(::fsync(fd));
    ::close(fd);
    return status;
}

Status renameFile(const std::string& from, const std::string& to) {
    return statusOf(::rename(from.c_str(), to.c_str()));
}

Status removeFolder(const std::string& path) { return statusOf(::rmdir(path.c_str())); }

OpenFile OpenFile::forReading(const std::string& path) {
    return OpenFile(openPlain(path, O_RDONLY | O_NOFOLLOW));
}

OpenFile OpenFile::forWriting(const std::string& path, bool create) {
    return OpenFile(openPlain(path, O_WRONLY | O_NOFOLLOW | (create ? O_CREAT | O_EXCL : 0)));
}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void OpenFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::optional<std::size_t> OpenFile::readAt(std::int64_t offset, void* buffer,
                                            std::size_t size) const {
    if (fd_ < 0 || offset < 0) return std::nullopt;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = ::pread(fd_, out + total, size - total,
                                  static_cast<off_t>(offset) + static_cast<off_t>(total));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

Status OpenFile::sync() {
    if (fd_ < 0) return Status::failed(EBADF);
    return statusOf(::fdatasync(fd_));
}

Status OpenFile::writeAt(std::int64_t offset, const void* data, std::size_t size) {
    struct stat st {};
    if (fd_ < 0 || offset < 0) return Status::failed(EBADF);
    if (::fstat(fd_, &st) != 0) return Status::fromErrno();
    if (offset > st.st_size) return Status::failed(EINVAL);
    if (const Status written = writeInPlace(offset, data, size); !written) return written;
    // Only a chunk sent again lands before the end; cutting costs a journal entry otherwise.
    const off_t end = static_cast<off_t>(offset) + static_cast<off_t>(size);
    return end >= st.st_size ? Status::done() : statusOf(::ftruncate(fd_, end));
}

Status OpenFile::writeInPlace(std::int64_t offset, const void* data, std::size_t size) {
    if (fd_ < 0 || offset < 0) return Status::failed(EBADF);
    const auto* in = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, in + done, size - done,
                                   static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0 ? Status::failed(EIO) : Status::fromErrno();
        done += static_cast<std::size_t>(n);
    }
    return Status::done();
}

std::string baseName(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    if (cut == std::string::npos) return "";
    return path.substr(cut + 1);
}

}  // namespace zelt::files
