#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "common/platform/reactor.h"

namespace zelt {

// File work too long for the loop's thread (copying a file of hundreds of megabytes), done one
// job at a time on a thread of its own; each job's ending then runs back on the loop's thread,
// woken through a socket pair it watches. While a job runs the loop serves everyone else. Jobs
// run in the order they were given, so two of them never touch the same file at once.
//
// Off (inline), a job and its ending run at once on the caller's thread, as all file work did
// before there was this thread: measurements compare the two, and a fuzzer wants each input
// played out whole before the next.
class BackgroundWork {
public:
    BackgroundWork(Reactor& reactor, bool inline_);
    // Waits for the job under way; jobs not begun and endings not run are dropped.
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // Runs work on the thread, then done on the loop's thread; true when they will run later,
    // false when both have run already (inline). work must touch nothing that the loop's
    // thread may use meanwhile: it gets copies of what it needs.
    bool run(std::function<void()> work, std::function<void()> done);
    // Waits until every job given so far has run, and runs their endings here (the loop's
    // thread): an orderly exit lets what it began end.
    void finish();

private:
    struct Job {
        std::function<void()> work, done;
    };
    bool startThread();
    void serve();
    void runEndings();

    Reactor& reactor_;
    const bool inline_;
    Handle wake_[2] = {kNoHandle, kNoHandle};  // the thread writes a byte, the loop reads
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Job> jobs_;
    std::deque<std::function<void()>> endings_;
    bool busy_ = false;
    bool stopping_ = false;
    std::size_t outstanding_ = 0;  // jobs given whose ending has not run yet
    std::thread thread_;
};

}  // namespace zelt
