#pragma once

#include <QPointer>

#include <string>
#include <vector>

#include "server/core/ui/admin_ui.h"

class QSystemTrayIcon;
class QWidget;

namespace zelt::gui {
class Alert;
}

namespace zelt::server {

class FilePropertiesDialog;
class MainWindow;
class Server;

// The front end with windows: each dialog the core asks for is one of the server's dialogs,
// opened over the window at work, and the main window follows the core's state.
class WindowUi final : public AdminUi {
public:
    WindowUi();
    ~WindowUi() override;
    WindowUi(const WindowUi&) = delete;
    WindowUi& operator=(const WindowUi&) = delete;

    // The window and the server this front end speaks for, once both exist.
    void attach(MainWindow& window, Server& server);
    // Closes every File Properties window, freeing its model; before the server goes.
    void closeWindows();
    // The File Properties windows open now.
    std::vector<FilePropertiesDialog*> fileWindows() const;
    // The start-up was refused: the program ends with a failure.
    bool refused() const { return refused_; }

    // --- Account and Server menu dialogs ---------------------------------------------------
    bool editAccount(AccountForm& form, const ui::FormCheck<AccountForm>& check) override;
    bool searchAccount(std::string& keywords) override;
    std::optional<std::vector<std::string>> chooseUsers(UserListSource& source) override;
    bool scheduleShutdown(ShutdownForm& form, const ui::FormCheck<ShutdownForm>& check) override;
    bool changePort(PortForm& form, const ui::FormCheck<PortForm>& check) override;
    bool editBackup(BackupForm& form) override;
    bool editNotice(NoticeForm& form) override;

    // --- Group windows ---------------------------------------------------------------------
    bool runGroupProperties(GroupPropertiesModel& model,
                            const ui::FormCheck<GroupForm>& check) override;
    std::optional<FilePick> pickMemberFiles(const std::string& startFolder) override;
    void showFileProperties(FilePropertiesModel& model) override;
    void showInformation(const std::string& text) override;

    // --- The rest --------------------------------------------------------------------------
    void showLegends() override;
    void alert() override;
    void notifyAdministrator(const std::string& text) override;
    void closeMainWindow() override;
    void openSendMessage(const std::string& preset) override;
    void openAddress(const std::string& address) override;
    void showMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    void listeningChanged(bool listening) override;
    void startRefused(const std::string& reason) override;

private:
    QWidget* dialogOwner() const;
    void bringWindowForward();

    QPointer<MainWindow> window_;
    Server* server_ = nullptr;
    std::vector<QPointer<FilePropertiesDialog>> fileWindows_;
    QPointer<gui::Alert> alert_;
    QPointer<QSystemTrayIcon> tray_;
    bool refused_ = false;
};

}  // namespace zelt::server
