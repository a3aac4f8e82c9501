#include "common/platform/local_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zelt::local {

namespace {

// The address of a socket file. A path longer than an address can hold is reached through a
// descriptor of its folder, which lives as long as the address.
class Address {
public:
    explicit Address(const std::string& path) {
        if (path.size() < sizeof address_.sun_path) {
            use(path);
            return;
        }
        const auto slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
        folder_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (folder_ < 0) {
            error_ = errno;
            return;
        }
        use("/proc/self/fd/" + std::to_string(folder_) + "/" + path.substr(slash + 1));
    }
    ~Address() {
        if (folder_ >= 0) ::close(folder_);
    }
    Address(const Address&) = delete;
    Address& operator=(const Address&) = delete;

    int error() const { return error_; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address_); }
    socklen_t size() const { return sizeof address_; }

private:
    void use(const std::string& text) {
        if (text.size() >= sizeof address_.sun_path) {
            error_ = ENAMETOOLONG;
            return;
        }
        address_.sun_family = AF_UNIX;
        std::memcpy(address_.sun_path, text.data(), text.size());
    }

    sockaddr_un address_{};
    int folder_ = -1;
    int error_ = 0;
};

SocketResult failed(int fd, int error) {
    if (fd >= 0) ::close(fd);
    SocketResult r;
    r.error = error != 0 ? error : EIO;
    return r;
}

}  // namespace

SocketResult listenAt(const std::string& path, int backlog) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) return failed(-1, EEXIST);
        // The caller holds the folder the socket lives in, so whoever made it has gone.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) return failed(-1, errno);
    } else if (errno != ENOENT) {
        return failed(-1, errno);
    }
    const Address address(path);
    if (address.error() != 0) return failed(-1, address.error());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return failed(-1, errno);
    // The file takes its mode when it is bound: nobody else can reach it, not even in the
    // moment before the chmod below.
    const mode_t before = ::umask(0177);
    const int bound = ::bind(fd, address.get(), address.size());
    const int bindError = errno;
    ::umask(before);
    if (bound != 0) return failed(fd, bindError);
    if (::chmod(path.c_str(), 0600) != 0 || ::listen(fd, backlog) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return failed(fd, error);
    }
    SocketResult r;
    r.handle = fd;
    return r;
}

Handle acceptConnection(Handle listener, bool* wouldBlock, int* error) {
    *wouldBlock = false;
    *error = 0;
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) {
        *wouldBlock = true;
    } else {
        *error = errno;
    }
    return kNoHandle;
}

std::optional<unsigned> peerUserId(Handle connection) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials) {
        return std::nullopt;
    }
    return static_cast<unsigned>(credentials.uid);
}

unsigned currentUserId() {
    return static_cast<unsigned>(::geteuid());
}

SocketResult connectTo(const std::string& path, int timeoutMs) {
    const Address address(path);
    if (address.error() != 0) return failed(-1, address.error());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return failed(-1, errno);
    timeval limit{};
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    if (::connect(fd, address.get(), address.size()) != 0) return failed(fd, errno);
    SocketResult r;
    r.handle = fd;
    return r;
}

void removeSocketFile(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(path.c_str());
}

}  // namespace zelt::local
