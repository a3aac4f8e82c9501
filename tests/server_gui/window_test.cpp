// The server's window driven as an administrator drives it, over the real core, with real
// clients on 127.0.0.1: the console's lines are double-clicked, the dialogs filled in and their
// buttons pressed, and what reaches the tables on disk and the clients is checked.
#include <gtest/gtest.h>

// Clicks go through the window system, as a user's do: a window that a modal dialog blocks
// does not get them.
#define QTEST_QPA_MOUSE_HANDLING

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/core/client.h"
#include "client/core/ui/texts.h"
#include "common/gui/console_view.h"
#include "common/platform/files.h"
#include "common/scramble/scramble.h"
#include "server/gui/file_properties_dialog.h"
#include "server/gui/windowed_server.h"
#include "tests/client/fake_ui.h"
#include "tests/support/console_lines.h"
#include "tests/support/temp_dir.h"

namespace zelt::server {
namespace {

using zelt::test::hasLine;
using zelt::test::TempDir;
using zelt::test::writeAll;

constexpr int kWait = 10000;

// Windows whose button press is still at work: a dialog it opened runs its loop meanwhile.
std::vector<QPointer<QWidget>> windowsAtWork;

bool atWork(QWidget* window) {
    return std::any_of(windowsAtWork.begin(), windowsAtWork.end(),
                       [window](const QPointer<QWidget>& w) { return w == window; });
}

// Acts on the windows of a flow as they open. A modal dialog runs its own event loop, so the
// steps run from a timer: each waits until its window is there, then acts on it. An act never
// waits itself; a press that opens another dialog is queued (press()). When the deadline
// passes, the open modal dialogs are closed so that the test ends, and the test fails.
class WindowScript {
public:
    using Find = std::function<QWidget*()>;
    using Act = std::function<void(QWidget*)>;

    WindowScript() {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(10);
    }

    // The next step acts on the modal window with this title, once it is the one in front.
    WindowScript& on(const QString& title, Act act) {
        return when(
            [title]() -> QWidget* {
                QWidget* modal = QApplication::activeModalWidget();
                return modal != nullptr && modal->windowTitle() == title ? modal : nullptr;
            },
            std::move(act));
    }
    // The next step acts on whatever find gives, once it gives something.
    WindowScript& when(Find find, Act act) {
        steps_.push_back({std::move(find), std::move(act)});
        return *this;
    }

    bool finished() const { return steps_.empty() && !timedOut_; }

private:
    struct Step {
        Find find;
        Act act;
    };

    void poll() {
        if (clock_.elapsed() > kWait && !steps_.empty()) {
            QWidget* modal = QApplication::activeModalWidget();
            ADD_FAILURE() << "a window of the flow never came (" << steps_.size()
                          << " steps left; in front: "
                          << (modal != nullptr ? modal->metaObject()->className() : "nothing")
                          << " \""
                          << (modal != nullptr ? modal->windowTitle().toStdString() : "") << "\")";
            steps_.clear();
            timedOut_ = true;
        }
        if (timedOut_) {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
            return;
        }
        if (steps_.empty()) return;
        QWidget* target = steps_.front().find();
        // A window whose press has opened another dialog is acted on again once that press
        // has returned, with what the other dialog left.
        if (target == nullptr || atWork(target)) return;
        const Act act = std::move(steps_.front().act);
        steps_.pop_front();
        act(target);
    }

    std::deque<Step> steps_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool timedOut_ = false;
};

// Presses a button from the event loop, so that the dialog it opens runs its own loop there.
void press(QAbstractButton* button) {
    ASSERT_NE(button, nullptr);
    QPointer<QWidget> window = button->window();
    windowsAtWork.push_back(window);
    QTimer::singleShot(0, button, [button, window] {
        QTest::mouseClick(button, Qt::LeftButton);
        std::erase_if(windowsAtWork, [&](const QPointer<QWidget>& w) { return w == window; });
    });
}

template <typename T>
T* child(QWidget* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QPushButton* buttonNamed(QWidget* window, const QString& text) {
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (button->text() == text) return button;
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

// Replaces a field's text by typing, as the administrator does.
void type(QWidget* window, const char* field, const QString& text) {
    auto* edit = child<QLineEdit>(window, field);
    if (edit == nullptr) return;
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

void selectRow(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> items = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << text.toStdString();
    items.front()->setSelected(true);
}

// One user's desktop: a client core on the server's own reactor, its folders in the test's.
struct Desk {
    client::test::FakeUi ui;
    std::unique_ptr<client::ClientCore> core;

    bool connected() const {
        return core && core->connectionState() == client::ConnectionState::Connected;
    }
    const Console& console() const { return core->console(); }
};

class ServerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(files::createFolder(dir.file("docs")), files::FolderResult::Failed);
        ServerOptions options;
        options.dataDir = dir.file("server");
        options.listenPort = 0;
        program = std::make_unique<WindowedServer>(options);
        program->launch();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return server().listening(); }, kWait));
        // The first start opened the Legends; the administrator goes back to the console.
        window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    }
    void TearDown() override {
        desks.clear();
        program.reset();
    }

    Server& server() { return program->server(); }
    MainWindow& window() { return program->window(); }
    Console& console() { return program->console(); }

    void addAccount(const std::string& name) {
        AccountTable& accounts = server().accounts();
        auto r = accounts.record(static_cast<std::size_t>(accounts.findFree()));
        r.set(AccountRecord::state, StateEnabled);
        r.set(AccountRecord::userName, name);
        r.set(AccountRecord::password, scramble::scramble("secret"));
        ASSERT_TRUE(server().saveAccounts());
    }
    void addGroup(const std::string& name, const std::vector<std::string>& members,
                  const std::vector<std::string>& paths) {
        GroupTable& groups = server().groups();
        const auto g = static_cast<std::size_t>(groups.findFree());
        groups.record(g).set(GroupRecord::state, StateEnabled);
        groups.record(g).set(GroupRecord::name, name);
        for (std::size_t k = 0; k < members.size(); ++k) {
            groups.record(g).set(GroupRecord::members.at(k), members[k]);
        }
        for (std::size_t k = 0; k < paths.size(); ++k) {
            groups.fileEntry(g, k).set(FileEntry::path, paths[k]);
        }
        ASSERT_TRUE(server().saveGroups());
    }
    std::string memberFile(const std::string& name) {
        const std::string path = dir.file("docs/" + name);
        writeAll(path, "content of " + name);
        return path;
    }

    // Double-clicks the newest console line with this text, as the administrator runs its
    // function; a dialog it opens is answered by a script meanwhile.
    void doubleClickLine(const std::string& text) {
        QCoreApplication::processEvents();
        const auto& lines = console().lines();
        int row = -1;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].text == text) row = static_cast<int>(i);
        }
        ASSERT_GE(row, 0) << "no console line " << text;
        QTreeView* list = window().consoleView()->list();
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        QCoreApplication::processEvents();
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    }

    // Starts a user's client; it logs in as soon as its start-up runs.
    Desk& startClient(const std::string& user) {
        auto& desk = desks.emplace_back(std::make_unique<Desk>());
        client::LoginForm login;
        login.userName = user;
        login.password = "secret";
        login.address = {127, 0, 0, 1};
        login.port = std::to_string(server().listeningPort());
        desk->ui.logins.push_back(login);
        client::ClientOptions options;
        options.places.dataDirectory = dir.file(user + "-data");
        options.places.userFolder = dir.file(user + "-user");
        options.shellOpen = [](const std::string&) { return 42; };
        desk->core = std::make_unique<client::ClientCore>(program->reactor(), desk->ui, options);
        EXPECT_TRUE(desk->core->start());
        return *desk;
    }
    // The user double-clicks the group's line: its file list comes, page by page.
    static bool openGroup(Desk& desk, const std::string& group) {
        const auto& lines = desk.console().lines();
        for (std::size_t i = lines.size(); i-- > 0;) {
            if (lines[i].text == group && lines[i].tag == client::tag::GroupFiles) {
                return desk.core->executeLine(static_cast<int>(i));
            }
        }
        return false;
    }

    // The server has the user logged in.
    bool loggedIn(const std::string& user) {
        const int account = server().accounts().findByUserName(user);
        return account >= 0 && server().accounts()
                                       .record(static_cast<std::size_t>(account))
                                       .get(AccountRecord::connected) == 1;
    }

    AccountTable accountsOnDisk() const {
        AccountTable table;
        table.load(dir.file("server/Accounts.zelt"));
        return table;
    }
    GroupTable groupsOnDisk() const {
        GroupTable table;
        table.load(dir.file("server/Groups.zelt"));
        return table;
    }

    TempDir dir;
    std::unique_ptr<WindowedServer> program;
    std::vector<std::unique_ptr<Desk>> desks;
};

TEST_F(ServerWindowTest, AnAccountAndAGroupMadeThroughTheirDialogsAreOnDiskWithTheirLines) {
    const std::string plan = memberFile("plan.txt");
    WindowScript script;
    script.on("Account Properties", [](QWidget* dialog) {
        EXPECT_FALSE(child<QCheckBox>(dialog, "removeCheck")->isEnabled());
        type(dialog, "userNameEdit", "anna");
        type(dialog, "passwordEdit", "pw1");
        type(dialog, "retypeEdit", "pw1");
        type(dialog, "nameEdit", "Anna Berg");
        type(dialog, "deptEdit", "Design");
        press(buttonNamed(dialog, "OK"));
    });
    doubleClickLine("Create a new account");
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(hasLine(console(), "User 'anna' created, enabled."));
    const AccountTable accounts = accountsOnDisk();
    const int anna = accounts.findByUserName("anna");
    ASSERT_GE(anna, 0);
    const auto record = accounts.record(static_cast<std::size_t>(anna));
    EXPECT_EQ(scramble::unscramble(record.get(AccountRecord::password)), "pw1");
    EXPECT_EQ(record.get(AccountRecord::name), "Anna Berg");
    EXPECT_EQ(record.get(AccountRecord::dept), "Design");

    // The group: its name, a member chosen in the User List, a file chosen in the picker.
    script
        .on("Group Properties",
            [](QWidget* dialog) {
                EXPECT_FALSE(child<QCheckBox>(dialog, "removeCheck")->isEnabled());
                type(dialog, "nameEdit", "Design");
                press(buttonNamed(dialog, "&Add"));
            })
        .on("User List",
            [](QWidget* dialog) {
                auto* list = child<QTreeWidget>(dialog, "userList");
                ASSERT_EQ(list->topLevelItemCount(), 1);
                EXPECT_EQ(list->topLevelItem(0)->text(1), "Anna Berg");
                QPushButton* add = buttonNamed(dialog, "&Add");
                EXPECT_FALSE(add->isEnabled());
                list->topLevelItem(0)->setSelected(true);
                EXPECT_TRUE(add->isEnabled());
                press(add);
            })
        .on("Group Properties",
            [](QWidget* dialog) {
                EXPECT_EQ(child<QGroupBox>(dialog, "usersFrame")->title(), "Users (1/100)");
                press(buttonNamed(dialog, "A&dd"));
            })
        .on("Select File",
            [plan](QWidget* dialog) {
                auto* picker = qobject_cast<QFileDialog*>(dialog);
                ASSERT_NE(picker, nullptr);
                // The picker reads the folder on a thread of its own and takes no file it has
                // not listed yet: on a busy machine the first accept can come too early, and
                // the listing, once it comes, may clear the selection. So the file is selected
                // and accepted again until the picker has closed.
                const QString file = QString::fromStdString(plan);
                picker->selectFile(file);
                auto* retry = new QTimer(picker);
                QObject::connect(retry, &QTimer::timeout, picker, [picker, retry, file] {
                    if (!picker->isVisible()) {
                        retry->stop();
                        return;
                    }
                    picker->selectFile(file);
                    static_cast<QDialog*>(picker)->accept();
                });
                retry->start(50);
            })
        .on("Group Properties", [plan](QWidget* dialog) {
            EXPECT_EQ(child<QGroupBox>(dialog, "filesFrame")->title(), "Files (1/500)");
            auto* files = child<QListWidget>(dialog, "filesList");
            ASSERT_EQ(files->count(), 1);
            EXPECT_EQ(files->item(0)->text().toStdString(), plan);
            press(buttonNamed(dialog, "OK"));
        });
    doubleClickLine("Create a new group");
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(hasLine(console(), "Group 'Design' created, enabled."));
    const GroupTable groups = groupsOnDisk();
    const int design = groups.findByName("Design");
    ASSERT_GE(design, 0);
    EXPECT_TRUE(groups.isMember(static_cast<std::size_t>(design), "anna"));
    EXPECT_EQ(groups.fileEntry(static_cast<std::size_t>(design), 0).get(FileEntry::path), plan);
}

TEST_F(ServerWindowTest, ARefusedOkKeepsTheDialogOpenWithItsMessageAndEverythingTyped) {
    WindowScript script;
    QString refusal;
    QPointer<QWidget> behind;
    script
        .on("Account Properties",
            [](QWidget* dialog) {
                type(dialog, "userNameEdit", "an na");
                type(dialog, "passwordEdit", "pw");
                type(dialog, "retypeEdit", "pw");
                type(dialog, "emailEdit", "anna@example.org");
                press(buttonNamed(dialog, "OK"));
            })
        .on("ZELT server",
            [&](QWidget* box) {
                refusal = qobject_cast<QMessageBox*>(box)->text();
                EXPECT_EQ(qobject_cast<QMessageBox*>(box)->icon(), QMessageBox::NoIcon);
                behind = box->parentWidget();
                press(buttonNamed(box, "OK"));
            })
        .on("Account Properties", [&](QWidget* dialog) {
            EXPECT_EQ(dialog, behind.data());
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(child<QLineEdit>(dialog, "userNameEdit")->text(), "an na");
            EXPECT_EQ(child<QLineEdit>(dialog, "emailEdit")->text(), "anna@example.org");
            type(dialog, "userNameEdit", "anna");
            press(buttonNamed(dialog, "OK"));
        });
    doubleClickLine("Create a new account");
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(refusal, "You can't use white space characters in the username.");
    EXPECT_TRUE(hasLine(console(), "User 'anna' created, enabled."));
    const AccountTable accounts = accountsOnDisk();
    ASSERT_GE(accounts.findByUserName("anna"), 0);
    EXPECT_EQ(accounts.record(static_cast<std::size_t>(accounts.findByUserName("anna")))
                  .get(AccountRecord::email),
              "anna@example.org");
}

TEST_F(ServerWindowTest, TheCloseBoxOnlyGuidesWhileListeningAndCloseServerEndsAfterShutDown) {
    addAccount("anna");
    Desk& anna = startClient("anna");
    ASSERT_TRUE(QTest::qWaitFor([&] { return loggedIn("anna"); }, kWait));

    // The close box while clients are served: the guidance, and the window stays.
    QAction* newMessage = window().action(CommandId::NewMessage);
    EXPECT_TRUE(newMessage->isEnabled());
    std::size_t mark = console().size();
    EXPECT_FALSE(window().close());
    EXPECT_TRUE(window().isVisible());
    const std::vector<std::string> guidance = zelt::test::lineTextsSince(console(), mark);
    ASSERT_GE(guidance.size(), 3u);
    EXPECT_EQ(guidance[1], "1 account(s) currently logged in.");
    EXPECT_EQ(guidance.back(), "Setup a schedule to shut down.");

    // Shut down now: the client is dropped and New Message goes grey, its key too.
    bool closed = false;
    QObject::connect(&window(), &MainWindow::closed, [&] { closed = true; });
    doubleClickLine("Shut down now.");
    EXPECT_FALSE(server().listening());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !anna.connected(); }, kWait));
    EXPECT_FALSE(newMessage->isEnabled());
    QTest::keyClick(&window(), Qt::Key_M, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window().findChildren<QDialog*>(QStringLiteral("SendMessageDialog")).isEmpty());
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(closed);

    // The line "Close ZELT server." closes the window.
    doubleClickLine("Close ZELT server.");
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, kWait));
    EXPECT_FALSE(window().isVisible());
}

TEST_F(ServerWindowTest, AFilePropertiesWindowOpenedInGroupPropertiesVoidsACheckOutAndOutlivesIt) {
    addAccount("anna");
    const std::string plan = memberFile("plan.txt");
    addGroup("Design", {"anna"}, {plan});
    Desk& anna = startClient("anna");
    ASSERT_TRUE(QTest::qWaitFor([&] { return openGroup(anna, "Design"); }, kWait));
    ASSERT_TRUE(QTest::qWaitFor([&] { return anna.ui.available.rows.size() == 1; }, kWait));
    anna.core->selectAvailableFiles({0});
    anna.core->checkOutSelected();
    const auto holder = [&] { return server().groups().fileEntry(0, 0).get(FileEntry::holder); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return holder() == "anna"; }, kWait));

    // The administrator reaches the group through the toolbar and the group list.
    QTest::mouseClick(
        window().commandBar()->widgetForAction(window().action(CommandId::GroupStatus)),
        Qt::LeftButton);
    doubleClickLine("Display group");

    const std::string voided = std::string(client::text::YourCheckOutFor) + " '" + plan + "' " +
                               std::string(client::text::VoidedByAdministrator);
    QPointer<QWidget> groupDialog;
    QPointer<FilePropertiesDialog> fileWindow;
    WindowScript script;
    script
        .on("Group Properties",
            [&](QWidget* dialog) {
                groupDialog = dialog;
                auto* files = child<QListWidget>(dialog, "filesList");
                selectRow(files, QString::fromStdString(plan));
                press(buttonNamed(dialog, "&Properties"));
            })
        .when(
            [&]() -> QWidget* {
                const auto open = program->ui().fileWindows();
                return open.empty() ? nullptr : open.front();
            },
            [&](QWidget* window) {
                fileWindow = qobject_cast<FilePropertiesDialog*>(window);
                EXPECT_FALSE(window->isModal());
                EXPECT_EQ(child<QLineEdit>(window, "holderEdit")->text(), "anna");
                EXPECT_EQ(child<QLineEdit>(window, "groupsEdit")->text(), "Design");
                QTest::mouseClick(buttonNamed(window, "Void current check-out"), Qt::LeftButton);
            })
        .when([&]() -> QWidget* { return hasLine(anna.console(), voided) ? groupDialog : nullptr; },
              [&](QWidget* dialog) {
                  // Group Properties was open all along.
                  EXPECT_EQ(QApplication::activeModalWidget(), dialog);
                  press(buttonNamed(dialog, "Cancel"));
              });
    doubleClickLine("Design");
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(hasLine(console(),
                        "1 member user(s) connected, 1 member file(s) checked out "
                        "currently."));
    EXPECT_EQ(holder(), "");
    EXPECT_EQ(groupsOnDisk().fileEntry(0, 0).get(FileEntry::holder), "");
    EXPECT_EQ(anna.core->checkOutTable().findHeld(plan), client::CheckOutTable::kNone);

    // The File Properties window outlived the dialog it came from, showing the file free.
    ASSERT_TRUE(fileWindow);
    EXPECT_TRUE(fileWindow->isVisible());
    EXPECT_EQ(child<QLineEdit>(fileWindow, "holderEdit")->text(), "");
    EXPECT_FALSE(buttonNamed(fileWindow, "Void current check-out")->isEnabled());
    QTest::mouseClick(buttonNamed(fileWindow, "&Close"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fileWindow.isNull(); }, kWait));
    EXPECT_EQ(server().groupAdmin().openWindowCount(), 0u);
}

TEST_F(ServerWindowTest, ASecondServerOnTheDataDirectoryNamesItInABoxAndEndsWithAFailure) {
    writeAll(dir.file("server/Temp/in-transit.tmp"), "half a file");
    ServerOptions options;
    options.dataDir = dir.file("server");
    options.listenPort = 0;
    WindowedServer second(options);
    bool closed = false;
    QObject::connect(&second.window(), &MainWindow::closed, [&] { closed = true; });
    QString said;
    WindowScript script;
    script.on("ZELT server", [&](QWidget* box) {
        said = qobject_cast<QMessageBox*>(box)->text();
        press(buttonNamed(box, "OK"));
    });
    second.launch();
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, kWait));
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(said.startsWith(QString::fromStdString("The data directory " + dir.file("server") +
                                                       " is in use by another ZELT server")))
        << said.toStdString();
    EXPECT_TRUE(second.ui().refused());
    second.finish();
    // The first server goes on as it was, its copy in transit still there.
    EXPECT_TRUE(server().listening());
    EXPECT_TRUE(files::isFile(dir.file("server/Temp/in-transit.tmp")));
}

TEST_F(ServerWindowTest, AClientLogsInAndPagesThroughAFileListWhileAccountPropertiesIsOpen) {
    addAccount("anna");
    constexpr std::size_t kFiles = 12;  // the server sends five a page
    std::vector<std::string> paths;
    for (std::size_t k = 0; k < kFiles; ++k)
        paths.push_back(dir.file("docs/drawing" + std::to_string(k)));
    addGroup("Design", {"anna"}, paths);
    QTest::keyClick(&window(), Qt::Key_U, Qt::ControlModifier);
    doubleClickLine("Display account");

    Desk* anna = nullptr;
    bool listedWhileOpen = false;
    WindowScript script;
    script.on("Account Properties", [&](QWidget*) { anna = &startClient("anna"); })
        .when(
            [&]() -> QWidget* {
                return anna != nullptr && openGroup(*anna, "Design")
                           ? QApplication::activeModalWidget()
                           : nullptr;
            },
            [](QWidget*) {})
        .when(
            [&]() -> QWidget* {
                return anna->ui.available.rows.size() == kFiles ? QApplication::activeModalWidget()
                                                                : nullptr;
            },
            [&](QWidget* dialog) {
                listedWhileOpen =
                    dialog != nullptr && dialog->windowTitle() == "Account Properties";
                press(buttonNamed(dialog, "Cancel"));
            });
    doubleClickLine("anna");
    EXPECT_TRUE(script.finished());
    EXPECT_TRUE(listedWhileOpen);
    ASSERT_NE(anna, nullptr);
    EXPECT_TRUE(anna->connected());
    ASSERT_EQ(anna->ui.available.rows.size(), kFiles);
    EXPECT_EQ(anna->ui.available.rows.back().path, paths.back());
}

}  // namespace
}  // namespace zelt::server
