#include "server/gui/window_ui.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSystemTrayIcon>

#include "common/gui/alert.h"
#include "common/gui/console_window_legends_dialog.h"
#include "common/gui/desktop_open.h"
#include "common/gui/message_boxes.h"
#include "common/gui/send_message_dialog.h"
#include "common/gui/text_codec.h"
#include "server/core/server.h"
#include "server/gui/account_properties_dialog.h"
#include "server/gui/backup_properties_dialog.h"
#include "server/gui/change_communication_port_dialog.h"
#include "server/gui/dialog_support.h"
#include "server/gui/file_properties_dialog.h"
#include "server/gui/group_properties_dialog.h"
#include "server/gui/main_window.h"
#include "server/gui/notice_properties_dialog.h"
#include "server/gui/search_account_dialog.h"
#include "server/gui/shut_down_schedule_dialog.h"
#include "server/gui/user_list_dialog.h"

namespace zelt::server {

using gui::toQt;

namespace {

constexpr ui::Program kServer = ui::Program::Server;

constexpr QSize kPickerSize(760, 460);

// How long a desktop notification stays, in milliseconds.
constexpr int kNotificationTime = 8000;

template <typename Dialog>
bool accepted(Dialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

WindowUi::WindowUi() = default;

WindowUi::~WindowUi() {
    // The server may be gone already: the windows closed now have no model to give back.
    server_ = nullptr;
    closeWindows();
}

void WindowUi::attach(MainWindow& window, Server& server) {
    window_ = &window;
    server_ = &server;
    alert_ = new gui::Alert(&window);
}

QWidget* WindowUi::dialogOwner() const {
    return dialogParent(window_);
}

void WindowUi::closeWindows() {
    // Each window gives its model back to the core as it goes.
    std::vector<QPointer<FilePropertiesDialog>> open;
    open.swap(fileWindows_);
    for (const QPointer<FilePropertiesDialog>& window : open) delete window.data();
}

std::vector<FilePropertiesDialog*> WindowUi::fileWindows() const {
    std::vector<FilePropertiesDialog*> open;
    for (const QPointer<FilePropertiesDialog>& window : fileWindows_) {
        if (window && window->model() != nullptr) open.push_back(window);
    }
    return open;
}

// --- Account and Server menu dialogs -------------------------------------------------------

bool WindowUi::editAccount(AccountForm& form, const ui::FormCheck<AccountForm>& check) {
    AccountPropertiesDialog dialog(form, check, dialogOwner());
    return accepted(dialog);
}

bool WindowUi::searchAccount(std::string& keywords) {
    SearchAccountDialog dialog(keywords, dialogOwner());
    return accepted(dialog);
}

std::optional<std::vector<std::string>> WindowUi::chooseUsers(UserListSource& source) {
    UserListDialog dialog(source, dialogOwner());
    if (!accepted(dialog)) return std::nullopt;
    return dialog.chosen();
}

bool WindowUi::scheduleShutdown(ShutdownForm& form, const ui::FormCheck<ShutdownForm>& check) {
    ShutDownScheduleDialog dialog(form, check, dialogOwner());
    return accepted(dialog);
}

bool WindowUi::changePort(PortForm& form, const ui::FormCheck<PortForm>& check) {
    ChangeCommunicationPortDialog dialog(form, check, dialogOwner());
    return accepted(dialog);
}

bool WindowUi::editBackup(BackupForm& form) {
    BackupPropertiesDialog dialog(form, dialogOwner());
    return accepted(dialog);
}

bool WindowUi::editNotice(NoticeForm& form) {
    NoticePropertiesDialog dialog(form, dialogOwner());
    return accepted(dialog);
}

// --- Group windows -------------------------------------------------------------------------

bool WindowUi::runGroupProperties(GroupPropertiesModel& model,
                                  const ui::FormCheck<GroupForm>& check) {
    GroupPropertiesDialog dialog(model, check, dialogOwner());
    // Modal to the main window only: the File Properties windows it opens stay usable while it
    // is open, and stay open after it.
    dialog.setWindowModality(Qt::WindowModal);
    return accepted(dialog);
}

std::optional<FilePick> WindowUi::pickMemberFiles(const std::string& startFolder) {
    const QString folder =
        startFolder.empty() ? QDir::homePath() : QFile::decodeName(startFolder.c_str());
    const QString filter =
        QStringLiteral("%1 (%2)").arg(toQt(text::MemberFileFilter), toQt(text::MemberFilePattern));
    QFileDialog picker(dialogOwner(), toQt(text::SelectFileTitle), folder, filter);
    picker.setFileMode(QFileDialog::ExistingFiles);
    picker.setAcceptMode(QFileDialog::AcceptOpen);
    // Room for the long paths of a server's shares and for every column of the list.
    picker.resize(picker.sizeHint().expandedTo(kPickerSize));
    if (picker.exec() != QDialog::Accepted) return std::nullopt;
    FilePick pick;
    for (const QString& path : picker.selectedFiles()) {
        pick.paths.push_back(QFile::encodeName(QDir::cleanPath(path)).toStdString());
    }
    return pick;
}

void WindowUi::showFileProperties(FilePropertiesModel& model) {
    // A window of its own, not a child of any other: it must outlive the Group Properties it
    // may be opened from, and no modal dialog of another window blocks it.
    auto* window = new FilePropertiesDialog(model, [this](const FilePropertiesModel* gone) {
        if (server_ != nullptr) server_->groupAdmin().closeFileProperties(gone);
    });
    window->setWindowIcon(window_ ? window_->windowIcon() : QIcon());
    std::erase_if(fileWindows_, [](const QPointer<FilePropertiesDialog>& w) { return w.isNull(); });
    fileWindows_.emplace_back(window);
    window->show();
    window->raise();
    window->activateWindow();
}

void WindowUi::showInformation(const std::string& text) {
    gui::showInformation(dialogOwner(), kServer, text);
}

// --- The rest ------------------------------------------------------------------------------

void WindowUi::showLegends() {
    gui::ConsoleWindowLegendsDialog::showNew(window_);
}

void WindowUi::alert() {
    if (!alert_ || server_ == nullptr) return;
    // The sound the data directory holds, else the one installed beside the program.
    QString sound = QFile::decodeName(server_->paths().notify.c_str());
    if (!QFileInfo(sound).isFile()) {
        sound = QDir(QApplication::applicationDirPath()).filePath(QFileInfo(sound).fileName());
    }
    alert_->ring(sound);
}

void WindowUi::notifyAdministrator(const std::string& text) {
    // An administrator looking at the window sees the console line already.
    if (!window_ || window_->isActiveWindow()) return;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    if (!tray_) {
        tray_ = new QSystemTrayIcon(window_->windowIcon(), window_);
        tray_->setToolTip(toQt(text::MainWindowTitle));
        QObject::connect(tray_, &QSystemTrayIcon::activated, window_,
                         [this] { bringWindowForward(); });
        QObject::connect(tray_, &QSystemTrayIcon::messageClicked, window_,
                         [this] { bringWindowForward(); });
        tray_->show();
    }
    tray_->showMessage(toQt(ui::programName(kServer)), toQt(text), QSystemTrayIcon::Information,
                       kNotificationTime);
}

void WindowUi::bringWindowForward() {
    if (!window_) return;
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void WindowUi::closeMainWindow() {
    if (window_) window_->closeWithoutAsking();
}

void WindowUi::openSendMessage(const std::string& preset) {
    Server* server = server_;
    gui::SendMessageDialog::showNew(
        kServer, preset,
        [server](const ui::MessageForm& form) {
            server->messages().sendAdminMessage(form.recipients, form.text, form.important);
        },
        window_);
}

void WindowUi::openAddress(const std::string& address) {
    gui::openAddress(address);
}

void WindowUi::showMessage(const std::string& text) {
    showRefusal(dialogOwner(), text);
}

bool WindowUi::askYesNo(const std::string& text) {
    return gui::askYesNo(dialogOwner(), kServer, text);
}

void WindowUi::listeningChanged(bool) {
    if (window_) window_->updateCommands();
}

void WindowUi::startRefused(const std::string& reason) {
    refused_ = true;
    QMessageBox box(QMessageBox::Critical, toQt(ui::programName(kServer)), toQt(reason),
                    QMessageBox::Ok, window_);
    box.exec();
    closeMainWindow();
}

}  // namespace zelt::server
