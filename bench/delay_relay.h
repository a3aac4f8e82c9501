#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace zelt::bench {

// A slow link on loopback, made in user space (the kernel here has no delay queueing
// discipline): it listens on a port of its own and relays every connection to 127.0.0.1:target,
// holding each byte for half the round trip in each direction. Bytes keep their order; the link
// has no bandwidth limit of its own, so what a transfer reaches is what its protocol's round
// trips leave of the loopback's rate. Runs on its own thread until destroyed.
class DelayRelay {
public:
    DelayRelay(std::uint16_t target, int roundTripMs);
    ~DelayRelay();
    DelayRelay(const DelayRelay&) = delete;
    DelayRelay& operator=(const DelayRelay&) = delete;

    // The port clients connect to.
    std::uint16_t port() const { return port_; }

private:
    void run();

    std::uint16_t target_;
    int oneWayMs_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace zelt::bench
