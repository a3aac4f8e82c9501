#include "client/cli/run.h"

#include <algorithm>
#include <cstdio>

#include "client/cli/texts.h"
#include "client/core/ui/texts.h"

namespace zelt::cli {

using client::ConnectionState;
using client::Flow;

namespace {

// How long a connect and log-in may take before the server counts as unreachable: the
// system's own limit for a connect is two minutes, too long for a script to wait.
constexpr Millis kLogInLimit = 30000;
// How long the step under way may take to end after an interrupt.
constexpr Millis kEndingLimit = 10000;
// How long what was sent last may take to leave.
constexpr Millis kFlushLimit = 5000;
constexpr Millis kTurn = 200;

}  // namespace

Run::Run(client::PlaceOptions places, TerminalUi& ui) : ui_(ui) {
    client::ClientOptions options;
    options.places = std::move(places);
    // Nothing is opened on a desktop: a view copy's path is what the command reports.
    options.shellOpen = [](const std::string&) { return 42; };
    core_ = std::make_unique<client::ClientCore>(reactor_, ui_, options);
    core_->addFlowObserver(this);
    core_->console().addObserver(this);
    reactor_.watch(signals_.handle(), kReadable, [this](unsigned) { onSignal(); });
}

Run::~Run() {
    reactor_.unwatch(signals_.handle());
    core_->removeFlowObserver(this);
    core_->console().removeObserver(this);
    core_.reset();
}

void Run::onSignal() {
    signals_.take();
    // A transfer stops at its next chunk and tells the server to drop its copy.
    if (++interrupts_ == 1) core_->cancelTransfer();
}

int Run::start() {
    const client::StartUpResult started = core_->start();
    if (!started) return fail(kLocalFailure, started.error);
    // The start-up runs from its timer, loads the state and opens the Log-in dialog.
    if (waitFor([this] { return ui_.logInAsked; }, -1, OnInterrupt::Stop) != Wait::Done) {
        return failure(Wait::Interrupted);
    }
    if (!ui_.logInWanted) return kAllDone;

    // The dialog was answered; a connect is under way, or the attempt has already ended.
    const Wait connecting =
        waitFor([this] { return loggedIn_ || ui_.state == ConnectionState::NotConnected; },
                kLogInLimit, OnInterrupt::Stop);
    if (connecting == Wait::Interrupted) return failure(connecting);
    if (!loggedIn_) return logInFailure();

    // The log-in asks for the groups, and asks again for check-outs whose answer an earlier
    // run never saw; the command starts once both are settled, with nothing of them left.
    const auto waiting = [this] {
        const client::CheckOutTable& table = core_->checkOutTable();
        for (int i = 0; i < client::CheckOutTable::size(); ++i) {
            if (table.state(i) == client::RecordRequested) return true;
        }
        return false;
    };
    Wait settled = waitForEnd(Flow::Groups);
    if (settled == Wait::Done && waiting()) settled = waitForEnd(Flow::CheckOut);
    items_.clear();
    ended_.clear();
    return settled == Wait::Done ? kAllDone : failure(settled);
}

int Run::logInFailure() {
    const ConnectionState state = ui_.state;
    core_->endSession();
    if (ui_.refusedInput) return fail(kUsage, *ui_.refusedInput);
    if (ui_.gaveUp) return failure(Wait::Interrupted);
    std::string reason = ui_.logInFailed.value_or(core_->lastError());
    if (reason.empty()) {
        // At the limit still connecting, or connected with the log-in unanswered; else no
        // socket could be made at all.
        switch (state) {
            case ConnectionState::Connecting:
                reason = client::text::ConnectFailed;
                break;
            case ConnectionState::Connected:
                reason = client::text::ServerNotResponding;
                break;
            case ConnectionState::NotConnected:
                reason = client::text::SocketFailed;
                break;
        }
    }
    return fail(kNoLogIn, reason);
}

int Run::fail(int status, const std::string& reason) {
    if (!ui_.told(reason)) ui_.tell(reason);
    failureReason_ = reason;
    return status;
}

Run::Wait Run::waitFor(const std::function<bool()>& done, Millis limit, OnInterrupt onInterrupt) {
    const Millis start = reactor_.now();
    Millis interruptedAt = -1;
    for (;;) {
        if (interrupts_ > 0) {
            if (interruptedAt < 0) interruptedAt = reactor_.now();
            if (interrupts_ > 1 || onInterrupt == OnInterrupt::Stop ||
                reactor_.now() - interruptedAt > kEndingLimit) {
                return Wait::Interrupted;
            }
        }
        if (done()) return interrupts_ > 0 ? Wait::Interrupted : Wait::Done;
        if (loggedIn_ && ui_.state == ConnectionState::NotConnected) return Wait::Lost;
        if (limit >= 0 && reactor_.now() - start >= limit) {
            return interrupts_ > 0 ? Wait::Interrupted : Wait::Done;
        }
        reactor_.runOnce(kTurn);
    }
}

Run::Wait Run::waitForEnd(Flow flow, Millis limit) {
    const Wait wait = waitFor([this, flow] { return hasEnded(flow); }, limit);
    if (const auto it = std::find(ended_.begin(), ended_.end(), flow); it != ended_.end()) {
        ended_.erase(it);
    }
    return wait;
}

bool Run::hasEnded(Flow flow) const {
    return std::find(ended_.begin(), ended_.end(), flow) != ended_.end();
}

std::vector<client::FlowItem> Run::takeItems(Flow flow) {
    std::vector<client::FlowItem> taken;
    std::erase_if(items_, [&](const client::FlowItem& item) {
        if (item.flow != flow) return false;
        taken.push_back(item);
        return true;
    });
    return taken;
}

int Run::failure(Wait wait) {
    if (wait == Wait::Lost) return fail(kNoLogIn, std::string(client::text::Disconnected));
    return fail(kLocalFailure, std::string(text::Interrupted));
}

void Run::finish() {
    if (interrupts_ < 2) {
        waitFor([this] { return core_->unsentBytes() == 0; }, kFlushLimit);
    }
    core_->endSession();
    ui_.clearProgress();
}

void Run::itemSettled(const client::FlowItem& item) {
    items_.push_back(item);
    itemLines_.push_back(item.line);
}

void Run::lineAppended(const ConsoleLine& line, std::size_t) {
    if (line.kind != LineKind::Error) return;
    ui_.tell(line.text);
    if (loggedIn_) errorLines_.push_back(line.text);
}

bool Run::unexplainedError() const {
    return std::any_of(errorLines_.begin(), errorLines_.end(), [this](const std::string& line) {
        return std::find(itemLines_.begin(), itemLines_.end(), line) == itemLines_.end();
    });
}

void Run::flowEnded(Flow flow) {
    if (flow == Flow::LogIn) loggedIn_ = true;
    ended_.push_back(flow);
}

void Run::pushReceived(const client::ServerPush& push) {
    if (onPush) onPush(push);
}

}  // namespace zelt::cli
