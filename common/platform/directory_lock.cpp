#include "common/platform/directory_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/platform/files.h"

namespace zelt {

DirectoryLock::DirectoryLock(DirectoryLock&& other) noexcept
    : fd_(other.fd_), holder_(other.holder_) {
    other.fd_ = -1;
}

DirectoryLock& DirectoryLock::operator=(DirectoryLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = other.fd_;
        holder_ = other.holder_;
        other.fd_ = -1;
    }
    return *this;
}

DirectoryLock::Result DirectoryLock::take(const std::string& folder) {
    release();
    holder_ = 0;
    const std::string path = files::join(folder, FileName);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    // A directory shared by several accounts: the lock file (0644: it holds only a process
    // number) may be another account's, readable only.
    // A lock taken through a read-only descriptor holds all the same.
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool inUse = errno == EWOULDBLOCK;
        char text[24] = {};
        if (inUse && ::pread(fd, text, sizeof text - 1, 0) > 0) holder_ = std::atoi(text);
        ::close(fd);
        return inUse ? Result::InUse : Result::Failed;
    }
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%d\n", static_cast<int>(::getpid()));
    // The number is only a courtesy for the message of a second start (and a read-only lock
    // file cannot take it); the lock holds either way.
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, text, static_cast<std::size_t>(n), 0);
    }
    fd_ = fd;
    return Result::Taken;
}

void DirectoryLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

}  // namespace zelt
