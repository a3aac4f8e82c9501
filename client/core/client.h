#pragma once

#include <functional>
#include <string>
#include <vector>

#include "client/core/browse/available_files.h"
#include "client/core/browse/file_properties.h"
#include "client/core/messaging/login_notice.h"
#include "client/core/messaging/messaging.h"
#include "client/core/session/password_change.h"
#include "client/core/session/session.h"
#include "client/core/state/local_state.h"
#include "client/core/transfer/check_out.h"
#include "client/core/transfer/fetch.h"
#include "client/core/transfer/transfer_engine.h"
#include "client/core/transfer/view_copy.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/commands.h"
#include "client/core/ui/flow_events.h"
#include "client/core/ui/shell_opener.h"
#include "client/core/working/check_in.h"
#include "client/core/working/void_check_out.h"
#include "client/core/working/working_files.h"
#include "common/console/console.h"
#include "common/platform/reactor.h"

namespace zelt::client {

// What start() found.
struct StartUpResult {
    bool started = false;
    std::string error;  // why not, naming the data directory
    explicit operator bool() const { return started; }
};

struct ClientOptions {
    PlaceOptions places;  // --data-dir and --user-dir
    // Opens a file, folder or address as the desktop does; shell-style result codes.
    ShellOpener::OpenFn shellOpen;
};

// The whole client without its windows: local state, the one connection to the server, the
// console, every command and every answer. The windows and the command line call this one
// object; it hands each call to the unit that does the work and wires the units together.
// It runs on one reactor and owns its timers (1: start-up, 4: ask for the notice, 6: the
// keep-alive watch).
class ClientCore {
public:
    static constexpr int kStartUpTimer = 1;
    static constexpr int kNoticeTimer = Session::kNoticeTimer;
    static constexpr int kKeepAliveTimer = Session::kKeepAliveTimer;
    static constexpr Millis kStartUpDelay = 500;
    static constexpr Millis kNoticeDelay = Session::kNoticeDelay;
    static constexpr Millis kKeepAlivePeriod = Session::kKeepAlivePeriod;
    static constexpr int kMaxBadChunks = TransferEngine::kMaxBadChunks;

    ClientCore(Reactor& reactor, ClientUi& ui, ClientOptions options = {});
    ~ClientCore();
    ClientCore(const ClientCore&) = delete;
    ClientCore& operator=(const ClientCore&) = delete;

    // Takes the data directory for this client, then arms the start-up timer; the start-up
    // opens the Log-in dialog. When another client holds the directory nothing starts and
    // nothing on disk changes; the front end shows the error and ends (the window with a
    // message box, the command line with exit status 4).
    [[nodiscard]] StartUpResult start();

    Console& console() { return console_; }
    const Console& console() const { return console_; }
    ConnectionState connectionState() const { return session_.connectionState(); }
    int keepAliveState() const { return session_.keepAliveState(); }
    // The connection to the server while there is one (the fuzzer feeds it bytes directly).
    proto::Connection* serverConnection() { return session_.connection(); }
    const ClientPlaces& places() const { return local_.places(); }
    const CommSettings& commSettings() const { return local_.comm(); }
    const CheckOutTable& checkOutTable() const { return local_.table(); }
    const std::string& lastError() const { return session_.lastError(); }
    bool fetching() const { return engine_.fetching(); }
    const AvailableFilesModel& availableFiles() const { return available_.model(); }
    const FilePropertiesModel& fileProperties() const { return properties_.model(); }
    const FileTransferModel& fileTransfer() const { return engine_.model(); }
    const WorkingFilesModel& workingFiles() const { return working_.model(); }
    const std::vector<std::string>& groups() const { return available_.groups(); }
    // Bytes sent and not yet taken by the network (see Session::unsentBytes).
    std::size_t unsentBytes() const { return session_.unsentBytes(); }

    // News of the flows for a front end that waits on them (flow_events.h). A flow cut short
    // by the end of the connection does not end: the connection state tells that.
    void addFlowObserver(FlowObserver* observer) { events_.add(observer); }
    void removeFlowObserver(FlowObserver* observer) { events_.remove(observer); }

    // Commands (commands.h has their menus, texts and rules).
    bool commandEnabled(ClientCommand command) const;
    void runCommand(ClientCommand command);
    void connect() { session_.connect(); }
    void disconnect() { session_.disconnect(); }
    void accountProperties() { password_.run(); }
    void closeClient();
    void showStatus();
    void yourGroups();
    void showWorkingFiles() { working_.showCommand(); }
    void openFolder(const std::string& folder) { shell_.open(folder); }
    void newMessage() { messaging_.newMessage(); }
    void showManual();
    // A group's files, as executing its line asks for them.
    void openGroup(const std::string& group) { available_.openGroup(group); }
    // Runs the function of a console line; returns whether one ran.
    bool executeLine(int index) { return console_.execute(index, tags_); }
    // The main window's close box: returns whether the window may close now.
    bool windowCloseRequested();
    // The user's session ends: the connection goes without further words.
    void endSession() { session_.drop(); }
    // The Send Message window's Send, after its own checks.
    void sendMessage(const MessageForm& form) { messaging_.send(form); }

    // Available Files window.
    void selectAvailableFiles(std::vector<int> rows) { available_.select(std::move(rows)); }
    void refreshAvailableFiles() { available_.refresh(); }
    void requestSelectedProperties() { available_.requestSelectedProperties(); }
    void checkOutSelected() { checkOut_.checkOutSelected(); }
    // Checks out files named by their server paths, as Check-out does for selected rows.
    void checkOut(const std::vector<std::string>& paths) { checkOut_.checkOut(paths); }
    void closeAvailableFiles() { available_.close(); }

    // File Properties window.
    void refreshFileProperties() { properties_.refresh(); }
    void viewFile() { view_.start(properties_.model().path); }
    // A read-only copy of any group file named by its server path.
    void viewFile(const std::string& path) { view_.start(path); }
    void messageHolder() { properties_.messageHolder(); }
    void closeFileProperties() { properties_.close(); }

    // File Transfer window: Cancel or its close box.
    void cancelTransfer() { engine_.cancel(); }

    // Working Files window.
    void selectWorkingFiles(std::vector<int> rows) { working_.select(std::move(rows)); }
    void fetchSelected() { fetch_.fetchSelected(); }
    void openSelected();
    void checkInSelected() { checkIn_.checkInSelected(); }
    void voidSelected() { voidCheckOut_.voidSelected(); }
    void closeWorkingFiles() { working_.hide(); }

private:
    class Answers;

    void startUp();
    void onAnswer(proto::Opcode opcode, const proto::Packet& p);
    void connectionChanged();
    void connectionLost();
    void loggedIn();
    void destroyToolWindows();

    Reactor& reactor_;
    ClientUi& ui_;
    ClientOptions options_;
    Console console_;
    FlowEvents events_;
    LocalState local_;
    ShellOpener shell_;
    Session session_;
    TransferEngine engine_;
    FileProperties properties_;
    AvailableFiles available_;
    WorkingFiles working_;
    CheckOut checkOut_;
    ViewCopy view_;
    Fetch fetch_;
    CheckIn checkIn_;
    VoidCheckOut voidCheckOut_;
    PasswordChange password_;
    Messaging messaging_;
    LoginNotice notice_;
    std::vector<TagAction> tags_;
};

}  // namespace zelt::client
