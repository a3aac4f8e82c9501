#include "server/core/relay/shutdown_schedule.h"

#include "server/core/admin/number_forms.h"
#include "server/core/admin/status_displays.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

ShutdownSchedule::ShutdownSchedule(Reactor& reactor, Console& console, AdminUi& ui, Store& store,
                                   Sessions& sessions, Communication& communication)
    : reactor_(reactor),
      console_(console),
      ui_(ui),
      store_(store),
      sessions_(sessions),
      communication_(communication) {}

ShutdownSchedule::~ShutdownSchedule() {
    reactor_.killTimer(this, CountdownTimer);
}

void ShutdownSchedule::showGuidance() {
    if (!store_.loaded()) return;
    console_.separator();
    if (!communication_.listening()) {
        reportClosed();
        return;
    }
    if (scheduled_) {
        console_.plain(text::format(text::ShutdownIn, minutesLeft_));
        console_.function(text::CancelShutdownLine, tag::CancelShutdown);
        console_.function(text::ShutDownNowLine, tag::ShutDownNow);
        return;
    }
    const int users = connectedUserCount(store_.accounts());
    const int files = checkedOutFileCount(store_.groups());
    if (users > 0) {
        console_.plain(text::format(text::AccountsLoggedIn, users));
        console_.function(text::DisplayConnectedUsers, tag::ListLoggedIn);
    }
    if (files > 0) {
        console_.plain(text::format(text::FilesCheckedOut, files));
        console_.function(text::DisplayCheckedOutFiles, tag::ListCheckedOut);
    }
    if (users == 0 && files == 0) console_.plain(text::SafeToShutDown);
    console_.function(text::ShutDownNowLine, tag::ShutDownNow);
    console_.function(text::ScheduleShutdownLine, tag::ScheduleShutdown);
}

void ShutdownSchedule::reportClosed() {
    // Nothing is left to shut down: only the window is, and this line closes it.
    console_.important(text::CommunicationIsClosed);
    console_.function(text::CloseServer, tag::CloseServer);
}

void ShutdownSchedule::askAndSchedule() {
    if (!communication_.listening()) {
        reportClosed();
        return;
    }
    ShutdownForm form;
    if (!ui_.scheduleShutdown(form, checkShutdownForm)) return;
    const Outcome outcome = schedule(form);
    if (outcome.needsMessageBox()) ui_.showMessage(outcome.text);
}

Outcome ShutdownSchedule::schedule(const ShutdownForm& form) {
    if (auto refusal = checkShutdownForm(form)) return Outcome::refused(*refusal);
    if (!communication_.listening()) {
        // No countdown starts, and the command must not hear that one did.
        reportClosed();
        return Outcome::failed(std::string(text::CommunicationIsClosed));
    }
    schedule(*parseMinutes(form.minutes));
    return Outcome::done();
}

void ShutdownSchedule::schedule(int minutes) {
    // The communication may have closed while the dialog was open (a countdown ran out): a new
    // countdown would warn nobody and then close it a second time.
    if (!communication_.listening()) {
        reportClosed();
        return;
    }
    minutesLeft_ = minutes;
    scheduled_ = true;
    reactor_.startTimer(this, CountdownTimer, CountdownPeriod, TimerMode::Periodic,
                        [this] { onCountdown(); });
    warn();
}

void ShutdownSchedule::warn() {
    const std::string warning = text::format(text::ServerWillShutDown, minutesLeft_);
    console_.important(warning);
    console_.function(text::CancelShutdownLine, tag::CancelShutdown);
    sessions_.broadcast(warning);
}

void ShutdownSchedule::onCountdown() {
    --minutesLeft_;
    if (minutesLeft_ > 0) {
        warn();
        return;
    }
    closeCommunication(true);
}

void ShutdownSchedule::cancel() {
    if (!scheduled_) {
        console_.plain(text::ShutdownCanceledAlready);
        return;
    }
    stop();
    console_.important(text::ShutdownCanceled);
    sessions_.broadcast(text::ShutdownCanceled);
}

void ShutdownSchedule::closeCommunication(bool withLines) {
    // A countdown still running would close a second time when it ran out.
    stop();
    communication_.close(withLines);
}

void ShutdownSchedule::stop() {
    reactor_.killTimer(this, CountdownTimer);
    scheduled_ = false;
}

}  // namespace zelt::server
