#pragma once

#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

#include "common/platform/reactor.h"

class QSocketNotifier;
class QTimerEvent;

namespace zelt::gui {

// The Reactor inside Qt's event loop: sockets on QSocketNotifier, timers on QObject timers,
// deferred calls on one queued call per turn. Every loop serves it, a modal dialog's included,
// so the programs keep answering while a dialog is open.
class QtReactor final : public QObject, public Reactor {
public:
    // The clock must outlive the reactor; without one the system clock is used.
    explicit QtReactor(const Clock* clock = nullptr, QObject* parent = nullptr);
    ~QtReactor() override;

    void watch(Handle handle, unsigned interest, IoHandler handler) override;
    void setInterest(Handle handle, unsigned interest) override;
    void unwatch(Handle handle) override;
    void startTimer(const void* owner, int id, Millis period, TimerMode mode,
                    TimerHandler handler) override;
    void killTimer(const void* owner, int id) override;
    bool timerRunning(const void* owner, int id) const override;
    void defer(const void* owner, std::function<void()> fn) override;
    void cancelDeferred(const void* owner) override;
    const Clock& clock() const override { return *clock_; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    struct Watch {
        unsigned interest = 0;
        std::uint64_t generation = 0;
        std::shared_ptr<IoHandler> handler;
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };
    using TimerKey = std::pair<const void*, int>;
    struct Timer {
        int qtId = 0;
        TimerMode mode = TimerMode::OneShot;
        std::shared_ptr<TimerHandler> handler;
    };

    void applyInterest(Handle handle, Watch& w);
    void onActivated(Handle handle, std::uint64_t generation);
    void stopTimer(std::map<TimerKey, Timer>::iterator it);
    void runDeferred();

    std::unique_ptr<Clock> ownClock_;
    const Clock* clock_;
    std::unordered_map<Handle, Watch> watches_;
    std::uint64_t nextGeneration_ = 1;
    std::map<TimerKey, Timer> timers_;
    std::unordered_map<int, TimerKey> byQtId_;
    std::deque<std::pair<const void*, std::function<void()>>> deferred_;
    bool deferPosted_ = false;
};

}  // namespace zelt::gui
