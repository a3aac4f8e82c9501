#include "server/core/session/admission.h"

#include "common/platform/tcp.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {
constexpr int kSweepTimer = 1;
}

Admission::Admission(Reactor& reactor, Console& console, AdminUi& ui, SlotTable& slots)
    : reactor_(reactor),
      slots_(slots),
      refusals_(
          reactor,
          [&console, &ui] {
              console.error(text::ConnectionFull);
              // A user is being turned away: worth telling an administrator looking elsewhere.
              ui.notifyAdministrator(std::string(text::ConnectionFull));
          },
          [&console](int count) { console.error(text::format(text::ConnectionsRefused, count)); }) {
    slots_.onArrival = [this](Handle connected, std::uint32_t peer) { arrive(connected, peer); };
}

Admission::~Admission() {
    reactor_.killTimer(this, kSweepTimer);
    slots_.onArrival = nullptr;
}

void Admission::arrive(Handle connected, std::uint32_t peerAddress) {
    // The oldest connection waiting for its log-in, of anyone and of this address.
    int oldest = -1;
    int oldestOfPeer = -1;
    std::size_t ofPeer = 0;
    for (std::size_t i = 0; i < slots_.capacity(); ++i) {
        const ConnectionSlot& s = slots_[i];
        if (!s.waiting()) continue;
        const auto older = [&](int than) {
            return than < 0 || s.generation < slots_[static_cast<std::size_t>(than)].generation;
        };
        if (older(oldest)) oldest = static_cast<int>(i);
        if (s.peerAddress != peerAddress) continue;
        ++ofPeer;
        if (older(oldestOfPeer)) oldestOfPeer = static_cast<int>(i);
    }
    if (ofPeer >= MaxWaitingPerAddress) {
        slots_.freeSlot(oldestOfPeer);
    } else if (slots_.findFree() < 0) {
        if (oldest < 0) {
            tcp::closeSocket(connected);
            refusals_.happened();
            return;
        }
        slots_.freeSlot(oldest);
    }
    slots_.adopt(connected, peerAddress);
    if (!reactor_.timerRunning(this, kSweepTimer)) {
        reactor_.startTimer(this, kSweepTimer, SweepPeriod, TimerMode::Periodic,
                            [this] { sweep(); });
    }
}

void Admission::sweep() {
    const Millis now = reactor_.now();
    bool waiting = false;
    for (std::size_t i = 0; i < slots_.capacity(); ++i) {
        const ConnectionSlot& s = slots_[i];
        if (!s.waiting()) continue;
        if (answering && answering(slots_.idOf(i))) {
            waiting = true;
        } else if (now - s.connectedAt >= LogInDeadline) {
            slots_.freeSlot(static_cast<int>(i));
        } else {
            waiting = true;
        }
    }
    if (!waiting) reactor_.killTimer(this, kSweepTimer);
}

}  // namespace zelt::server
