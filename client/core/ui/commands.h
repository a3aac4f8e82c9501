#pragma once

#include <span>
#include <string_view>

#include "client/core/session/connection_state.h"

// The client's commands as its menus, accelerators, toolbar and status bar show them, and when
// each may be chosen. The windows build their menus and toolbar from these tables, so a command
// has its id, texts and rule in one place.
namespace zelt::client {

enum class ClientCommand {
    Connect,
    Disconnect,
    AccountProperties,
    Close,
    Status,
    YourGroups,
    WorkingFiles,
    WorkingFolder,
    BackupFolder,
    MessageNew,
    Legends,
    Manual,
    Execute,
};

// When a command can be chosen, by the connection state.
enum class Enabling { Always, NotConnected, ConnectingOrConnected, Connected };

struct CommandInfo {
    ClientCommand command;
    int id;
    // The menu bar's menu and, for the two folders, its sub-menu; the console's context menu
    // (Execute) has no menu of the bar.
    std::string_view menu;
    std::string_view submenu;
    std::string_view item;         // as shown, with its '&'
    std::string_view accelerator;  // "Ctrl+S", "F5", or empty
    // Shown in the status bar while the item or its button is highlighted, and as the button's
    // tooltip.
    std::string_view prompt;
    // A separator comes before the item (before its sub-menu, for a sub-menu's first item).
    bool separatorBefore;
    Enabling enabling;
};

// Every command, in the order of the menu bar; Execute last.
std::span<const CommandInfo> commandTable();
const CommandInfo& commandInfo(ClientCommand command);
bool commandEnabled(ClientCommand command, ConnectionState state);

// The menu bar's menus, left to right.
inline constexpr std::string_view kMenus[] = {"&Session", "&Work", "&Message", "&Help"};

// The toolbar, left to right: buttons with their captions, and gaps.
struct ToolbarItem {
    bool gap;
    ClientCommand command;
    std::string_view caption;
};
std::span<const ToolbarItem> toolbar();

}  // namespace zelt::client
