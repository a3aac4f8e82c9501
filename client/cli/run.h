#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/cli/terminal_ui.h"
#include "client/core/client.h"
#include "common/platform/poll_reactor.h"
#include "common/platform/signals.h"

namespace zelt::cli {

// The exit statuses of zelt, as its manual lists them.
enum ExitStatus : int {
    kAllDone = 0,
    kRefused = 1,
    kUsage = 2,
    kNoLogIn = 3,
    kLocalFailure = 4,
};

// One run of the client core for one command: it takes the data directory, logs in, turns the
// reactor until each step of the command is done, and disconnects in order. Ctrl+C (or
// SIGTERM) cancels a transfer at its next chunk, so that the server is told to drop its copy,
// and ends the run once the step under way has ended; a second one ends it at once.
class Run final : public client::FlowObserver, public ConsoleObserver {
public:
    Run(client::PlaceOptions places, TerminalUi& ui);
    ~Run() override;
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    client::ClientCore& core() { return *core_; }
    PollReactor& reactor() { return reactor_; }

    // Takes the data directory and loads the client's state, logging in when the terminal
    // is told to. Returns kAllDone, or the exit status with its reason on standard error.
    int start();

    enum class Wait { Done, Lost, Interrupted };
    // What an interrupt does to a wait: let the step under way end first (so that an answer
    // on its way is not lost, nor a server copy left behind), or end the wait at once.
    enum class OnInterrupt { FinishStep, Stop };
    // Turns the reactor until done() holds, the connection ends or the user interrupts.
    // limit bounds the wait in milliseconds; at the limit the wait ends as Done.
    Wait waitFor(const std::function<bool()>& done, Millis limit = -1,
                 OnInterrupt onInterrupt = OnInterrupt::FinishStep);
    // Waits for the next end of flow (for at most limit milliseconds).
    Wait waitForEnd(client::Flow flow, Millis limit = -1);
    // Whether flow has ended and its end has not been waited for yet.
    bool hasEnded(client::Flow flow) const;
    // The items of flow settled since the last call.
    std::vector<client::FlowItem> takeItems(client::Flow flow);
    // Called with every push of the server.
    std::function<void(const client::ServerPush&)> onPush;

    // The exit status of a wait that did not end as Done, with its reason on standard error.
    int failure(Wait wait);
    // Why the run could not go on, as told on standard error; empty while it could.
    const std::string& failureReason() const { return failureReason_; }
    // Lets what was sent last reach the server, then closes the connection.
    void finish();

    // An error the console reported that no file's outcome accounts for (a state file that
    // could not be saved, a backup that could not be made): the run is a local failure.
    bool unexplainedError() const;

    void itemSettled(const client::FlowItem& item) override;
    void flowEnded(client::Flow flow) override;
    void pushReceived(const client::ServerPush& push) override;
    // The console's error lines go to standard error as they come.
    void lineAppended(const ConsoleLine& line, std::size_t index) override;
    void cleared() override {}

private:
    void onSignal();
    // The exit status of a log-in that did not happen, with its reason on standard error.
    int logInFailure();
    // Tells why the run cannot go on and returns status.
    int fail(int status, const std::string& reason);

    PollReactor reactor_;
    TerminalUi& ui_;
    std::unique_ptr<client::ClientCore> core_;
    TerminationSignals signals_;
    int interrupts_ = 0;
    bool loggedIn_ = false;
    std::vector<client::FlowItem> items_;
    std::vector<client::Flow> ended_;
    std::string failureReason_;
    std::vector<std::string> errorLines_;  // after the log-in
    std::vector<std::string> itemLines_;
};

}  // namespace zelt::cli
