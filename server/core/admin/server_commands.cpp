#include "server/core/admin/server_commands.h"

#include "common/ui/shared_windows.h"
#include "server/core/admin/status_displays.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

ServerCommands::ServerCommands(Console& console, AdminUi& ui, Store& store, const Units& units)
    : console_(console), ui_(ui), store_(store), units_(units) {
    buildTagTable();
}

void ServerCommands::buildTagTable() {
    // Actions on the tables wait until the start-up has loaded them.
    const auto onTables = [this](std::function<void(const std::string&)> run) {
        return [this, run = std::move(run)](const std::string& line) {
            if (store_.loaded()) run(line);
        };
    };
    const Units& u = units_;
    setTagAction(tag::CloseServer, [this](const std::string&) { ui_.closeMainWindow(); });
    setTagAction(tag::OpenWeb, [this](const std::string& line) { ui_.openAddress(line); });
    setTagAction(tag::OpenMail, [this](const std::string& line) {
        ui_.openAddress(ui::mailtoAddress(line, text::VersionText));
    });
    setTagAction(tag::ShutDownNow, [u](const std::string&) { u.shutdown.shutDownNow(); });
    setTagAction(tag::CancelShutdown, [u](const std::string&) { u.shutdown.cancel(); });
    setTagAction(tag::ScheduleShutdown, [u](const std::string&) { u.shutdown.askAndSchedule(); });
    setTagAction(tag::CreateAccount, [u](const std::string&) { u.accounts.createAccount(); });
    setTagAction(tag::ListAccounts, [u](const std::string&) { u.accounts.listAccounts(); });
    setTagAction(tag::EditAccount, [u](const std::string& line) { u.accounts.editAccount(line); });
    setTagAction(tag::SearchAccounts, [u](const std::string&) { u.accounts.searchAccounts(); });
    setTagAction(tag::ListLoggedIn, onTables([this](const std::string&) {
                     listLoggedInUsers(console_, store_.accounts());
                 }));
    setTagAction(tag::ListCheckedOut, onTables([this](const std::string&) {
                     listCheckedOutFiles(console_, store_.groups());
                 }));
    setTagAction(tag::ChangePort, [u](const std::string&) { u.settings.askAndChangePort(); });
    setTagAction(tag::CreateGroup, onTables([u](const std::string&) { u.groups.createGroup(); }));
    setTagAction(tag::ListGroups, onTables([u](const std::string&) { u.groups.listGroups(); }));
    setTagAction(tag::EditGroup,
                 onTables([u](const std::string& line) { u.groups.editGroup(line); }));
    setTagAction(tag::FileProperties,
                 onTables([u](const std::string& line) { u.groups.openFileProperties(line); }));
    setTagAction(tag::ReplyMessage, [this](const std::string& line) { reply(line); });
}

void ServerCommands::setTagAction(std::string_view tag,
                                  std::function<void(const std::string&)> run) {
    for (TagAction& action : tags_) {
        if (action.tag == tag) {
            action.run = std::move(run);
            return;
        }
    }
    tagNames_.emplace_back(tag);
    tags_.push_back({tagNames_.back(), std::move(run)});
}

bool ServerCommands::executeLine(int index) {
    // The table is copied: an action may change it (or clear the console) while it runs.
    const std::vector<TagAction> table = tags_;
    return console_.execute(index, table);
}

ServerState ServerCommands::state() const {
    return ServerState{store_.loaded(), units_.communication.listening()};
}

bool ServerCommands::enabled(CommandId id) const {
    return commandEnabled(id, state());
}

bool ServerCommands::run(CommandId id) {
    if (!enabled(id)) return false;
    switch (id) {
        case CommandId::CommunicationProperties:
            communicationProperties();
            return true;
        case CommandId::NoticeProperties:
            noticeProperties();
            return true;
        case CommandId::BackupProperties:
            backupProperties();
            return true;
        case CommandId::ShutDown:
            shutDown();
            return true;
        case CommandId::GroupStatus:
            groupStatus();
            return true;
        case CommandId::AccountStatus:
            accountStatus();
            return true;
        case CommandId::SessionStatus:
            sessionStatus();
            return true;
        case CommandId::AllStatus:
            allStatus();
            return true;
        case CommandId::NewMessage:
            newMessage();
            return true;
        case CommandId::Legends:
            legends();
            return true;
        case CommandId::Manual:
            manual();
            return true;
        case CommandId::Contact:
            contact();
            return true;
        case CommandId::Execute: {
            const std::vector<TagAction> table = tags_;
            return console_.executeSelected(table);
        }
    }
    return false;
}

// --- Server menu -------------------------------------------------------------------------

void ServerCommands::communicationProperties() {
    units_.settings.communicationProperties();
}

void ServerCommands::noticeProperties() {
    units_.notice.editProperties();
}

void ServerCommands::backupProperties() {
    units_.settings.backupProperties();
}

void ServerCommands::shutDown() {
    units_.shutdown.showGuidance();
}

// --- Status, Message and Help menus ------------------------------------------------------

void ServerCommands::groupStatus() {
    if (!store_.loaded()) return;
    console_.clearWhenLong();
    showGroupInformation(console_, store_.groups());
}

void ServerCommands::accountStatus() {
    if (!store_.loaded()) return;
    console_.clearWhenLong();
    showAccountInformation(console_, store_.accounts());
}

void ServerCommands::sessionStatus() {
    if (!store_.loaded()) return;
    showSessionInformation(console_, store_.accounts(), store_.groups());
}

void ServerCommands::allStatus() {
    if (!store_.loaded()) return;
    console_.clearWhenLong();
    showGroupInformation(console_, store_.groups());
    showAccountInformation(console_, store_.accounts());
    showSessionInformation(console_, store_.accounts(), store_.groups());
}

void ServerCommands::newMessage() {
    openSendMessage("");
}

void ServerCommands::reply(std::string_view lineText) {
    openSendMessage(ui::replyName(lineText));
}

void ServerCommands::openSendMessage(const std::string& preset) {
    // A message written now could reach nobody.
    if (!messageNewEnabled()) {
        console_.important(text::CommunicationIsClosed);
        return;
    }
    ui_.openSendMessage(preset);
}

void ServerCommands::legends() {
    ui_.showLegends();
}

void ServerCommands::manual() {
    console_.clearWhenLong();
    showOnlineManual(console_);
}

void ServerCommands::contact() {
    console_.clearWhenLong();
    showContactInformation(console_, contactAddress_);
}

bool ServerCommands::requestClose() {
    if (!units_.communication.listening() || !store_.loaded()) return true;
    units_.shutdown.showGuidance();
    return false;
}

}  // namespace zelt::server
