#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/console/console.h"
#include "common/platform/directory_lock.h"
#include "common/platform/files.h"
#include "common/platform/reactor.h"
#include "server/core/admin/account_admin.h"
#include "server/core/admin/admin_requests.h"
#include "server/core/admin/admin_socket.h"
#include "server/core/admin/group_admin.h"
#include "server/core/admin/server_commands.h"
#include "server/core/admin/settings_admin.h"
#include "server/core/relay/login_notice.h"
#include "server/core/relay/message_relay.h"
#include "server/core/relay/shutdown_schedule.h"
#include "server/core/repository/repository.h"
#include "server/core/session/admission.h"
#include "server/core/session/communication.h"
#include "server/core/session/request_router.h"
#include "server/core/session/session_requests.h"
#include "server/core/session/sessions.h"
#include "server/core/session/slot_table.h"
#include "server/core/store/settings_files.h"
#include "server/core/store/store.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

struct ServerOptions {
    std::string dataDir = ".";
    // Listen on this port instead of the one in Comm.zelt (tests ask for 0: any free port).
    std::optional<std::uint16_t> listenPort;
    // Fewer connection slots than the product's, so tests can fill the table.
    std::size_t connectionCapacity = MaxConnections;
    // Writes the bytes of the table files; empty, the disk's write(2). The fuzzer's writes
    // nothing, since 8 MB per check-out would be nearly all it did.
    files::WriteFn tableWriter{};
    // Check-out marks made durable through the group journal; off, every change of them is a
    // whole save of Groups.zelt, as before the journal (kept to measure one against the other).
    bool markJournal = true;
    // The bound on uncommitted uploads and the disk's reserve (tests make them small).
    TempFiles::Limits tempLimits{};
    // Large copies (download copies, a commit's versions and replacement) made on the loop's
    // thread, holding everyone up meanwhile, as before they had a thread of their own (kept to
    // measure one against the other; the fuzzer wants each input played out at once).
    bool copiesOnLoopThread = false;
    // Whether the log-in answer tells clients of ours that they may keep requests in flight.
    // Off, every client waits for each answer (benchmarks compare the two).
    bool offerPipelining = true;
};

// How a start-up ended.
enum class StartResult {
    // The tables are read; the server listens unless a socket step failed (its line says so).
    Loaded,
    // A table could not be allocated (its line says so); the server runs with nothing loaded.
    NotLoaded,
    // The data directory is another server's or cannot be locked: nothing on disk was touched,
    // the front end was told why, and the program must end.
    Refused,
};

// The server put together: it owns the data directory's lock, the settings, the tables and the
// connection slots, makes the units that work on them, and runs the start-up and the exit. It
// runs on a reactor and reports on a console; it has no window of its own.
class Server {
public:
    static constexpr int StartTimer = 1;
    static constexpr Millis StartDelay = 500;
    static constexpr Millis IdlePeriod = Sessions::IdlePeriod;
    static constexpr Millis CountdownPeriod = ShutdownSchedule::CountdownPeriod;

    Server(Reactor& reactor, Console& console, AdminUi& ui, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Starts the start-up timer (500 ms) and the idle check (every 60 s).
    void launch();
    // The start-up: the data directory locked, then folders, tables, settings, status displays,
    // listening and the ready line.
    StartResult start();
    // The exit: both tables written, every socket closed, Temp emptied. A server refused at
    // start-up touches nothing.
    void exit();

    bool loaded() const { return store_.loaded(); }
    bool listening() const { return communication_.listening(); }
    // The port actually listened on (differs from port() when a test asked for any port).
    std::uint16_t listeningPort() const { return slots_.boundPort(); }
    // The configured port, as Comm.zelt holds it.
    int port() const { return settings_.port; }
    std::int32_t retentionCount() const { return settings_.retentionCount; }
    bool firstStart() const { return firstStart_; }
    const ServerPaths& paths() const { return paths_; }
    const std::string& hostAddress() const { return hostAddress_; }

    AccountTable& accounts() { return store_.accounts(); }
    GroupTable& groups() { return store_.groups(); }
    bool saveAccounts() { return store_.saveAccounts(); }
    bool saveGroups() { return store_.saveGroups(); }
    const Store& store() const { return store_; }

    SlotTable& slots() { return slots_; }
    Sessions& sessions() { return sessions_; }
    LoginNotice& notice() { return notice_; }
    MessageRelay& messages() { return messages_; }
    ShutdownSchedule& shutdown() { return shutdown_; }
    Repository& repository() { return repository_; }
    AccountAdmin& accountAdmin() { return accountAdmin_; }
    GroupAdmin& groupAdmin() { return groupAdmin_; }
    SettingsAdmin& settingsAdmin() { return settingsAdmin_; }
    // The menu commands and the console's tag table.
    ServerCommands& commands() { return commands_; }
    // What `zelt-server admin` asks, and the socket it asks on.
    AdminRequests& adminRequests() { return adminRequests_; }
    const AdminSocket& adminSocket() const { return adminSocket_; }

    // Handles one packet as if it had arrived on a connection.
    void onPacket(ConnectionId id, std::span<const std::uint8_t> packet) {
        router_.onPacket(id, packet);
    }

private:
    // Takes the data directory (making it when it is new); the reason of a refusal, or nothing.
    std::optional<std::string> lockDataDirectory();
    void stopTimers();
    // Empties Temp of everything, following no link; what it removed.
    files::Removed clearTemp();

    Reactor& reactor_;
    Console& console_;
    AdminUi& ui_;
    ServerOptions options_;
    ServerPaths paths_;
    DirectoryLock lock_;
    ServerSettings settings_;
    std::string hostAddress_;
    bool firstStart_ = false;

    Store store_;
    SlotTable slots_;
    Sessions sessions_;
    Admission admission_;
    Communication communication_;
    SessionRequests sessionRequests_;
    LoginNotice notice_;
    MessageRelay messages_;
    ShutdownSchedule shutdown_;
    Repository repository_;
    AccountAdmin accountAdmin_;
    GroupAdmin groupAdmin_;
    SettingsAdmin settingsAdmin_;
    ServerCommands commands_;
    RequestRouter router_;
    AdminRequests adminRequests_;
    AdminSocket adminSocket_;
};

}  // namespace zelt::server
