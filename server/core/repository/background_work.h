#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "common/platform/reactor.h"

namespace zelt::server {

// File work too long for the loop's thread (copying a file of hundreds of megabytes), done one
// job at a time on a thread of its own, each job's ending run back on the loop's thread. While
// a job runs, the loop serves everyone else.
class BackgroundWork {
public:
    explicit BackgroundWork(Reactor& reactor);
    // Waits for the job under way; endings not run yet are dropped.
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // Runs work on the thread, then done on the loop's thread, in the order they were asked.
    // work must touch nothing the loop's thread uses meanwhile.
    void run(std::function<void()> work, std::function<void()> done);

private:
    struct Job {
        std::function<void()> work, done;
    };
    void serve();
    void runEndings();

    Reactor& reactor_;
    Handle wake_[2] = {kNoHandle, kNoHandle};  // the thread writes a byte, the loop reads
    std::mutex mutex_;
    std::condition_variable jobsWaiting_;
    std::deque<Job> jobs_;
    std::deque<std::function<void()>> endings_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace zelt::server
