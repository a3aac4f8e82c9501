#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"
#include "common/platform/reactor.h"
#include "server/core/admin/admin_requests.h"

namespace zelt::server {

// The administration socket, admin.sock in the data directory: `zelt-server admin` connects to
// it, sends one request and reads one answer. It is served on the reactor that serves the
// clients, a little at a time like any other socket, so that a command never waits for the
// clients and the clients never wait for a command. Only the user the server runs as and root
// are served. A peer has PeerDeadline from its connection to its answer; one that does not keep
// up is answered with an error and closed, and it holds nobody else up meanwhile.
class AdminSocket {
public:
    // Peers served at once; more are closed as they come.
    static constexpr std::size_t MaxPeers = 16;
    static constexpr int DeadlineTimer = 1;
    // After a failure to accept (no descriptor left), the socket rests this long.
    static constexpr Millis AcceptPause = 1000;

    AdminSocket(Reactor& reactor, Console& console, AdminRequests& requests)
        : reactor_(reactor), console_(console), requests_(requests) {}
    ~AdminSocket();
    AdminSocket(const AdminSocket&) = delete;
    AdminSocket& operator=(const AdminSocket&) = delete;

    // Listens at path, replacing a socket file left there. Call it only while holding the data
    // directory, so that no other server can be serving that file. An error line says why when it
    // cannot.
    bool open(const std::string& path);
    bool isOpen() const { return listener_ != kNoHandle; }
    // Closes every peer and the socket, and removes the socket file.
    void close();
    std::size_t peerCount() const { return peers_.size(); }

private:
    struct Peer {
        Handle handle = kNoHandle;
        std::string in;
        std::string out;
        std::size_t sent = 0;
        bool answered = false;
        bool lastChance = false;  // the deadline passed once: the next time it is closed
    };

    void accept();
    void watchListener();
    void onEvents(Peer* peer, unsigned events);
    void read(Peer* peer);
    void respond(Peer* peer, std::string answer);
    void write(Peer* peer);
    void onDeadline(Peer* peer);
    void drop(Peer* peer);

    Reactor& reactor_;
    Console& console_;
    AdminRequests& requests_;
    std::string path_;
    Handle listener_ = kNoHandle;
    std::vector<std::unique_ptr<Peer>> peers_;
    // Peers dropped while their own handler may still run; freed at the end of the turn.
    std::vector<std::unique_ptr<Peer>> retired_;
};

}  // namespace zelt::server
