#pragma once

#include <span>
#include <string_view>

// The server's commands as the main window and the admin command line offer them: the menu
// bar, the console's context menu, the toolbar, and when each command may run.
namespace zelt::server {

// The command ids of the main window.
enum class CommandId : int {
    CommunicationProperties = 32780,
    NoticeProperties = 32799,
    BackupProperties = 32801,
    ShutDown = 32791,
    GroupStatus = 32782,
    AccountStatus = 32784,
    SessionStatus = 32798,
    AllStatus = 32781,
    NewMessage = 32786,
    Legends = 32797,
    Manual = 32789,
    Contact = 32790,
    Execute = 32796,
};

struct CommandInfo {
    CommandId id;
    std::string_view menu;         // the menu-bar menu; "" for the console's context menu
    std::string_view item;         // the item text, with its mnemonic and shown accelerator
    std::string_view accelerator;  // the key that runs it, "" for none
    std::string_view prompt;       // the status-bar prompt, also the toolbar button's tooltip
    bool separatorBefore;          // a separator goes above the item in its menu
};

// Every command in menu order: the Server, Status, Message and Help menus, then Execute.
std::span<const CommandInfo> commandTable();
const CommandInfo* findCommand(CommandId id);
const CommandInfo* findCommand(int id);

// One toolbar button, or a gap between two (a gap has no command).
struct ToolbarButton {
    bool gap;
    CommandId id;
    std::string_view caption;
};
std::span<const ToolbarButton> toolbar();

// What the enabling rules look at.
struct ServerState {
    bool loaded = false;     // the start-up has read the tables
    bool listening = false;  // the listening socket is open
};

// Whether a command may run now: New Message only while the server listens, every other
// command always (those that need the tables do nothing before the start-up has read them).
bool commandEnabled(CommandId id, const ServerState& state);

}  // namespace zelt::server
