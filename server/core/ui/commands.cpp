#include "server/core/ui/commands.h"

#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {

using namespace text;

constexpr CommandInfo kCommands[] = {
    {CommandId::CommunicationProperties, ServerMenu, CommunicationPropertiesItem, "",
     CommunicationPropertiesPrompt, false},
    {CommandId::NoticeProperties, ServerMenu, NoticePropertiesItem, "", NoticePropertiesPrompt,
     false},
    {CommandId::BackupProperties, ServerMenu, BackupPropertiesItem, "", BackupPropertiesPrompt,
     false},
    {CommandId::ShutDown, ServerMenu, ShutDownItem, "", ShutDownPrompt, true},
    {CommandId::GroupStatus, StatusMenu, GroupStatusItem, "Ctrl+G", GroupStatusPrompt, false},
    {CommandId::AccountStatus, StatusMenu, AccountStatusItem, "Ctrl+U", AccountStatusPrompt, false},
    {CommandId::SessionStatus, StatusMenu, SessionStatusItem, "Ctrl+S", SessionStatusPrompt, false},
    {CommandId::AllStatus, StatusMenu, AllStatusItem, "Ctrl+A", AllStatusPrompt, true},
    {CommandId::NewMessage, MessageMenu, NewMessageItem, "Ctrl+M", NewMessagePrompt, false},
    {CommandId::Legends, HelpMenu, LegendsItem, "", LegendsPrompt, false},
    {CommandId::Manual, HelpMenu, ManualItem, "", ManualPrompt, false},
    {CommandId::Contact, HelpMenu, ContactItem, "", ContactPrompt, true},
    {CommandId::Execute, "", ExecuteItem, "", ExecutePrompt, false},
};

constexpr ToolbarButton kToolbar[] = {
    {false, CommandId::GroupStatus, GroupButton},
    {false, CommandId::AccountStatus, AccountButton},
    {false, CommandId::SessionStatus, SessionButton},
    {false, CommandId::NewMessage, MessageButton},
    {true, CommandId::AllStatus, ""},
    {false, CommandId::AllStatus, AllButton},
};

}  // namespace

std::span<const CommandInfo> commandTable() {
    return kCommands;
}

const CommandInfo* findCommand(CommandId id) {
    return findCommand(static_cast<int>(id));
}

const CommandInfo* findCommand(int id) {
    for (const CommandInfo& command : kCommands) {
        if (static_cast<int>(command.id) == id) return &command;
    }
    return nullptr;
}

std::span<const ToolbarButton> toolbar() {
    return kToolbar;
}

bool commandEnabled(CommandId id, const ServerState& state) {
    // A message typed now could never leave: there is nobody to send it to.
    if (id == CommandId::NewMessage) return state.listening;
    return true;
}

}  // namespace zelt::server
