#pragma once

#include <optional>
#include <string>

#include "common/platform/reactor.h"

// Unix-domain stream sockets: the administration socket a server listens on in its data
// directory, and the command that talks to it. Only processes of this machine reach them, and
// each end can learn which user the other runs as.
namespace zelt::local {

struct SocketResult {
    Handle handle = kNoHandle;
    int error = 0;  // errno when handle is kNoHandle
};

// Opens a non-blocking listening socket at path that only this user may connect to (mode
// 0600). A socket file left at path by a program that has gone is replaced; anything else there
// (a file, a folder) is left alone and reported as EEXIST. A path too long for a socket address
// is reached through its folder.
SocketResult listenAt(const std::string& path, int backlog = 16);

// Accepts one waiting connection as a non-blocking socket. On failure returns kNoHandle and sets
// wouldBlock (nothing waits) or error.
Handle acceptConnection(Handle listener, bool* wouldBlock, int* error);

// The user id the process at the other end ran as when it connected; nothing when unknown.
std::optional<unsigned> peerUserId(Handle connection);

// The user id this process acts as (its effective one).
unsigned currentUserId();

// Connects to the socket at path. The socket blocks, and each later read or write waits at most
// timeoutMs before it reports WouldBlock.
SocketResult connectTo(const std::string& path, int timeoutMs);

// Removes the socket file at path; anything that is not a socket is left alone.
void removeSocketFile(const std::string& path);

}  // namespace zelt::local
