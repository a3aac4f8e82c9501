#include "client/core/ui/commands.h"

#include <algorithm>
#include <array>

#include "common/ui/shared_windows.h"

namespace zelt::client {

namespace {

using C = ClientCommand;
using E = Enabling;

constexpr std::array<CommandInfo, 13> kCommands{{
    {C::Connect, 32772, "&Session", "", "&Connect", "", "Connect to the ZELT server", false,
     E::NotConnected},
    {C::Disconnect, 32773, "&Session", "", "&Disconnect", "", "Disconnect from ZELT server", false,
     E::ConnectingOrConnected},
    {C::AccountProperties, 32774, "&Session", "", "&Account Properties", "", "Change your password",
     true, E::Connected},
    {C::Close, 32775, "&Session", "", "Cl&ose", "", "Close ZELT client", true, E::NotConnected},
    {C::Status, 32779, "&Work", "", "&Status", "Ctrl+S", "View current status", false, E::Always},
    {C::YourGroups, 32780, "&Work", "", "Your &Groups", "Ctrl+G",
     "View joined group list and included files", true, E::Connected},
    {C::WorkingFiles, 32787, "&Work", "", "&Working Files", "Ctrl+W", "View checked-out files",
     false, E::Always},
    {C::WorkingFolder, 32790, "&Work", "&Folders", "&Working (Checked-out)", "F5",
     "Open working folder", true, E::Always},
    {C::BackupFolder, 32791, "&Work", "&Folders", "&Backup (Checked-in)", "F6",
     "Open backup folder", false, E::Always},
    {C::MessageNew, 32782, "&Message", "", "&New", "Ctrl+M", "Send new message", false,
     E::Connected},
    {C::Legends, 32792, "&Help", "", "Le&gends", "", "Display legends", false, E::Always},
    {C::Manual, 32777, "&Help", "", "&Manual", "", "View ZELT manual", false, E::Always},
    {C::Execute, 32784, "", "", ui::text::ExecuteItem, "", "Execute related function", false,
     E::Always},
}};

constexpr std::array<ToolbarItem, 7> kToolbar{{
    {false, C::Connect, "Connect"},
    {false, C::Status, "Status"},
    {true, C::Connect, ""},
    {false, C::YourGroups, "Group"},
    {false, C::WorkingFiles, "Working"},
    {true, C::Connect, ""},
    {false, C::MessageNew, "Message"},
}};

}  // namespace

std::span<const CommandInfo> commandTable() {
    return kCommands;
}

const CommandInfo& commandInfo(ClientCommand command) {
    return *std::find_if(kCommands.begin(), kCommands.end(),
                         [command](const CommandInfo& c) { return c.command == command; });
}

bool commandEnabled(ClientCommand command, ConnectionState state) {
    switch (commandInfo(command).enabling) {
        case Enabling::NotConnected:
            return state == ConnectionState::NotConnected;
        case Enabling::ConnectingOrConnected:
            return state != ConnectionState::NotConnected;
        case Enabling::Connected:
            return state == ConnectionState::Connected;
        case Enabling::Always:
            break;
    }
    return true;
}

std::span<const ToolbarItem> toolbar() {
    return kToolbar;
}

}  // namespace zelt::client
