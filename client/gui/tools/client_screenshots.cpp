// Draws every window of the client with sample contents and writes one PNG per window:
//
//   zelt-client-screenshots OUTDIR [SUFFIX]     (scripts/screenshots runs it under Xvfb)
//
// The samples are real: a server core runs in this process on a temporary data directory with
// a group of a dozen files, two of them held by bob, and the client window logs in to it as
// anna, opens the group, checks two files out and fetches one. Only the transfer at 40% and the
// dialogs that wait for the user are drawn from sample forms.
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/core/transfer/transfer_engine.h"
#include "client/core/ui/texts.h"
#include "client/gui/account_properties_dialog.h"
#include "client/gui/available_files_dialog.h"
#include "client/gui/client_windows.h"
#include "client/gui/comment_dialog.h"
#include "client/gui/file_properties_dialog.h"
#include "client/gui/file_transfer_dialog.h"
#include "client/gui/ip_address_edit.h"
#include "client/gui/log_in_dialog.h"
#include "client/gui/main_window.h"
#include "client/gui/working_files_dialog.h"
#include "common/gui/console_window_legends_dialog.h"
#include "common/gui/message_boxes.h"
#include "common/gui/qt_reactor.h"
#include "common/gui/tools/screenshot_kit.h"
#include "common/platform/files.h"
#include "common/scramble/scramble.h"
#include "server/core/repository/repository.h"
#include "server/core/server.h"
#include "server/core/ui/null_admin_ui.h"

namespace zelt::client {
namespace {

using namespace gui::shots;

// Turns the event loop until done() holds, or for at most ms.
bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// The part of the screen where the window is, with whatever pops up over it.
void shootScreen(QWidget* window, const QString& name) {
    const QRect frame = window->frameGeometry();
    save(window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()),
         name);
}

// Answers the modal dialog of this type the client opens next, from inside its own loop.
template <typename Dialog>
void whenShown(std::function<void(Dialog*)> answer) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        answer(dialog);
    });
    poll->start(20);
}

struct SampleFile {
    const char* name;
    const char* holder;  // "" when free
    const char* since;
};

constexpr SampleFile kDesign[] = {
    {"site_plan.dwg", "", ""},
    {"floor_plan_level1.dwg", "", ""},
    {"floor_plan_level2.dwg", "bob", "2024/05/13 [14:05]"},
    {"elevation_north.dwg", "", ""},
    {"elevation_south.dwg", "", ""},
    {"section_a.dwg", "", ""},
    {"roof_details.dwg", "", ""},
    {"window_schedule.xlsx", "bob", "2024/05/14 [09:42]"},
    {"door_schedule.xlsx", "", ""},
    {"structural_notes.docx", "", ""},
    {"client_brief.docx", "", ""},
    {"cost_estimate.xlsx", "", ""},
};

// The sample server: anna and bob, the group Design of a dozen drawings and lists, two of them
// checked out by bob, one with a kept version; and an archive group.
std::unique_ptr<server::Server> sampleServer(Reactor& reactor, Console& console,
                                             server::AdminUi& ui, const QString& root,
                                             std::string* folder) {
    server::ServerOptions options;
    options.dataDir = (root + QStringLiteral("/server")).toStdString();
    options.listenPort = 0;
    auto server = std::make_unique<server::Server>(reactor, console, ui, options);
    server->launch();
    if (!waitFor([&] { return server->listening(); })) return nullptr;

    for (const char* name : {"anna", "bob"}) {
        server::AccountTable& accounts = server->accounts();
        auto r = accounts.record(static_cast<std::size_t>(accounts.findFree()));
        r.set(server::AccountRecord::state, server::StateEnabled);
        r.set(server::AccountRecord::userName, name);
        r.set(server::AccountRecord::password, scramble::scramble("secret"));
    }
    (void)server->saveAccounts();

    *folder = (root + QStringLiteral("/srv/projects/design")).toStdString();
    QDir().mkpath(QString::fromStdString(*folder));
    server::GroupTable& groups = server->groups();
    for (const char* group : {"Design", "Archive 2023"}) {
        const auto g = static_cast<std::size_t>(groups.findFree());
        groups.record(g).set(server::GroupRecord::state, server::StateEnabled);
        groups.record(g).set(server::GroupRecord::name, group);
        groups.record(g).set(server::GroupRecord::members.at(0), "anna");
        groups.record(g).set(server::GroupRecord::members.at(1), "bob");
    }
    std::size_t k = 0;
    for (const SampleFile& sample : kDesign) {
        const std::string path = files::join(*folder, sample.name);
        const std::string content(2048 + 1500 * k, 'x');
        (void)files::writeFileAtomic(path, content.data(), content.size());
        auto entry = groups.fileEntry(0, k++);
        entry.set(server::FileEntry::path, path);
        if (*sample.holder != '\0') {
            entry.set(server::FileEntry::checkedOut, 1);
            entry.set(server::FileEntry::holder, sample.holder);
            entry.set(server::FileEntry::checkOutTime, sample.since);
        }
    }
    (void)server->saveGroups();
    const std::string level2 = files::join(*folder, "floor_plan_level2.dwg");
    (void)files::createFolder(server->repository().versions().folderOf(level2));
    (void)server->repository().versions().makeVersion(
        level2, level2, "bob", "Moved the stair core 40 cm east.\nDimensions on grid C updated.");
    return server;
}

int run() {
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/zelt-XXXXXX"));
    if (!root.isValid()) {
        fail(QStringLiteral("no temporary folder"));
        return 1;
    }
    gui::QtReactor reactor;
    Console serverConsole(reactor.clock());
    server::NullAdminUi serverUi;
    std::string design;
    auto server = sampleServer(reactor, serverConsole, serverUi, root.path(), &design);
    if (!server) {
        fail(QStringLiteral("the sample server did not start"));
        return 1;
    }
    const QString port = QString::number(server->listeningPort());

    ClientOptions options;
    options.places.dataDirectory = (root.path() + QStringLiteral("/client")).toStdString();
    options.places.userFolder = (root.path() + QStringLiteral("/user")).toStdString();
    options.shellOpen = [](const std::string&) { return 42; };
    QDir().mkpath(QString::fromStdString(options.places.dataDirectory));
    MainWindow window(reactor, options);
    ClientCore& core = window.core();
    ClientWindows& windows = window.windows();
    window.show();

    // A first try with a wrong password, so that the dialog shows why it is back.
    auto fillIn = [port](LogInDialog* dialog, const char* password) {
        dialog->findChild<QLineEdit*>(QStringLiteral("userNameEdit"))
            ->setText(QStringLiteral("anna"));
        dialog->findChild<QLineEdit*>(QStringLiteral("passwordEdit"))
            ->setText(QString::fromLatin1(password));
        dialog->addressEdit()->setAddress({127, 0, 0, 1});
        dialog->findChild<QLineEdit*>(QStringLiteral("portEdit"))->setText(port);
    };
    whenShown<LogInDialog>([=](LogInDialog* first) {
        fillIn(first, "wrong");
        first->accept();
        whenShown<LogInDialog>([=](LogInDialog* again) {
            fillIn(again, "secret");
            settle();
            save(again->grab(), QStringLiteral("log_in"));
            again->accept();
        });
    });
    if (!window.start()) {
        fail(QStringLiteral("the client did not start"));
        return 1;
    }
    if (!waitFor([&] { return core.connectionState() == ConnectionState::Connected; })) {
        fail(QStringLiteral("no log-in"));
        return 1;
    }
    settle(2500);  // the notice comes two seconds after the log-in
    for (auto* legends : window.findChildren<gui::ConsoleWindowLegendsDialog*>()) {
        shoot(legends, QStringLiteral("client_legends"));
        legends->close();
    }
    shoot(&window, QStringLiteral("main_window"));

    // The Work menu, open over the window.
    window.activateWindow();
    settle();
    const QList<QAction*> bar = window.menuBar()->actions();
    QMenu* work = bar.size() > 1 ? bar[1]->menu() : nullptr;
    if (work != nullptr) {
        work->popup(
            window.menuBar()->mapToGlobal(window.menuBar()->actionGeometry(bar[1]).bottomLeft()));
        settle();
        shootScreen(&window, QStringLiteral("main_window_work_menu"));
        work->close();
    }

    // Available Files: a double-click on the group line, then the check-out times come in.
    const auto& lines = core.console().lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text == "Design") core.executeLine(static_cast<int>(i));
    }
    waitFor([&] {
        AvailableFilesDialog* d = windows.availableFiles();
        return d != nullptr && d->isVisible() &&
               d->fileList()->topLevelItemCount() == static_cast<int>(std::size(kDesign)) &&
               !core.availableFiles().rows[7].since.empty();
    });
    AvailableFilesDialog* available = windows.availableFiles();
    if (available == nullptr) {
        fail(QStringLiteral("no Available Files"));
        return 1;
    }
    core.selectAvailableFiles({2});
    shoot(available, QStringLiteral("available_files"));

    // File Properties of a file bob holds, with its last update.
    core.requestSelectedProperties();
    waitFor([&] {
        return windows.fileProperties() != nullptr && windows.fileProperties()->isVisible();
    });
    if (windows.fileProperties() != nullptr) {
        shoot(windows.fileProperties(), QStringLiteral("file_properties"));
        core.closeFileProperties();
    }

    // Two check-outs, one fetched: the Working Files window.
    core.selectAvailableFiles({0, 5});
    core.checkOutSelected();
    waitFor(
        [&] { return core.workingFiles().rows.size() == 2 && windows.workingFiles() != nullptr; });
    core.selectWorkingFiles({0});
    core.fetchSelected();
    waitFor([&] {
        return core.workingFiles().visible && !core.workingFiles().rows.empty() &&
               !core.workingFiles().rows[0].fetched.empty();
    });
    if (windows.workingFiles() != nullptr) {
        core.selectWorkingFiles({1});
        shoot(windows.workingFiles(), QStringLiteral("working_files"));
        core.closeWorkingFiles();
    }

    // A transfer at 40%, as the core reports one on its way.
    FileTransferModel transfer;
    transfer.exists = true;
    transfer.visible = true;
    transfer.label = files::join(design, "section_a.dwg");
    transfer.bytesTotal = 2'560'000;
    transfer.bytesDone = 1'024'000;
    transfer.rangeMax = transfer.bytesTotal / 1024 - 1;
    transfer.position = transfer.bytesDone / 1024;
    transfer.rate = rateText(transfer.bytesDone, 2450);
    transfer.timeLeft =
        timeLeftText(transfer.bytesTotal - transfer.bytesDone, transfer.bytesDone, 2450);
    windows.fileTransferChanged(transfer);
    if (windows.fileTransfer() != nullptr)
        shoot(windows.fileTransfer(), QStringLiteral("file_transfer"));
    transfer.visible = false;
    windows.fileTransferChanged(transfer);

    // The dialogs that wait for the user, with what a user would have typed.
    CommentDialog comment(files::join(design, "site_plan.dwg"), &window);
    comment.commentEdit()->setPlainText(
        QStringLiteral("New parking layout on the east side.\nTrees along the north boundary."));
    comment.applyCheck()->setChecked(true);
    shoot(&comment, QStringLiteral("comment"));
    comment.hide();

    PasswordForm password;
    AccountPropertiesDialog account(password, validatePasswordForm, &window);
    for (QLineEdit* edit : account.findChildren<QLineEdit*>())
        edit->setText(QStringLiteral("secret"));
    shoot(&account, QStringLiteral("account_properties"));
    account.hide();

    // What a second start on this data directory is told, as the core words it.
    MainWindow second(reactor, options);
    const StartUpResult refused = second.start();
    shootModal(QStringLiteral("data_directory_in_use"),
               [&] { gui::showInformation(&window, ui::Program::Client, refused.error); });

    core.disconnect();
    return end();
}

}  // namespace
}  // namespace zelt::client

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (!zelt::gui::shots::begin(argc, argv)) return 2;
    return zelt::client::run();
}
