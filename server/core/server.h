#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"
#include "common/platform/reactor.h"
#include "common/protocol/opcodes.h"
#include "server/core/admin_ui.h"
#include "server/core/settings_files.h"
#include "server/core/slots.h"
#include "server/core/store.h"

namespace zelt::server {

class AccountAdmin;
class GroupAdmin;
class Repository;
class ServerCommands;

struct ServerOptions {
    std::string dataDir = ".";
    // Listen on this port instead of the one in Comm.zelt (tests ask for 0: any free port).
    std::optional<std::uint16_t> listenPort;
    // Fewer connection slots than the product's, so tests can fill the table.
    std::size_t connectionCapacity = MaxConnections;
};

// The server: its tables, settings, connections and everything that happens to them. It runs on
// a reactor and reports on a console; it has no window of its own.
class Server {
public:
    // The program's timer ids.
    static constexpr int StartTimer = 1;
    static constexpr int CountdownTimer = 2;
    static constexpr int IdleTimer = 7;
    static constexpr Millis StartDelay = 500;
    static constexpr Millis IdlePeriod = 60000;
    static constexpr Millis CountdownPeriod = 60000;

    Server(Reactor& reactor, Console& console, AdminUi& ui, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Starts the start-up timer (500 ms) and the idle check (every 60 s).
    void launch();
    // The start-up: folders, tables, settings, status displays, listening, the ready line.
    // Returns whether the tables were loaded.
    bool start();
    // The exit: both tables written, every socket closed, Temp emptied.
    void exit();

    bool loaded() const { return accounts_ != nullptr && groups_ != nullptr; }
    bool listening() const { return slots_.listening(); }
    // The port actually listened on (differs from port() when a test asked for any port).
    std::uint16_t listeningPort() const { return slots_.boundPort(); }
    // The configured port, as Comm.zelt holds it.
    int port() const { return port_; }
    bool firstStart() const { return firstStart_; }
    const ServerPaths& paths() const { return paths_; }

    Reactor& reactor() { return reactor_; }
    Console& console() { return console_; }
    AdminUi& ui() { return ui_; }
    AccountTable& accounts() { return *accounts_; }
    GroupTable& groups() { return *groups_; }
    const AccountTable& accounts() const { return *accounts_; }
    const GroupTable& groups() const { return *groups_; }
    SlotTable& slots() { return slots_; }
    std::int32_t retentionCount() const { return retentionCount_; }
    void setRetentionCount(std::int32_t count) { retentionCount_ = count; }
    const NoticeSetting& notice() const { return notice_; }
    Repository& repository() { return *repository_; }
    GroupAdmin& groupAdmin() { return *groupAdmin_; }
    AccountAdmin& accountAdmin() { return *accountAdmin_; }
    // The menu commands and the console's tag table.
    ServerCommands& commands() { return *commands_; }

    // Whole-table saves; a failure is reported as an error line and returned.
    bool saveAccounts();
    bool saveGroups();

    // --- Connections ---------------------------------------------------------------------
    // Handles one packet received on a slot.
    void onPacket(int slot, std::span<const std::uint8_t> packet);
    // The account logged in on a slot, or -1.
    int accountOf(int slot) const;
    std::string userNameOf(int slot) const;
    // Closes every connection bound to an account; with a line per connection when asked.
    void disconnectAccount(int account, bool withLine);
    // The first open slot whose logged-in account has this user name, letter case ignored.
    int findSlotByUserName(std::string_view userName) const;
    // Sends a PushBroadcast of text (cut to 80 characters) to every logged-in connection.
    void broadcast(std::string_view text);
    // Closes the listening socket and every connection; with the two closing lines unless silent.
    void closeCommunication(bool withLines = true);
    // The 60-second idle check.
    void idleCheck();

    // --- Shut-down and port ----------------------------------------------------------------
    void showShutdownGuidance();
    void scheduleShutdown(int minutes);
    void cancelShutdown();
    void shutDownNow() { closeCommunication(); }
    bool shutdownScheduled() const { return shutdownScheduled_; }
    int minutesLeft() const { return minutesLeft_; }
    // Takes a new port for the next start; writes Comm.zelt when it changed.
    void changePort(int newPort);
    // The dialogs' input checks: the number, or nothing when the entry is refused.
    static std::optional<int> parseMinutes(std::string_view text);
    static std::optional<int> parsePort(std::string_view text);
    static constexpr std::string_view InvalidMinutes = "Please enter the valid minute value.";
    static constexpr std::string_view InvalidPort = "Please enter the valid port number.";

    // --- Displays --------------------------------------------------------------------------
    // The separator and "Server is ready at ..." line, with this host's address and the port.
    void showServerReady();
    std::string hostAddress() const { return hostAddress_; }

    // --- Notice ----------------------------------------------------------------------------
    // Stores the notice as the Notice Properties window leaves it and writes Notice.zelt.
    // With send off the stored text is kept as it was. False (with an error line) when
    // Notice.zelt could not be written.
    bool setNotice(bool send, const std::vector<std::string>& editedLines);
    // The stored text as the window shows it: line feeds as CR LF, at most 1024 characters.
    std::string noticeForEditing() const;

    // --- Messages --------------------------------------------------------------------------
    // The administrator's Send Message window: relayed with the sender "admin".
    void sendAdminMessage(std::string_view recipients, std::string_view text, bool important);
    // A message shown on this console: a REPLYMSG line, and an alert when important.
    void showReceivedMessage(std::string_view sender, std::string_view text,
                             std::int32_t important);

private:
    void onIdleTimer();
    void onCountdown();
    void releaseSlot(int slot);

    void handleLogIn(int slot, std::span<const std::uint8_t> packet);
    void handleChangePassword(int slot, std::span<const std::uint8_t> packet);
    void handleGroupList(int slot);
    void handleFileList(int slot, std::span<const std::uint8_t> packet);
    void handleKeepAlive(int slot);
    void handleNotice(int slot);
    void handleSendMessage(int slot, std::span<const std::uint8_t> packet);

    int relay(std::string_view sender, int senderSlot, std::string recipients,
              std::string_view text, std::int32_t important);
    int deliver(std::string_view token, std::string_view sender, std::string_view text,
                std::int32_t important);
    int deliverToUser(std::string_view recipient, std::string_view sender,
                      std::string_view text, std::int32_t important);

    Reactor& reactor_;
    Console& console_;
    AdminUi& ui_;
    ServerOptions options_;
    ServerPaths paths_;
    std::unique_ptr<AccountTable> accounts_;
    std::unique_ptr<GroupTable> groups_;
    SlotTable slots_;
    std::unique_ptr<Repository> repository_;
    std::unique_ptr<GroupAdmin> groupAdmin_;
    std::unique_ptr<AccountAdmin> accountAdmin_;
    std::unique_ptr<ServerCommands> commands_;
    bool firstStart_ = false;
    int port_ = DefaultPort;
    std::int32_t retentionCount_ = DefaultRetentionCount;
    NoticeSetting notice_;
    std::string hostAddress_;
    bool shutdownScheduled_ = false;
    int minutesLeft_ = 0;
};

}  // namespace zelt::server
