#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "client/core/ui/texts.h"
#include "client/gui/client_windows.h"
#include "client/gui/ip_address_edit.h"
#include "client/gui/log_in_dialog.h"
#include "client/gui/main_window.h"
#include "common/gui/console_model.h"
#include "common/gui/console_view.h"
#include "common/gui/qt_reactor.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"
#include "server/core/repository/repository.h"
#include "server/core/server.h"
#include "tests/server/scripted_ui.h"
#include "tests/support/console_lines.h"
#include "tests/support/temp_dir.h"

namespace zelt::client::test {

// The real client window and the real server core in one process on the Qt reactor, talking
// over 127.0.0.1, each with its folders in one temporary directory. The server knows anna and
// bob (password "secret") and the group Design, whose twelve files live under docs/.
class ClientWindowTest : public ::testing::Test {
protected:
    static constexpr int kWait = 10000;  // real milliseconds for anything to happen
    static constexpr std::size_t kDesignFiles = 12;

    void SetUp() override {
        ASSERT_NE(files::createFolder(dir.file("docs")), files::FolderResult::Failed);
        server::ServerOptions options;
        options.dataDir = dir.file("server");
        options.listenPort = 0;
        server = std::make_unique<server::Server>(reactor, serverConsole, serverUi, options);
        server->launch();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server->listening(); }, kWait));
        addAccount("anna");
        addAccount("bob");
        ASSERT_TRUE(server->saveAccounts());
        server::GroupTable& groups = server->groups();
        const auto g = static_cast<std::size_t>(groups.findFree());
        groups.record(g).set(server::GroupRecord::state, server::StateEnabled);
        groups.record(g).set(server::GroupRecord::name, "Design");
        groups.record(g).set(server::GroupRecord::members.at(0), "anna");
        groups.record(g).set(server::GroupRecord::members.at(1), "bob");
        for (std::size_t k = 0; k < kDesignFiles; ++k) {
            const std::string path = docPath(k);
            zelt::test::writeAll(path, "drawing " + std::to_string(k) + "\n");
            groups.fileEntry(g, k).set(server::FileEntry::path, path);
        }
        ASSERT_TRUE(server->saveGroups());
    }

    void TearDown() override {
        polls.clear();
        window.reset();
        server.reset();
    }

    std::string docPath(std::size_t k) const {
        return dir.file("docs/drawing" + std::to_string(k) + ".txt");
    }
    std::string working(const std::string& name = "") const {
        return dir.file("user/Working") + (name.empty() ? "" : "/" + name);
    }
    std::string temp() const { return dir.file("user/Temp"); }

    void addAccount(const std::string& name) {
        server::AccountTable& accounts = server->accounts();
        auto r = accounts.record(static_cast<std::size_t>(accounts.findFree()));
        r.set(server::AccountRecord::state, server::StateEnabled);
        r.set(server::AccountRecord::userName, name);
        r.set(server::AccountRecord::password, scramble::scramble("secret"));
    }

    // --- the client window ------------------------------------------------------------------

    // Opens the client's window; its start-up opens the Log-in dialog half a second later.
    void startClient() {
        ClientOptions options;
        options.places.dataDirectory = dir.file("data");
        options.places.userFolder = dir.file("user");
        options.shellOpen = [this](const std::string& target) {
            opened.push_back(target);
            return 42;
        };
        ASSERT_NE(files::createFolder(options.places.dataDirectory), files::FolderResult::Failed);
        window = std::make_unique<MainWindow>(reactor, options);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(window->start());
    }

    ClientCore& core() { return window->core(); }
    ClientWindows& windows() { return window->windows(); }
    bool connected() { return core().connectionState() == ConnectionState::Connected; }
    bool hasLine(const std::string& text) { return zelt::test::hasLine(core().console(), text); }

    // Answers the next modal dialog of this type, from inside its own event loop, as the
    // user does once it is on the screen.
    template <typename Dialog>
    void whenShown(std::function<void(Dialog*)> answer) {
        QTimer* poll = polls.emplace_back(std::make_unique<QTimer>()).get();
        QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) return;
            poll->stop();
            answer(dialog);
        });
        poll->start(10);
    }

    // Types text key by key wherever the dialog's keyboard focus is now, as a user types.
    static void typeAtFocus(QWidget* dialog, const QString& text) {
        for (const QChar c : text) QTest::keyClick(dialog->focusWidget(), c.toLatin1());
    }

    static void clickOk(QDialog* dialog) {
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }

    // Fills in the Log-in dialog as a user does, the address typed with its dots, and
    // presses OK; then runs next, once the dialog is on its way out.
    void answerLogIn(const std::string& user, const std::string& password,
                     std::function<void()> next = nullptr) {
        const QString port = QString::number(server->listeningPort());
        whenShown<LogInDialog>([=](LogInDialog* dialog) {
            auto* userName = dialog->findChild<QLineEdit*>(QStringLiteral("userNameEdit"));
            userName->setText(QString::fromStdString(user));
            dialog->findChild<QLineEdit*>(QStringLiteral("passwordEdit"))
                ->setText(QString::fromStdString(password));
            dialog->addressEdit()->setAddress({});
            dialog->addressEdit()->field(0)->setFocus();
            typeAtFocus(dialog, QStringLiteral("127.0.0.1"));
            dialog->findChild<QLineEdit*>(QStringLiteral("portEdit"))->setText(port);
            clickOk(dialog);
            if (next) next();
        });
    }

    // Starts the client and logs in through the dialog; the group list has arrived.
    void logIn(const std::string& user = "anna") {
        answerLogIn(user, "secret");
        startClient();
        ASSERT_TRUE(QTest::qWaitFor([&] { return connected() && hasLine("Design"); }, kWait));
    }

    // Double-clicks the console line with this text.
    void doubleClickLine(const std::string& text) {
        const auto& lines = core().console().lines();
        int row = -1;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].text == text) row = static_cast<int>(i);
        }
        ASSERT_GE(row, 0) << "no line " << text;
        QTreeView* list = window->consoleView()->list();
        const QModelIndex index = window->consoleView()->model()->index(row, 0);
        list->scrollTo(index);
        const QPoint at = list->visualRect(index).center();
        QWidget* viewport = list->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }

    // Selects the rows whose first column ends with these names, as ctrl-clicks do.
    static void selectByName(QTreeWidget* list, const std::vector<QString>& names) {
        list->clearSelection();
        for (int k = 0; k < list->topLevelItemCount(); ++k) {
            QTreeWidgetItem* item = list->topLevelItem(k);
            for (const QString& name : names) {
                if (!item->text(0).endsWith(name)) continue;
                const QRect rect = list->visualItemRect(item);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                                  rect.center());
            }
        }
    }

    static void click(QPushButton* button) {
        ASSERT_TRUE(button->isEnabled()) << button->text().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    zelt::test::TempDir dir;
    gui::QtReactor reactor;
    Console serverConsole{reactor.clock()};
    server::test::ScriptedUi serverUi;
    std::unique_ptr<server::Server> server;
    std::unique_ptr<MainWindow> window;
    std::vector<std::string> opened;  // what the client asked the desktop to open
    std::vector<std::unique_ptr<QTimer>> polls;
};

}  // namespace zelt::client::test
