#include "server/core/session/episode.h"

namespace zelt::server {

void Episode::happened() {
    last_ = reactor_.now();
    if (count_++ > 0) return;
    // One timer per episode, not one restarted per event.
    reactor_.startTimer(this, kEndTimer, Quiet, TimerMode::OneShot, [this] { checkEnd(); });
    if (onStart_) onStart_();
}

void Episode::checkEnd() {
    const Millis quiet = reactor_.now() - last_;
    if (quiet < Quiet) {
        reactor_.startTimer(this, kEndTimer, Quiet - quiet, TimerMode::OneShot,
                            [this] { checkEnd(); });
        return;
    }
    const int count = count_;
    count_ = 0;
    if (count > 1 && onEnd_) onEnd_(count);
}

}  // namespace zelt::server
