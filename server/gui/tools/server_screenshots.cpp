// Draws the server's window and every one of its dialogs with sample data, on a server core
// started on a scratch data directory, and writes one PNG per window:
//
//   zelt-server-screenshots OUTDIR [SUFFIX]     (scripts/screenshots runs it under Xvfb)
//
// SUFFIX goes before ".png" (the script passes "@2x" for the run at QT_SCALE_FACTOR=2).
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "common/gui/message_boxes.h"
#include "common/platform/files.h"
#include "common/scramble/scramble.h"
#include "server/core/ui/texts.h"
#include "server/gui/dialog_support.h"
#include "server/gui/file_properties_dialog.h"
#include "server/gui/windowed_server.h"

namespace zelt::server {
namespace {

QString outDir;
QString suffix;
int failures = 0;

void settle(int ms = 200) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void save(const QPixmap& picture, const QString& name) {
    const QString path = outDir + QLatin1Char('/') + name + suffix + QStringLiteral(".png");
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        ++failures;
        return;
    }
    std::printf("%s\n", qPrintable(path));
}

// The window as the screen shows it, with whatever menu is open over it.
void saveScreenArea(QWidget* window, const QString& name) {
    const QRect frame = window->frameGeometry();
    save(window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()),
         name);
}

// A modal dialog is taken from inside its own loop, after prepare has filled it in; closing
// it cancels whatever flow opened it.
void shootModal(const QString& name, const std::function<void()>& open,
                const std::function<void(QWidget*)>& prepare = {}) {
    QTimer::singleShot(300, [name, prepare] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            std::fprintf(stderr, "no window for %s\n", qPrintable(name));
            ++failures;
            return;
        }
        if (prepare) prepare(modal);
        settle();
        save(modal->grab(), name);
        modal->close();
    });
    open();
}

int addAccount(Server& server, const std::string& user, const std::string& name,
               const std::string& dept, int state = StateEnabled) {
    AccountTable& accounts = server.accounts();
    const int index = accounts.findFree();
    auto r = accounts.record(static_cast<std::size_t>(index));
    r.set(AccountRecord::state, state);
    r.set(AccountRecord::userName, user);
    r.set(AccountRecord::password, scramble::scramble("secret"));
    r.set(AccountRecord::name, name);
    r.set(AccountRecord::dept, dept);
    r.set(AccountRecord::email, user + "@holmvik.example");
    r.set(AccountRecord::phone, "+46 31 555 01 2" + std::to_string(index));
    return index;
}

void addGroup(Server& server, const std::string& name, const std::vector<std::string>& members,
              const std::vector<std::string>& paths, int state = StateEnabled) {
    GroupTable& groups = server.groups();
    const auto g = static_cast<std::size_t>(groups.findFree());
    groups.record(g).set(GroupRecord::state, state);
    groups.record(g).set(GroupRecord::name, name);
    for (std::size_t k = 0; k < members.size(); ++k) {
        groups.record(g).set(GroupRecord::members.at(k), members[k]);
    }
    for (std::size_t k = 0; k < paths.size(); ++k) {
        groups.fileEntry(g, k).set(FileEntry::path, paths[k]);
    }
}

// Accounts, groups, member files with kept versions and one check-out, on disk.
std::string fillSampleData(const ServerOptions& options, const std::string& docs) {
    WindowedServer first(options);
    Server& server = first.server();
    if (server.start() != StartResult::Loaded) return {};
    addAccount(server, "anna", "Anna Berg", "Design");
    addAccount(server, "bob", "Bob Lund", "Build");
    addAccount(server, "carl", "Carl Ek", "Design", StateDisabled);
    addAccount(server, "dora", "Dora Nyström", "Office");
    std::vector<std::string> drawings;
    for (const char* name : {"site-plan.dwg", "facade-north.dwg", "facade-south.dwg",
                             "section-a.dwg", "door-schedule.xlsx"}) {
        drawings.push_back(files::join(docs, name));
        (void)files::writeFileAtomic(drawings.back(), "sample", 6);
    }
    addGroup(server, "Design", {"anna", "bob", "carl"}, drawings);
    addGroup(server, "Build", {"bob", "dora"}, {drawings[0], drawings[4]});
    addGroup(server, "Archive", {"anna"}, {drawings[3]}, StateDisabled);
    const std::string plan = drawings[0];
    VersionStore& versions = server.repository().versions();
    (void)files::createFolder(versions.folderOf(plan));
    (void)versions.makeVersion(plan, plan, "admin", std::string(text::OriginalComment));
    settle(5);
    (void)versions.makeVersion(plan, plan, "anna", "Moved the entrance to the east side.");
    settle(5);
    (void)versions.makeVersion(plan, plan, "bob",
                               "Updated the parking area.\nChecked against the 2024 survey.");
    auto entry = server.groups().fileEntry(0, 0);
    entry.set(FileEntry::checkedOut, 1);
    entry.set(FileEntry::holder, "anna");
    entry.set(FileEntry::checkOutTime, "2024/05/14 [09:42]");
    (void)server.saveAccounts();
    (void)server.saveGroups();
    server.notice().set(true, {"Maintenance on Friday from 18:00.", "",
                               "Please check in your drawings before you leave."});
    first.finish();
    return plan;
}

int run() {
    QTemporaryDir scratch(QDir::tempPath() + QStringLiteral("/zelt-XXXXXX"));
    const std::string root = QFile::encodeName(scratch.path()).toStdString();
    const std::string docs = files::join(root, "projects");
    (void)files::createFolder(docs);
    ServerOptions options;
    options.dataDir = files::join(root, "server");
    options.listenPort = 0;
    const std::string plan = fillSampleData(options, docs);
    if (plan.empty()) return 1;

    WindowedServer program(options);
    Server& server = program.server();
    MainWindow& window = program.window();
    program.launch();
    if (!QTest::qWaitFor([&] { return server.listening(); }, 5000)) {
        std::fprintf(stderr, "the server did not start\n");
        return 1;
    }
    settle(300);
    save(window.grab(), QStringLiteral("main_window"));

    // The mouse over a toolbar button: its tooltip, and its prompt in the status bar.
    QWidget* sessionButton =
        window.commandBar()->widgetForAction(window.action(CommandId::SessionStatus));
    QTest::mouseMove(sessionButton);
    settle(1200);
    saveScreenArea(&window, QStringLiteral("main_window_prompt"));
    QTest::mouseMove(window.centralWidget());
    settle();

    // The Status menu, opened as the mouse opens it, shows the items and their keys.
    QMenu* status = window.menuBar()->actions().at(1)->menu();
    window.menuBar()->setActiveAction(window.menuBar()->actions().at(1));
    settle();
    saveScreenArea(&window, QStringLiteral("main_window_status_menu"));
    status->close();
    window.menuBar()->setActiveAction(nullptr);

    server.commands().allStatus();
    settle();
    save(window.grab(), QStringLiteral("main_window_all_status"));

    shootModal(QStringLiteral("account_properties"),
               [&] { server.accountAdmin().editAccount("anna"); });
    shootModal(QStringLiteral("account_properties_new"),
               [&] { server.accountAdmin().createAccount(); });
    shootModal(
        QStringLiteral("search_account"), [&] { server.accountAdmin().searchAccounts(); },
        [](QWidget* dialog) {
            QTest::keyClicks(dialog->findChild<QWidget*>(QStringLiteral("keywordsEdit")),
                             QStringLiteral("design"));
        });
    shootModal(
        QStringLiteral("user_list"), [&] { server.accountAdmin().chooseUsers(); },
        [](QWidget* dialog) {
            auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("userList"));
            list->topLevelItem(1)->setSelected(true);
            list->topLevelItem(2)->setSelected(true);
        });
    shootModal(QStringLiteral("shut_down_schedule"), [&] { server.shutdown().askAndSchedule(); });
    shootModal(QStringLiteral("change_communication_port"),
               [&] { server.settingsAdmin().askAndChangePort(); });
    shootModal(QStringLiteral("backup_properties"),
               [&] { server.settingsAdmin().backupProperties(); });
    shootModal(QStringLiteral("notice_properties"), [&] { server.notice().editProperties(); });
    shootModal(
        QStringLiteral("group_properties"), [&] { server.groupAdmin().editGroup("Design"); },
        [](QWidget* dialog) {
            dialog->findChild<QListWidget*>(QStringLiteral("filesList"))
                ->item(1)
                ->setSelected(true);
        });
    shootModal(QStringLiteral("group_properties_new"), [&] { server.groupAdmin().createGroup(); });
    shootModal(QStringLiteral("select_file"), [&] { program.ui().pickMemberFiles(docs); });

    server.groupAdmin().openFilePropertiesFor(plan);
    settle();
    if (program.ui().fileWindows().empty()) {
        std::fprintf(stderr, "no File Properties window\n");
        ++failures;
    } else {
        FilePropertiesDialog* properties = program.ui().fileWindows().front();
        properties->findChild<QListWidget*>(QStringLiteral("versionsList"))->setCurrentRow(2);
        settle();
        save(properties->grab(), QStringLiteral("file_properties"));
        properties->close();
    }

    shootModal(QStringLiteral("refusal_box"),
               [] { showRefusal(nullptr, text::format(text::UserExists, std::string("anna"))); });
    shootModal(QStringLiteral("information_box_server"), [] {
        gui::showInformation(nullptr, ui::Program::Server, std::string(text::Replaced));
    });
    server.shutdown().shutDownNow();
    settle();
    save(window.grab(), QStringLiteral("main_window_closed"));
    program.finish();
    return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace zelt::server

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [SUFFIX]\n", argv[0]);
        return 2;
    }
    zelt::server::outDir = QString::fromLocal8Bit(argv[1]);
    zelt::server::suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(zelt::server::outDir);
    return zelt::server::run();
}
