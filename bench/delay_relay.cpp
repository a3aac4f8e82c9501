#include "bench/delay_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <deque>
#include <memory>
#include <stdexcept>
#include <vector>

namespace zelt::bench {

namespace {

using Clock = std::chrono::steady_clock;

void nonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// Bytes read from one end, waiting for their time to be written to the other.
struct Parcel {
    Clock::time_point due;
    std::vector<char> bytes;
    std::size_t sent = 0;
};

// One direction of a relayed connection.
struct Direction {
    int from = -1;
    int to = -1;
    std::deque<Parcel> queue;
    bool ended = false;   // the sender closed its end
    bool shut = false;    // the end was passed on
};

struct Pair {
    Direction up;    // client to server
    Direction down;  // server to client
    bool dead = false;
};

}  // namespace

DelayRelay::DelayRelay(std::uint16_t target, int roundTripMs)
    : target_(target), oneWayMs_(roundTripMs / 2) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 1024) != 0 || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::runtime_error("delay relay: cannot listen");
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    nonBlocking(listener_);
    thread_ = std::thread([this] { run(); });
}

DelayRelay::~DelayRelay() {
    stop_ = true;
    [[maybe_unused]] auto n = ::write(wake_[1], "x", 1);
    thread_.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

void DelayRelay::run() {
    std::vector<std::unique_ptr<Pair>> pairs;
    const auto delay = std::chrono::milliseconds(oneWayMs_);
    std::vector<char> buffer(256 * 1024);
    std::vector<pollfd> polled;
    std::vector<Direction*> owners;

    auto readInto = [&](Direction& d) {
        for (;;) {
            const ssize_t n = ::recv(d.from, buffer.data(), buffer.size(), 0);
            if (n > 0) {
                d.queue.push_back(
                    Parcel{Clock::now() + delay, std::vector<char>(buffer.data(), buffer.data() + n)});
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) d.ended = true;
            return;
        }
    };
    auto writeDue = [&](Direction& d, Pair& pair) {
        const auto now = Clock::now();
        while (!d.queue.empty() && d.queue.front().due <= now) {
            Parcel& p = d.queue.front();
            const ssize_t n =
                ::send(d.to, p.bytes.data() + p.sent, p.bytes.size() - p.sent, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno != EAGAIN && errno != EINTR) pair.dead = true;
                return;
            }
            p.sent += static_cast<std::size_t>(n);
            if (p.sent < p.bytes.size()) return;
            d.queue.pop_front();
        }
        if (d.ended && d.queue.empty() && !d.shut) {
            ::shutdown(d.to, SHUT_WR);
            d.shut = true;
        }
    };

    while (!stop_) {
        polled.clear();
        owners.clear();
        polled.push_back(pollfd{wake_[0], POLLIN, 0});
        owners.push_back(nullptr);
        polled.push_back(pollfd{listener_, POLLIN, 0});
        owners.push_back(nullptr);
        auto next = Clock::time_point::max();
        const auto now = Clock::now();
        for (auto& pair : pairs) {
            for (Direction* d : {&pair->up, &pair->down}) {
                short events = 0;
                if (!d->ended) events |= POLLIN;
                if (!d->queue.empty()) {
                    if (d->queue.front().due <= now) {
                        polled.push_back(pollfd{d->to, POLLOUT, 0});
                        owners.push_back(d);
                    } else {
                        next = std::min(next, d->queue.front().due);
                    }
                }
                if (events) {
                    polled.push_back(pollfd{d->from, events, 0});
                    owners.push_back(d);
                }
            }
        }
        int timeout = 1000;
        if (next != Clock::time_point::max()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
            timeout = static_cast<int>(std::max<long long>(0, wait.count() + 1));
        }
        if (::poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) break;
        if (polled[1].revents & POLLIN) {
            for (;;) {
                const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (client < 0) break;
                const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in address{};
                address.sin_family = AF_INET;
                address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                address.sin_port = htons(target_);
                if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                    ::close(client);
                    ::close(server);
                    continue;
                }
                nonBlocking(client);
                nonBlocking(server);
                auto pair = std::make_unique<Pair>();
                pair->up.from = pair->down.to = client;
                pair->up.to = pair->down.from = server;
                pairs.push_back(std::move(pair));
            }
        }
        for (std::size_t i = 2; i < polled.size(); ++i) {
            if (polled[i].revents == 0) continue;
            Direction* d = owners[i];
            if (polled[i].fd == d->from && (polled[i].revents & (POLLIN | POLLHUP | POLLERR))) {
                readInto(*d);
            }
        }
        for (auto& pair : pairs) {
            writeDue(pair->up, *pair);
            writeDue(pair->down, *pair);
        }
        // A connection goes when both ends are closed and passed on, or when it broke.
        for (auto it = pairs.begin(); it != pairs.end();) {
            Pair& p = **it;
            if (p.dead || (p.up.shut && p.down.shut)) {
                ::close(p.up.from);
                ::close(p.up.to);
                it = pairs.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& pair : pairs) {
        ::close(pair->up.from);
        ::close(pair->up.to);
    }
}

}  // namespace zelt::bench
