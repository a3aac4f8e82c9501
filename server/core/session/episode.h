#pragma once

#include <functional>

#include "common/platform/reactor.h"

namespace zelt::server {

// Something that can happen thousands of times a second while it lasts (a connection refused,
// an accept() failing): the console hears of it once when it starts and once more, with the
// count, when it has not happened for Quiet, instead of once each time.
class Episode {
public:
    static constexpr Millis Quiet = 10000;

    // onEnd is told the count of the whole episode, and only when there was more than one.
    Episode(Reactor& reactor, std::function<void()> onStart, std::function<void(int count)> onEnd)
        : reactor_(reactor), onStart_(std::move(onStart)), onEnd_(std::move(onEnd)) {}
    ~Episode() { reactor_.killTimer(this, kEndTimer); }
    Episode(const Episode&) = delete;
    Episode& operator=(const Episode&) = delete;

    void happened();
    bool running() const { return count_ > 0; }

private:
    static constexpr int kEndTimer = 1;
    void checkEnd();

    Reactor& reactor_;
    std::function<void()> onStart_;
    std::function<void(int count)> onEnd_;
    int count_ = 0;
    Millis last_ = 0;
};

}  // namespace zelt::server
