#include "client/gui/client_windows.h"

#include <QApplication>

#include "client/core/client.h"
#include "client/gui/account_properties_dialog.h"
#include "client/gui/available_files_dialog.h"
#include "client/gui/comment_dialog.h"
#include "client/gui/desktop_notifier.h"
#include "client/gui/file_properties_dialog.h"
#include "client/gui/file_transfer_dialog.h"
#include "client/gui/log_in_dialog.h"
#include "client/gui/main_window.h"
#include "client/gui/working_files_dialog.h"
#include "common/gui/alert.h"
#include "common/gui/console_window_legends_dialog.h"
#include "common/gui/message_boxes.h"
#include "common/gui/send_message_dialog.h"
#include "common/gui/text_codec.h"

namespace zelt::client {

namespace {

constexpr ui::Program kClient = ui::Program::Client;

// Draws a tool window's model: a window that no longer exists goes, one that does is made on
// first use and then drawn.
template <typename Window, typename Model, typename Make>
void drawTool(QPointer<Window>& window, const Model& model, Make make) {
    if (!model.exists) {
        if (window) window->deleteLater();
        window = nullptr;
        return;
    }
    if (!window) window = make();
    window->draw(model);
}

}  // namespace

ClientWindows::ClientWindows(MainWindow& main)
    : main_(main), alert_(new gui::Alert(&main)), notifier_(new DesktopNotifier(&main)) {}

ClientWindows::~ClientWindows() = default;

AvailableFilesDialog* ClientWindows::availableFiles() const {
    return available_;
}
FilePropertiesDialog* ClientWindows::fileProperties() const {
    return properties_;
}
FileTransferDialog* ClientWindows::fileTransfer() const {
    return transfer_;
}
WorkingFilesDialog* ClientWindows::workingFiles() const {
    return working_;
}

QWidget* ClientWindows::boxParent() const {
    QWidget* active = QApplication::activeWindow();
    return active != nullptr ? active : &main_;
}

bool ClientWindows::runLogin(LoginForm& form, const ui::FormCheck<LoginForm>& check) {
    LogInDialog dialog(form, check, &main_);
    return dialog.exec() == QDialog::Accepted;
}

bool ClientWindows::runAccountProperties(PasswordForm& form,
                                         const ui::FormCheck<PasswordForm>& check) {
    AccountPropertiesDialog dialog(form, check, &main_);
    return dialog.exec() == QDialog::Accepted;
}

CommentReply ClientWindows::runComment(const std::string& path) {
    CommentDialog dialog(path, &main_);
    dialog.exec();
    return dialog.reply();
}

bool ClientWindows::askYesNo(const std::string& question) {
    return gui::askYesNo(boxParent(), kClient, question);
}

void ClientWindows::messageBox(const std::string& text) {
    gui::showInformation(boxParent(), kClient, text);
}

void ClientWindows::alert(const std::string& soundFile) {
    alert_->ring(
        QString::fromLocal8Bit(soundFile.data(), static_cast<qsizetype>(soundFile.size())));
}

void ClientWindows::notify(const std::string& text) {
    notifier_->notify(gui::toQt(text));
}

void ClientWindows::showLegends() {
    gui::ConsoleWindowLegendsDialog::showNew(&main_);
}

void ClientWindows::openSendMessage(const std::string& recipient) {
    ClientCore* core = core_;
    gui::SendMessageDialog::showNew(
        kClient, recipient, [core](const ui::MessageForm& form) { core->sendMessage(form); },
        &main_);
}

void ClientWindows::availableFilesChanged(const AvailableFilesModel& model) {
    drawTool(available_, model, [this] { return new AvailableFilesDialog(*core_, &main_); });
}

void ClientWindows::filePropertiesChanged(const FilePropertiesModel& model) {
    drawTool(properties_, model, [this] { return new FilePropertiesDialog(*core_, &main_); });
}

void ClientWindows::fileTransferChanged(const FileTransferModel& model) {
    drawTool(transfer_, model, [this] { return new FileTransferDialog(*core_, &main_); });
}

void ClientWindows::workingFilesChanged(const WorkingFilesModel& model) {
    drawTool(working_, model, [this] { return new WorkingFilesDialog(*core_, &main_); });
}

void ClientWindows::connectionStateChanged(ConnectionState state) {
    main_.updateCommands(state);
}

void ClientWindows::closeMainWindow() {
    main_.closeNow();
}

}  // namespace zelt::client
