#include "server/core/repository/background_work.h"

#include <sys/socket.h>
#include <unistd.h>

namespace zelt::server {

BackgroundWork::BackgroundWork(Reactor& reactor) : reactor_(reactor) {}

BackgroundWork::~BackgroundWork() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            jobs_.clear();
        }
        jobsWaiting_.notify_one();
        thread_.join();
    }
    if (wake_[0] != kNoHandle) {
        reactor_.unwatch(wake_[0]);
        ::close(wake_[0]);
        ::close(wake_[1]);
    }
}

void BackgroundWork::run(std::function<void()> work, std::function<void()> done) {
    if (!thread_.joinable()) {
        // Without a way to wake the loop the work is done here, late but not lost.
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, wake_) != 0) {
            wake_[0] = wake_[1] = kNoHandle;
            work();
            return done();
        }
        reactor_.watch(wake_[0], kReadable, [this](unsigned) { runEndings(); });
        thread_ = std::thread([this] { serve(); });
    }
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back({std::move(work), std::move(done)});
    }
    jobsWaiting_.notify_one();
}

void BackgroundWork::serve() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            jobsWaiting_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job.work();
        {
            std::lock_guard lock(mutex_);
            endings_.push_back(std::move(job.done));
        }
        const char byte = 1;
        // A full socket already wakes the loop; the byte is only a signal.
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
    for (auto& done : endings) done();
}

}  // namespace zelt::server
