#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/platform/reactor.h"
#include "common/protocol/connection.h"

namespace zelt::bench {

// The least a server can do: answer each request with a zeroed packet of the answer's length,
// on the same Connection and reactor the real server uses. The baseline for the load figures.
class EchoServer {
public:
    explicit EchoServer(Reactor& reactor);
    ~EchoServer();
    std::uint16_t port() const { return port_; }

private:
    void accept();

    Reactor& reactor_;
    Handle listener_ = kNoHandle;
    std::uint16_t port_ = 0;
    std::vector<std::unique_ptr<proto::Connection>> connections_;
};

}  // namespace zelt::bench
