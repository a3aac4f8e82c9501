#include "common/platform/tcp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zelt::tcp {

namespace {

bool makeNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

void setNoDelay(int fd) {
    // Packets are small and strictly request/answer; with Nagle on, an answer written while an
    // earlier one is unacknowledged waits for the peer's delayed ACK (about 40 ms).
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool wouldBlock(int err) { return err == EAGAIN || err == EWOULDBLOCK; }

// Runs a send- or receive-shaped call again when a signal cut it short, and tells what came
// of it.
template <typename IoCall>
IoResult ioResult(IoCall call) {
    IoResult r;
    for (;;) {
        const ssize_t n = call();
        if (n >= 0) {
            r.bytes = static_cast<std::size_t>(n);
            return r;
        }
        if (errno == EINTR) continue;
        if (wouldBlock(errno)) {
            r.status = IoResult::Status::WouldBlock;
        } else {
            r.status = IoResult::Status::Failed;
            r.error = errno;
        }
        return r;
    }
}

}  // namespace

ListenResult listenAll(std::uint16_t port, int backlog) {
    ListenResult result;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        result.failedAt = ListenStep::Socket;
        return result;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    auto fail = [&](ListenStep step) {
        ::close(fd);
        result.failedAt = step;
        return result;
    };
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        return fail(ListenStep::Bind);
    }
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return fail(ListenStep::GetSockName);
    }
    if (!makeNonBlocking(fd)) return fail(ListenStep::Select);
    if (::listen(fd, backlog) != 0) return fail(ListenStep::Listen);
    result.handle = fd;
    result.port = ntohs(addr.sin_port);
    return result;
}

Handle acceptConnection(Handle listener, bool* wouldBlockOut, int* error,
                        std::uint32_t* peerAddress) {
    *wouldBlockOut = false;
    *error = 0;
    sockaddr_in peer{};
    socklen_t len = sizeof peer;
    int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &len,
                       SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        if (wouldBlock(errno) || errno == EINTR || errno == ECONNABORTED) {
            *wouldBlockOut = true;
        } else {
            *error = errno;
        }
        return kNoHandle;
    }
    setNoDelay(fd);
    if (peerAddress != nullptr) *peerAddress = ntohl(peer.sin_addr.s_addr);
    return fd;
}

Handle startConnect(std::uint32_t address, std::uint16_t port, int* error) {
    *error = 0;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = errno;
        return kNoHandle;
    }
    setNoDelay(fd);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(address);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 &&
        errno != EINPROGRESS) {
        *error = errno;
        ::close(fd);
        return kNoHandle;
    }
    return fd;
}

int connectError(Handle handle) {
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return errno;
    return err;
}

IoResult sendSome(Handle handle, const void* data, std::size_t size) {
    return ioResult([&] { return ::send(handle, data, size, MSG_NOSIGNAL); });
}

IoResult sendPieces(Handle handle, const Piece* pieces, std::size_t count) {
    constexpr std::size_t kMaxPieces = 64;
    iovec vectors[kMaxPieces];
    count = std::min(count, kMaxPieces);
    for (std::size_t i = 0; i < count; ++i) {
        vectors[i].iov_base = const_cast<void*>(pieces[i].data);
        vectors[i].iov_len = pieces[i].size;
    }
    msghdr message{};
    message.msg_iov = vectors;
    message.msg_iovlen = count;
    return ioResult([&] { return ::sendmsg(handle, &message, MSG_NOSIGNAL); });
}

IoResult recvSome(Handle handle, void* data, std::size_t size) {
    IoResult r = ioResult([&] { return ::recv(handle, data, size, 0); });
    // Nothing read without an error: the peer has closed its end.
    if (r.ok() && r.bytes == 0) r.status = IoResult::Status::Closed;
    return r;
}

void closeSocket(Handle handle) {
    if (handle != kNoHandle) ::close(handle);
}

bool socketPair(Handle out[2]) {
    return ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, out) == 0;
}

void setBufferSizes(Handle handle, int sendBytes, int receiveBytes) {
    setsockopt(handle, SOL_SOCKET, SO_SNDBUF, &sendBytes, sizeof sendBytes);
    setsockopt(handle, SOL_SOCKET, SO_RCVBUF, &receiveBytes, sizeof receiveBytes);
}

std::string peerAddress(Handle handle) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(handle, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
        peer.sin_family != AF_INET) {
        return "";
    }
    return formatIpv4(ntohl(peer.sin_addr.s_addr));
}

std::string hostAddress() {
    char name[51] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "";
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &found) != 0 || found == nullptr) return "";
    // The host's name often resolves to a loopback address first; users need one they can
    // reach from their own machines, so a loopback address is the last resort.
    in_addr chosen = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    bool loopback = (ntohl(chosen.s_addr) >> 24) == 127;
    for (const addrinfo* a = found; a != nullptr && loopback; a = a->ai_next) {
        const in_addr candidate = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr;
        if ((ntohl(candidate.s_addr) >> 24) != 127) {
            chosen = candidate;
            loopback = false;
        }
    }
    ::freeaddrinfo(found);
    if (loopback) {
        ifaddrs* interfaces = nullptr;
        if (::getifaddrs(&interfaces) == 0) {
            for (const ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
                if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
                if ((i->ifa_flags & IFF_UP) == 0 || (i->ifa_flags & IFF_LOOPBACK) != 0) continue;
                chosen = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr;
                break;
            }
            ::freeifaddrs(interfaces);
        }
    }
    return formatIpv4(ntohl(chosen.s_addr));
}

bool parseIpv4(const std::string& text, std::uint32_t* address) {
    in_addr a{};
    if (::inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    *address = ntohl(a.s_addr);
    return true;
}

std::string formatIpv4(std::uint32_t address) {
    in_addr a{};
    a.s_addr = htonl(address);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

}  // namespace zelt::tcp
