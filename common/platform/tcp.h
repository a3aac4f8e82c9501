#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/platform/reactor.h"

namespace zelt::tcp {

// Outcome of one send() or recv() on a non-blocking socket.
struct IoResult {
    enum class Status { Ok, WouldBlock, Closed, Failed };
    Status status = Status::Ok;
    std::size_t bytes = 0;  // moved bytes when Ok
    int error = 0;          // errno when Failed

    bool ok() const { return status == Status::Ok; }
};

// The step at which opening the listening socket failed.
enum class ListenStep { None, Socket, Bind, GetSockName, Select, Listen };

struct ListenResult {
    Handle handle = kNoHandle;
    ListenStep failedAt = ListenStep::None;
    std::uint16_t port = 0;  // the bound port (useful when 0 asked for any free port)
};

// Opens a non-blocking listening socket on every IPv4 address of the port.
ListenResult listenAll(std::uint16_t port, int backlog = 64);

// Accepts one waiting connection as a non-blocking socket with TCP_NODELAY, and tells the
// peer's IPv4 address in host order when asked. On failure returns kNoHandle and sets
// wouldBlock or error.
Handle acceptConnection(Handle listener, bool* wouldBlock, int* error,
                        std::uint32_t* peerAddress = nullptr);

// Starts a non-blocking connect to an IPv4 address given in host order. Returns the socket,
// connected or still connecting; kNoHandle with *error set when it failed at once.
Handle startConnect(std::uint32_t address, std::uint16_t port, int* error);
// The result of a connect that was under way: 0 on success, else the socket error.
int connectError(Handle handle);

IoResult sendSome(Handle handle, const void* data, std::size_t size);
IoResult recvSome(Handle handle, void* data, std::size_t size);
void closeSocket(Handle handle);

// A connected pair of non-blocking stream sockets, for tests.
bool socketPair(Handle out[2]);
// Shrinks the kernel's send and receive buffers of a socket (tests of partial sends).
void setBufferSizes(Handle handle, int sendBytes, int receiveBytes);

// The dotted IPv4 address of the other end of a connected socket; "" when it has none (a local
// socket pair).
std::string peerAddress(Handle handle);

// The dotted IPv4 address of this host's name, or "" when it cannot be found.
std::string hostAddress();
// Parses "a.b.c.d" into host order; false when it is not such an address.
bool parseIpv4(const std::string& text, std::uint32_t* address);
// "a.b.c.d" of an address in host order.
std::string formatIpv4(std::uint32_t address);

}  // namespace zelt::tcp
