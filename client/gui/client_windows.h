#pragma once

#include <QPointer>

#include "client/core/ui/client_ui.h"

class QWidget;

namespace zelt::gui {
class Alert;
}

namespace zelt::client {

class AvailableFilesDialog;
class ClientCore;
class DesktopNotifier;
class FilePropertiesDialog;
class FileTransferDialog;
class MainWindow;
class WorkingFilesDialog;

// The client's windows as the core sees them: the modal dialogs it runs, the message boxes,
// the shared windows it opens, and the four tool windows it keeps, each drawn from its model.
class ClientWindows final : public ClientUi {
public:
    explicit ClientWindows(MainWindow& main);
    ~ClientWindows() override;
    ClientWindows(const ClientWindows&) = delete;
    ClientWindows& operator=(const ClientWindows&) = delete;

    // The core the windows' buttons call; set once, before anything is shown.
    void attach(ClientCore& core) { core_ = &core; }

    // The tool windows, or nullptr before their first use.
    AvailableFilesDialog* availableFiles() const;
    FilePropertiesDialog* fileProperties() const;
    FileTransferDialog* fileTransfer() const;
    WorkingFilesDialog* workingFiles() const;
    DesktopNotifier& notifier() const { return *notifier_; }

    bool runLogin(LoginForm& form, const ui::FormCheck<LoginForm>& check) override;
    bool runAccountProperties(PasswordForm& form,
                              const ui::FormCheck<PasswordForm>& check) override;
    CommentReply runComment(const std::string& path) override;
    bool askYesNo(const std::string& question) override;
    void messageBox(const std::string& text) override;
    void alert(const std::string& soundFile) override;
    void notify(const std::string& text) override;
    void showLegends() override;
    void openSendMessage(const std::string& recipient) override;
    void availableFilesChanged(const AvailableFilesModel& model) override;
    void filePropertiesChanged(const FilePropertiesModel& model) override;
    void fileTransferChanged(const FileTransferModel& model) override;
    void workingFilesChanged(const WorkingFilesModel& model) override;
    void connectionStateChanged(ConnectionState state) override;
    void closeMainWindow() override;

private:
    // The window a message box belongs to: the one the user is working in.
    QWidget* boxParent() const;

    MainWindow& main_;
    ClientCore* core_ = nullptr;
    gui::Alert* alert_;
    DesktopNotifier* notifier_;
    QPointer<AvailableFilesDialog> available_;
    QPointer<FilePropertiesDialog> properties_;
    QPointer<FileTransferDialog> transfer_;
    QPointer<WorkingFilesDialog> working_;
};

}  // namespace zelt::client
