#include "common/gui/qt_reactor.h"

#include <QSocketNotifier>
#include <QTimerEvent>

#include <algorithm>
#include <limits>

#include "common/platform/poll_reactor.h"

namespace zelt::gui {

namespace {

// Stops a notifier that may be the one whose signal is running right now: it is only deleted
// when control is back in the event loop.
void retire(QSocketNotifier*& notifier) {
    if (notifier == nullptr) return;
    notifier->setEnabled(false);
    notifier->deleteLater();
    notifier = nullptr;
}

}  // namespace

QtReactor::QtReactor(const Clock* clock, QObject* parent) : QObject(parent) {
    if (clock == nullptr) {
        ownClock_ = std::make_unique<SystemClock>();
        clock = ownClock_.get();
    }
    clock_ = clock;
}

QtReactor::~QtReactor() {
    for (auto& [key, timer] : timers_) QObject::killTimer(timer.qtId);
    for (auto& [handle, w] : watches_) {
        delete w.read;
        delete w.write;
    }
}

void QtReactor::watch(Handle handle, unsigned interest, IoHandler handler) {
    unwatch(handle);
    Watch& w = watches_[handle];
    w.interest = interest;
    w.generation = nextGeneration_++;
    w.handler = std::make_shared<IoHandler>(std::move(handler));
    applyInterest(handle, w);
}

void QtReactor::setInterest(Handle handle, unsigned interest) {
    auto it = watches_.find(handle);
    if (it == watches_.end()) return;
    it->second.interest = interest;
    applyInterest(handle, it->second);
}

void QtReactor::unwatch(Handle handle) {
    auto it = watches_.find(handle);
    if (it == watches_.end()) return;
    retire(it->second.read);
    retire(it->second.write);
    watches_.erase(it);
}

void QtReactor::applyInterest(Handle handle, Watch& w) {
    // A notifier only wakes the reactor; what the socket is ready for is asked of the socket
    // itself, so a closed peer reports kHangup here as it does on the poll reactor.
    auto ensure = [&](QSocketNotifier*& notifier, QSocketNotifier::Type type, bool wanted) {
        if (!wanted) {
            if (notifier != nullptr) notifier->setEnabled(false);
            return;
        }
        if (notifier == nullptr) {
            notifier = new QSocketNotifier(handle, type, this);
            const std::uint64_t generation = w.generation;
            connect(notifier, &QSocketNotifier::activated, this,
                    [this, handle, generation] { onActivated(handle, generation); });
        }
        notifier->setEnabled(true);
    };
    ensure(w.read, QSocketNotifier::Read, (w.interest & kReadable) != 0);
    ensure(w.write, QSocketNotifier::Write, (w.interest & kWritable) != 0);
}

void QtReactor::onActivated(Handle handle, std::uint64_t generation) {
    // An earlier handler of this turn may have closed the socket, and its number may already
    // belong to a new watch; only the watch that was woken gets the event.
    auto it = watches_.find(handle);
    if (it == watches_.end() || it->second.generation != generation) return;
    const unsigned events = readyNow(handle, it->second.interest);
    if (events == 0) return;
    std::shared_ptr<IoHandler> handler = it->second.handler;
    (*handler)(events);
}

void QtReactor::startTimer(const void* owner, int id, Millis period, TimerMode mode,
                           TimerHandler handler) {
    const TimerKey key{owner, id};
    auto old = timers_.find(key);
    if (old != timers_.end()) stopTimer(old);
    // A periodic timer of 0 ms would fire for ever within one turn.
    const Millis floor = mode == TimerMode::Periodic ? 1 : 0;
    const Millis ms = std::clamp<Millis>(period, floor, std::numeric_limits<int>::max());
    Timer& t = timers_[key];
    t.qtId = QObject::startTimer(static_cast<int>(ms), Qt::PreciseTimer);
    t.mode = mode;
    t.handler = std::make_shared<TimerHandler>(std::move(handler));
    byQtId_[t.qtId] = key;
}

void QtReactor::killTimer(const void* owner, int id) {
    auto it = timers_.find(TimerKey{owner, id});
    if (it != timers_.end()) stopTimer(it);
}

bool QtReactor::timerRunning(const void* owner, int id) const {
    return timers_.count(TimerKey{owner, id}) != 0;
}

void QtReactor::stopTimer(std::map<TimerKey, Timer>::iterator it) {
    QObject::killTimer(it->second.qtId);
    byQtId_.erase(it->second.qtId);
    timers_.erase(it);
}

void QtReactor::timerEvent(QTimerEvent* event) {
    auto id = byQtId_.find(event->timerId());
    if (id == byQtId_.end()) return;
    auto it = timers_.find(id->second);
    if (it == timers_.end()) return;
    std::shared_ptr<TimerHandler> handler = it->second.handler;
    if (it->second.mode == TimerMode::OneShot) stopTimer(it);
    (*handler)();
}

void QtReactor::defer(const void* owner, std::function<void()> fn) {
    deferred_.emplace_back(owner, std::move(fn));
    if (deferPosted_) return;
    deferPosted_ = true;
    QMetaObject::invokeMethod(
        this, [this] { runDeferred(); }, Qt::QueuedConnection);
}

void QtReactor::cancelDeferred(const void* owner) {
    for (auto& call : deferred_) {
        if (call.first == owner) call = {nullptr, nullptr};
    }
}

void QtReactor::runDeferred() {
    // Cleared first: a deferred call that opens a modal dialog turns the loop again, and the
    // calls deferred inside that loop must run there, not wait for the dialog to close.
    deferPosted_ = false;
    while (!deferred_.empty()) {
        std::function<void()> fn = std::move(deferred_.front().second);
        deferred_.pop_front();
        if (fn) fn();
    }
}

}  // namespace zelt::gui
