#include "server/core/admin/admin_socket.h"

#include <algorithm>

#include "common/platform/files.h"
#include "common/platform/local_socket.h"
#include "common/platform/tcp.h"
#include "server/core/admin/admin_protocol.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

AdminSocket::~AdminSocket() {
    close();
    reactor_.cancelDeferred(this);
}

bool AdminSocket::open(const std::string& path) {
    close();
    const local::SocketResult r = local::listenAt(path);
    if (r.handle == kNoHandle) {
        console_.error(
            text::format(text::AdminSocketFailed, path, files::Status::failed(r.error).message()));
        return false;
    }
    path_ = path;
    listener_ = r.handle;
    watchListener();
    return true;
}

void AdminSocket::watchListener() {
    reactor_.watch(listener_, kReadable, [this](unsigned) { accept(); });
}

void AdminSocket::close() {
    while (!peers_.empty()) drop(peers_.front().get());
    if (listener_ == kNoHandle) return;
    reactor_.killTimer(this, DeadlineTimer);
    reactor_.unwatch(listener_);
    tcp::closeSocket(listener_);
    listener_ = kNoHandle;
    local::removeSocketFile(path_);
}

void AdminSocket::accept() {
    const unsigned self = local::currentUserId();
    while (listener_ != kNoHandle) {
        bool wouldBlock = false;
        int error = 0;
        const Handle handle = local::acceptConnection(listener_, &wouldBlock, &error);
        if (handle == kNoHandle) {
            if (wouldBlock) return;
            // The waiting connection stays waiting (no descriptor left, say): trying again at
            // once would only spin. The clients are served meanwhile.
            reactor_.unwatch(listener_);
            reactor_.startTimer(this, DeadlineTimer, AcceptPause, TimerMode::OneShot,
                                [this] { watchListener(); });
            return;
        }
        // Administering the server is for the user it runs as, and for root.
        const auto peer = local::peerUserId(handle);
        if (!peer || (*peer != self && *peer != 0) || peers_.size() >= MaxPeers) {
            tcp::closeSocket(handle);
            continue;
        }
        auto owned = std::make_unique<Peer>();
        Peer* p = owned.get();
        p->handle = handle;
        peers_.push_back(std::move(owned));
        reactor_.watch(handle, kReadable, [this, p](unsigned events) { onEvents(p, events); });
        reactor_.startTimer(p, DeadlineTimer, adminproto::PeerDeadline, TimerMode::OneShot,
                            [this, p] { onDeadline(p); });
    }
}

void AdminSocket::onEvents(Peer* peer, unsigned events) {
    if (!peer->answered && (events & (kReadable | kHangup))) {
        read(peer);
    } else if (peer->answered && (events & (kWritable | kHangup))) {
        write(peer);
    }
}

void AdminSocket::read(Peer* peer) {
    char buffer[4096];
    for (;;) {
        const tcp::IoResult r = tcp::recvSome(peer->handle, buffer, sizeof buffer);
        if (r.status == tcp::IoResult::Status::WouldBlock) return;
        if (!r.ok()) {
            // Gone before its request was whole: there is nobody to answer.
            drop(peer);
            return;
        }
        const std::size_t before = peer->in.size();
        peer->in.append(buffer, r.bytes);
        const auto end = peer->in.find('\n', before);
        if (end != std::string::npos) {
            peer->in.resize(end);
            respond(peer, requests_.answer(peer->in));
            return;
        }
        if (peer->in.size() > adminproto::MaxRequestBytes) {
            respond(peer, AdminRequests::errorAnswer(
                              text::format("a request may hold at most %d bytes",
                                           static_cast<int>(adminproto::MaxRequestBytes))));
            return;
        }
    }
}

void AdminSocket::respond(Peer* peer, std::string answer) {
    peer->in.clear();
    peer->out = std::move(answer);
    peer->out.push_back('\n');
    peer->answered = true;
    reactor_.setInterest(peer->handle, kWritable);
    write(peer);
}

void AdminSocket::write(Peer* peer) {
    while (peer->sent < peer->out.size()) {
        const tcp::IoResult r = tcp::sendSome(peer->handle, peer->out.data() + peer->sent,
                                              peer->out.size() - peer->sent);
        if (r.status == tcp::IoResult::Status::WouldBlock) return;
        if (!r.ok()) break;
        peer->sent += r.bytes;
    }
    // Answered (or gone): one request per connection.
    drop(peer);
}

void AdminSocket::onDeadline(Peer* peer) {
    // A peer that has not read its answer by the second deadline will not.
    if (peer->answered || peer->lastChance) {
        drop(peer);
        return;
    }
    peer->lastChance = true;
    reactor_.startTimer(peer, DeadlineTimer, adminproto::PeerDeadline, TimerMode::OneShot,
                        [this, peer] { onDeadline(peer); });
    respond(peer,
            AdminRequests::errorAnswer(text::format("no whole request within %d ms",
                                                    static_cast<int>(adminproto::PeerDeadline))));
}

void AdminSocket::drop(Peer* peer) {
    const auto it = std::find_if(peers_.begin(), peers_.end(),
                                 [peer](const auto& p) { return p.get() == peer; });
    if (it == peers_.end()) return;
    reactor_.killTimer(peer, DeadlineTimer);
    reactor_.unwatch(peer->handle);
    tcp::closeSocket(peer->handle);
    peer->handle = kNoHandle;
    retired_.push_back(std::move(*it));
    peers_.erase(it);
    if (retired_.size() == 1) reactor_.defer(this, [this] { retired_.clear(); });
}

}  // namespace zelt::server
