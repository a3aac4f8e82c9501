#pragma once

#include "common/console/console.h"
#include "common/platform/reactor.h"
#include "server/core/admin/outcome.h"
#include "server/core/session/communication.h"
#include "server/core/session/sessions.h"
#include "server/core/store/store.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// Stopping the server: the guidance that says whether it is safe, the schedule that warns every
// logged-in user once a minute and then closes the communication, its cancellation, and the
// closing itself.
class ShutdownSchedule {
public:
    static constexpr int CountdownTimer = 2;
    static constexpr Millis CountdownPeriod = 60000;

    ShutdownSchedule(Reactor& reactor, Console& console, AdminUi& ui, Store& store,
                     Sessions& sessions, Communication& communication);
    ~ShutdownSchedule();
    ShutdownSchedule(const ShutdownSchedule&) = delete;
    ShutdownSchedule& operator=(const ShutdownSchedule&) = delete;

    // Server > Shut Down, and the close box while the server listens.
    void showGuidance();
    // SCHESHTDN: the Shut Down Schedule dialog, then the schedule.
    void askAndSchedule();
    // What OK in that dialog does with form: its check, then the schedule. Refused once the
    // communication is closed.
    Outcome schedule(const ShutdownForm& form);
    // Starts (or restarts) the countdown with a warning now and each minute; once the
    // communication is closed it says so instead.
    void schedule(int minutes);
    // CNCLSHTDN.
    void cancel();
    // SHUTDOWN, and the end of the countdown.
    void shutDownNow() { closeCommunication(true); }
    // Closes the communication, with its two lines unless silent; a countdown stops with it.
    void closeCommunication(bool withLines);

    bool scheduled() const { return scheduled_; }
    int minutesLeft() const { return minutesLeft_; }

private:
    void reportClosed();
    void onCountdown();
    void warn();
    void stop();

    Reactor& reactor_;
    Console& console_;
    AdminUi& ui_;
    Store& store_;
    Sessions& sessions_;
    Communication& communication_;
    bool scheduled_ = false;
    int minutesLeft_ = 0;
};

}  // namespace zelt::server
