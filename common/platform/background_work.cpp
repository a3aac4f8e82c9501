#include "common/platform/background_work.h"

#include <unistd.h>

#include "common/platform/tcp.h"

namespace zelt {

BackgroundWork::BackgroundWork(Reactor& reactor, bool inline_)
    : reactor_(reactor), inline_(inline_) {}

BackgroundWork::~BackgroundWork() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            jobs_.clear();
        }
        changed_.notify_all();
        thread_.join();
    }
    if (wake_[0] != kNoHandle) {
        reactor_.unwatch(wake_[0]);
        reactor_.endOutsideWork(outstanding_);
        tcp::closeSocket(wake_[0]);
        tcp::closeSocket(wake_[1]);
    }
}

bool BackgroundWork::startThread() {
    if (thread_.joinable()) return true;
    if (!tcp::socketPair(wake_)) {
        wake_[0] = wake_[1] = kNoHandle;
        return false;
    }
    reactor_.watch(wake_[0], kReadable, [this](unsigned) { runEndings(); });
    thread_ = std::thread([this] { serve(); });
    return true;
}

bool BackgroundWork::run(std::function<void()> work, std::function<void()> done) {
    // Without a way to wake the loop the work is done here, late but not lost.
    if (inline_ || !startThread()) {
        work();
        done();
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(work), std::move(done)});
    }
    ++outstanding_;
    reactor_.beginOutsideWork();
    changed_.notify_all();
    return true;
}

void BackgroundWork::serve() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
        }
        job.work();
        {
            std::lock_guard lock(mutex_);
            endings_.push_back(std::move(job.done));
            busy_ = false;
        }
        changed_.notify_all();
        const char byte = 1;
        // A full socket wakes the loop already; the byte is only a signal.
        (void)!::write(wake_[1], &byte, 1);
    }
}

void BackgroundWork::runEndings() {
    char drain[64];
    while (::read(wake_[0], drain, sizeof drain) > 0) {
    }
    std::deque<std::function<void()>> endings;
    {
        std::lock_guard lock(mutex_);
        endings.swap(endings_);
    }
    outstanding_ -= endings.size();
    reactor_.endOutsideWork(endings.size());
    // An ending may give more work; its own ending comes with a later wake-up.
    for (auto& done : endings) done();
}

void BackgroundWork::finish() {
    if (!thread_.joinable()) return;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
    }
    runEndings();
}

}  // namespace zelt
