#include "server/core/server_commands.h"

#include <string>

#include "server/core/account_admin.h"
#include "server/core/displays.h"
#include "server/core/group_admin.h"
#include "server/core/names.h"
#include "server/core/repository.h"
#include "server/core/server.h"
#include "common/ui/shared_windows.h"

namespace zelt::server {

std::optional<std::string> checkShutdownForm(const ShutdownForm& form) {
    if (Server::parseMinutes(form.minutes)) return std::nullopt;
    return std::string(Server::InvalidMinutes);
}

std::optional<std::string> checkPortForm(const PortForm& form) {
    if (Server::parsePort(form.port)) return std::nullopt;
    return std::string(Server::InvalidPort);
}

std::vector<std::string> splitEditLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n') {
            lines.push_back(std::move(line));
            line.clear();
        } else {
            line.push_back(text[i]);
        }
    }
    lines.push_back(std::move(line));
    return lines;
}

ServerCommands::ServerCommands(Server& server) : server_(server) {
    buildTagTable();
}

void ServerCommands::buildTagTable() {
    Server& s = server_;
    // Actions on the tables wait until the start-up has loaded them.
    const auto onTables = [&s](std::function<void(const std::string&)> run) {
        return [&s, run = std::move(run)](const std::string& text) {
            if (s.loaded()) run(text);
        };
    };
    setTagAction("CLOSESRV", [&s](const std::string&) { s.ui().closeMainWindow(); });
    setTagAction("OPENWEB", [&s](const std::string& text) { s.ui().openAddress(text); });
    setTagAction("OPENMAIL",
                 [&s](const std::string& text) { s.ui().openAddress(ui::mailtoAddress(text, VersionText)); });
    setTagAction("SHUTDOWN", [&s](const std::string&) { s.shutDownNow(); });
    setTagAction("CNCLSHTDN", [&s](const std::string&) { s.cancelShutdown(); });
    setTagAction("SCHESHTDN", [this](const std::string&) { scheduleShutdown(); });
    setTagAction("CRTACT", [&s](const std::string&) { s.accountAdmin().createAccount(); });
    setTagAction("DSPACT", [&s](const std::string&) { s.accountAdmin().listAccounts(); });
    setTagAction("EDTACT", [&s](const std::string& text) { s.accountAdmin().editAccount(text); });
    setTagAction("SRCHAC", [&s](const std::string&) { s.accountAdmin().searchAccounts(); });
    setTagAction("DSPLOGIN", onTables([&s](const std::string&) {
                     listLoggedInUsers(s.console(), s.accounts());
                 }));
    setTagAction("DSPCHKOUT", onTables([&s](const std::string&) {
                     listCheckedOutFiles(s.console(), s.groups());
                 }));
    setTagAction("CHGPORT", [this](const std::string&) { changePort(); });
    setTagAction("CRTGRP", onTables([&s](const std::string&) { s.groupAdmin().createGroup(); }));
    setTagAction("DSPGRP", onTables([&s](const std::string&) { s.groupAdmin().listGroups(); }));
    setTagAction("EDTGRP",
                 onTables([&s](const std::string& text) { s.groupAdmin().editGroup(text); }));
    setTagAction("FILEPROP", onTables([&s](const std::string& text) {
                     s.groupAdmin().openFileProperties(text);
                 }));
    setTagAction("REPLYMSG", [this](const std::string& text) { reply(text); });
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
    return server_.console().execute(index, table);
}

// --- Server menu -------------------------------------------------------------------------

void ServerCommands::communicationProperties() {
    server_.showServerReady();
    server_.console().function("Change communication port.", "CHGPORT");
}

void ServerCommands::noticeProperties() {
    NoticeForm form;
    form.send = server_.notice().sending();
    form.text = server_.noticeForEditing();
    if (!server_.ui().editNotice(form)) return;
    if (server_.setNotice(form.send, splitEditLines(form.text))) {
        server_.console().plain("Notice properties changed.");
    }
}

void ServerCommands::backupProperties() {
    BackupForm form;
    for (const int choice : RetentionChoices) form.choices.push_back(std::to_string(choice));
    form.selected = server_.repository().retentionChoiceIndex();
    if (!server_.ui().editBackup(form)) return;
    // The repository reports the outcome: "Backup properties changed." or the save failure.
    server_.repository().setRetentionFromChoice(form.selected);
}

void ServerCommands::shutDown() {
    if (server_.loaded()) server_.showShutdownGuidance();
}

void ServerCommands::scheduleShutdown() {
    ShutdownForm form;
    if (!server_.ui().scheduleShutdown(form, checkShutdownForm)) return;
    const auto minutes = Server::parseMinutes(form.minutes);
    if (!minutes) {
        server_.ui().showMessage(std::string(Server::InvalidMinutes));
        return;
    }
    server_.scheduleShutdown(*minutes);
}

void ServerCommands::changePort() {
    PortForm form;
    form.port = std::to_string(server_.port());
    if (!server_.ui().changePort(form, checkPortForm)) return;
    const auto port = Server::parsePort(form.port);
    if (!port) {
        server_.ui().showMessage(std::string(Server::InvalidPort));
        return;
    }
    server_.changePort(*port);
}

// --- Status, Message and Help menus ------------------------------------------------------

void ServerCommands::groupStatus() {
    if (!server_.loaded()) return;
    server_.console().clearWhenLong();
    showGroupInformation(server_.console(), server_.groups());
}

void ServerCommands::accountStatus() {
    if (!server_.loaded()) return;
    server_.console().clearWhenLong();
    showAccountInformation(server_.console(), server_.accounts());
}

void ServerCommands::sessionStatus() {
    if (!server_.loaded()) return;
    showSessionInformation(server_.console(), server_.accounts(), server_.groups());
}

void ServerCommands::allStatus() {
    if (!server_.loaded()) return;
    server_.console().clearWhenLong();
    showGroupInformation(server_.console(), server_.groups());
    showAccountInformation(server_.console(), server_.accounts());
    showSessionInformation(server_.console(), server_.accounts(), server_.groups());
}

bool ServerCommands::messageNewEnabled() const {
    return server_.listening();
}

void ServerCommands::newMessage() {
    if (messageNewEnabled()) server_.ui().openSendMessage("");
}

void ServerCommands::reply(std::string_view lineText) {
    server_.ui().openSendMessage(ui::replyName(lineText));
}

void ServerCommands::legends() {
    server_.ui().showLegends();
}

void ServerCommands::manual() {
    server_.console().clearWhenLong();
    showOnlineManual(server_.console());
}

void ServerCommands::contact() {
    server_.console().clearWhenLong();
    showContactInformation(server_.console());
}

bool ServerCommands::requestClose() {
    if (!server_.listening() || !server_.loaded()) return true;
    server_.showShutdownGuidance();
    return false;
}

}  // namespace zelt::server
