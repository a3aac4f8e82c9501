#include "common/platform/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace zelt {

namespace {

volatile sig_atomic_t gWriteEnd = -1;

void onSignal(int signo) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    if (gWriteEnd >= 0) {
        [[maybe_unused]] ssize_t n = ::write(gWriteEnd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals() {
    int ends[2];
    if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) return;
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
    gWriteEnd = writeEnd_;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    // A peer that vanishes must not end the program through SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
}

TerminationSignals::~TerminationSignals() {
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    gWriteEnd = -1;
    if (readEnd_ >= 0) ::close(readEnd_);
    if (writeEnd_ >= 0) ::close(writeEnd_);
}

int TerminationSignals::take() {
    unsigned char buffer[16];
    int last = 0;
    for (;;) {
        const ssize_t n = ::read(readEnd_, buffer, sizeof buffer);
        if (n <= 0) break;
        last = buffer[n - 1];
    }
    return last;
}

}  // namespace zelt
