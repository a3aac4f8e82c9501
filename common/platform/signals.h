#pragma once

#include "common/platform/reactor.h"

namespace zelt {

// Turns SIGTERM and SIGINT into readiness of a pipe the reactor watches, so that the program
// ends from its own loop and not inside a signal handler.
class TerminationSignals {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // The read end to watch for kReadable.
    Handle handle() const { return readEnd_; }
    // Empties the pipe after a wake-up; returns the last signal number seen.
    int take();

private:
    Handle readEnd_ = kNoHandle;
    Handle writeEnd_ = kNoHandle;
};

}  // namespace zelt
