#include "bench/echo_server.h"

#include "common/platform/tcp.h"
#include "common/protocol/packet.h"

namespace zelt::bench {

EchoServer::EchoServer(Reactor& reactor) : reactor_(reactor) {
    const tcp::ListenResult r = tcp::listenAll(0, 1024);
    listener_ = r.handle;
    port_ = r.port;
    reactor_.watch(listener_, kReadable, [this](unsigned) { accept(); });
}

EchoServer::~EchoServer() {
    connections_.clear();
    reactor_.unwatch(listener_);
    tcp::closeSocket(listener_);
}

void EchoServer::accept() {
    for (;;) {
        bool wouldBlock = false;
        int error = 0;
        const Handle h = tcp::acceptConnection(listener_, &wouldBlock, &error);
        if (h == kNoHandle) return;
        auto* raw = new proto::Connection(
            reactor_, h, proto::Receiver::Server,
            [this, index = connections_.size()](std::span<const std::uint8_t> request) {
                if (request.size() < 2) return;
                const proto::OpcodeInfo* info = proto::findOpcode(request[1]);
                if (info == nullptr || info->answer == proto::Opcode::None) return;
                const proto::Packet reply(info->answer);
                connections_[index]->send(reply.bytes());
            },
            [](int) {});
        connections_.emplace_back(raw);
    }
}

}  // namespace zelt::bench
