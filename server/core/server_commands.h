#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"
#include "server/core/account_dialogs.h"

namespace zelt::server {

class Server;

// The OK checks of Shut Down Schedule and Change Communication Port.
std::optional<std::string> checkShutdownForm(const ShutdownForm& form);
std::optional<std::string> checkPortForm(const PortForm& form);
// The lines of a multi-line text field, split at CR LF or a lone LF.
std::vector<std::string> splitEditLines(std::string_view text);

// The server's commands as the main window offers them (Server, Status, Message and Help
// menus, the close box) and its table of console function tags.
class ServerCommands {
public:
    explicit ServerCommands(Server& server);
    ServerCommands(const ServerCommands&) = delete;
    ServerCommands& operator=(const ServerCommands&) = delete;

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
    // New messages go out through the listening server only.
    bool messageNewEnabled() const;
    void newMessage();
    void legends();
    void manual();
    void contact();

    // The close box: true when the window may close. While the server still listens it stays
    // open and the shut-down guidance is printed instead.
    bool requestClose();

    // --- Actions behind console lines ------------------------------------------------------
    void scheduleShutdown();
    void changePort();
    void reply(std::string_view lineText);

    // Runs the function of a console line through the tag table; whether an action ran.
    bool executeLine(int index);
    // Adds or replaces the action of a tag (the tag text is kept by the table).
    void setTagAction(std::string_view tag, std::function<void(const std::string&)> run);
    const std::vector<TagAction>& tagTable() const { return tags_; }

private:
    void buildTagTable();

    Server& server_;
    std::deque<std::string> tagNames_;  // owns the texts the table's entries view
    std::vector<TagAction> tags_;
};

}  // namespace zelt::server
