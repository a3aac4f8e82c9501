#pragma once

#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// A front end with nobody in front of it: every dialog is cancelled, nothing is shown. The
// headless program builds on it; the fuzzer and the benchmarks use it as it is.
class NullAdminUi : public AdminUi {
public:
    bool editAccount(AccountForm&, const ui::FormCheck<AccountForm>&) override { return false; }
    bool searchAccount(std::string&) override { return false; }
    std::optional<std::vector<std::string>> chooseUsers(UserListSource&) override {
        return std::nullopt;
    }
    bool scheduleShutdown(ShutdownForm&, const ui::FormCheck<ShutdownForm>&) override {
        return false;
    }
    bool changePort(PortForm&, const ui::FormCheck<PortForm>&) override { return false; }
    bool editBackup(BackupForm&) override { return false; }
    bool editNotice(NoticeForm&) override { return false; }

    bool runGroupProperties(GroupPropertiesModel&, const ui::FormCheck<GroupForm>&) override {
        return false;
    }
    std::optional<FilePick> pickMemberFiles(const std::string&) override { return std::nullopt; }
    void showFileProperties(FilePropertiesModel&) override {}
    void showInformation(const std::string&) override {}

    void showLegends() override {}
    void alert() override {}
    void notifyAdministrator(const std::string&) override {}
    void closeMainWindow() override {}
    void openSendMessage(const std::string&) override {}
    void openAddress(const std::string&) override {}
    void showMessage(const std::string&) override {}
    bool askYesNo(const std::string&) override { return false; }
    void listeningChanged(bool) override {}
    void startRefused(const std::string&) override {}
};

}  // namespace zelt::server
