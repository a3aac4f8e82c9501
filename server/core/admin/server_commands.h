#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/console/console.h"
#include "server/core/admin/account_admin.h"
#include "server/core/admin/group_admin.h"
#include "server/core/admin/settings_admin.h"
#include "server/core/relay/login_notice.h"
#include "server/core/relay/shutdown_schedule.h"
#include "server/core/session/communication.h"
#include "server/core/store/store.h"
#include "server/core/ui/admin_ui.h"
#include "server/core/ui/commands.h"

namespace zelt::server {

// The server's commands as the main window offers them (Server, Status, Message and Help
// menus, the console's Execute, the close box) and its table of console function tags. Each
// command hands its work to the unit that owns it.
class ServerCommands {
public:
    struct Units {
        AccountAdmin& accounts;
        GroupAdmin& groups;
        SettingsAdmin& settings;
        ShutdownSchedule& shutdown;
        LoginNotice& notice;
        Communication& communication;
    };

    ServerCommands(Console& console, AdminUi& ui, Store& store, const Units& units);
    ServerCommands(const ServerCommands&) = delete;
    ServerCommands& operator=(const ServerCommands&) = delete;

    // Runs a command of the command table when it is enabled; whether it ran.
    bool run(CommandId id);
    bool enabled(CommandId id) const;
    ServerState state() const;

    // --- Server menu ---------------------------------------------------------------------
    // The ready line again (with the configured port) and the port-change line.
    void communicationProperties();
    void noticeProperties();
    void backupProperties();
    // The shut-down guidance.
    void shutDown();

    // --- Status menu: every block but Session clears a long console first -------------------
    void groupStatus();
    void accountStatus();
    void sessionStatus();
    void allStatus();

    // --- Message and Help menus ------------------------------------------------------------
    // New messages go out through the listening server only; once communication is closed,
    // New Message and REPLYMSG say so instead of opening a window.
    bool messageNewEnabled() const { return enabled(CommandId::NewMessage); }
    void newMessage();
    void legends();
    void manual();
    void contact();
    // The mail address the Contact display offers; "" for the built-in one.
    void setContactAddress(std::string address) { contactAddress_ = std::move(address); }

    // The close box: true when the window may close. While the server still listens it stays
    // open and the shut-down guidance is printed instead.
    bool requestClose();

    // Runs the function of a console line through the tag table; whether an action ran.
    bool executeLine(int index);
    // Adds or replaces the action of a tag (the tag text is kept by the table).
    void setTagAction(std::string_view tag, std::function<void(const std::string&)> run);
    const std::vector<TagAction>& tagTable() const { return tags_; }

private:
    void buildTagTable();
    void reply(std::string_view lineText);
    void openSendMessage(const std::string& preset);

    Console& console_;
    AdminUi& ui_;
    Store& store_;
    Units units_;
    std::deque<std::string> tagNames_;  // owns the texts the table's entries view
    std::vector<TagAction> tags_;
    std::string contactAddress_;
};

}  // namespace zelt::server
