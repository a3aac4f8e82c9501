// The client's window over the real server core: the editing cycle a user goes through every
// day, the close box, a refused log-in, and what may be chosen in each connection state.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <map>
#include <set>

#include "client/gui/available_files_dialog.h"
#include "client/gui/comment_dialog.h"
#include "client/gui/working_files_dialog.h"
#include "common/gui/console_window_legends_dialog.h"
#include "tests/gui/client_window_fixture.h"

namespace zelt::client::test {
namespace {

using ::testing::ElementsAre;

TEST_F(ClientWindowTest, AFileGoesToWorkingAndBackWithItsCommentAndAnotherIsVoided) {
    logIn();
    doubleClickLine("Design");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            AvailableFilesDialog* d = windows().availableFiles();
            return d != nullptr && d->isVisible() &&
                   d->fileList()->topLevelItemCount() == static_cast<int>(kDesignFiles);
        },
        kWait));
    AvailableFilesDialog* available = windows().availableFiles();
    EXPECT_EQ(available->findChild<QLabel*>(QStringLiteral("countLabel"))->text(), "12 files");
    EXPECT_EQ(available->findChild<QLabel*>(QStringLiteral("groupLabel"))->text(), "Design");

    selectByName(available->fileList(), {"drawing3.txt", "drawing7.txt"});
    click(available->checkOutButton());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            WorkingFilesDialog* d = windows().workingFiles();
            return d != nullptr && d->isVisible() && d->fileList()->topLevelItemCount() == 2;
        },
        kWait));
    EXPECT_FALSE(available->isVisible());
    WorkingFilesDialog* desk = windows().workingFiles();

    selectByName(desk->fileList(), {"drawing3.txt"});
    click(desk->fetchButton());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return desk->isVisible() && desk->fileList()->topLevelItemCount() == 2 &&
                   desk->fileList()->topLevelItem(0)->text(WorkingFilesDialog::FetchedColumn) ==
                       "Yes";
        },
        kWait));
    ASSERT_EQ(zelt::test::readAll(working("drawing3.txt")), "drawing 3\n");

    // The user edits the working copy and checks it in with a comment.
    zelt::test::writeAll(working("drawing3.txt"), "drawing 3, walls thicker\n");
    whenShown<CommentDialog>([](CommentDialog* comment) {
        QTest::keyClicks(comment->commentEdit(), "Thicker walls");
        clickOk(comment);
    });
    selectByName(desk->fileList(), {"drawing3.txt"});
    click(desk->checkInButton());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return hasLine("'" + docPath(3) + "' checked-in."); }, kWait));
    EXPECT_EQ(zelt::test::readAll(docPath(3)), "drawing 3, walls thicker\n");
    const server::DetailBytes details = server->repository().versions().latestDetails(docPath(3));
    const proto::ConstView latest{details};
    EXPECT_EQ(latest.get(proto::DetailRecord::userName), "anna");
    EXPECT_EQ(latest.get(proto::DetailRecord::comment), "Thicker walls\n");
    EXPECT_FALSE(files::isFile(working("drawing3.txt")));

    // The other one goes back unchanged.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return desk->isVisible() && desk->fileList()->topLevelItemCount() == 1; }, kWait));
    whenShown<QMessageBox>([](QMessageBox* question) {
        EXPECT_EQ(question->text(), "Are you sure you want to void check-out ?");
        QTest::mouseClick(question->button(QMessageBox::Yes), Qt::LeftButton);
    });
    selectByName(desk->fileList(), {"drawing7.txt"});
    click(desk->voidButton());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return hasLine("'" + docPath(7) + "' check-out voided."); }, kWait));
    EXPECT_EQ(core().checkOutTable().checkedOutCount(), 0);
    for (std::size_t k = 0; k < kDesignFiles; ++k) {
        EXPECT_EQ(server->groups().fileEntry(0, k).get(server::FileEntry::checkedOut), 0) << k;
    }
}

TEST_F(ClientWindowTest, TheCloseBoxWhileConnectedDisconnectsAndOnlyThenCloses) {
    logIn();
    const std::string viewCopy = temp() + "/ZELT1__drawing1.txt";
    zelt::test::writeAll(viewCopy, "a view copy");

    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(core().connectionState(), ConnectionState::NotConnected);
    EXPECT_TRUE(hasLine("Disconnected from the ZELT server."));
    EXPECT_TRUE(hasLine("Close ZELT client."));
    EXPECT_TRUE(files::isFile(viewCopy));

    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(files::listFiles(temp()).empty());
}

TEST_F(ClientWindowTest, ARefusedLogInReopensTheDialogShowingWhy) {
    QString status;
    QString shownUser;
    QString shownPassword;
    bool reopened = false;
    answerLogIn("anna", "wrong", [&] {
        whenShown<LogInDialog>([&](LogInDialog* again) {
            status = again->findChild<QPlainTextEdit*>(QStringLiteral("statusBox"))->toPlainText();
            shownUser = again->findChild<QLineEdit*>(QStringLiteral("userNameEdit"))->text();
            shownPassword = again->findChild<QLineEdit*>(QStringLiteral("passwordEdit"))->text();
            reopened = true;
            again->reject();
        });
    });
    startClient();
    ASSERT_TRUE(QTest::qWaitFor([&] { return reopened; }, kWait));
    EXPECT_EQ(status, "Access denied. Password not match.");
    EXPECT_EQ(shownUser, "anna");
    EXPECT_EQ(shownPassword, "");
    EXPECT_EQ(core().console().lines().back().text, "Access denied. Password not match.");
    EXPECT_EQ(core().connectionState(), ConnectionState::NotConnected);
    EXPECT_TRUE(window->action(ClientCommand::Connect)->isEnabled());
}

TEST_F(ClientWindowTest, MenusToolbarAndToolWindowsFollowTheConnectionState) {
    using C = ClientCommand;
    std::map<ConnectionState, std::set<C>> enabledIn;
    auto record = [&](ConnectionState state) {
        std::set<C>& enabled = enabledIn[state];
        enabled.clear();
        for (const CommandInfo& info : commandTable()) {
            if (info.command != C::Execute && window->action(info.command)->isEnabled()) {
                enabled.insert(info.command);
            }
        }
    };
    answerLogIn("anna", "secret");
    startClient();
    record(ConnectionState::NotConnected);
    QObject::connect(window.get(), &MainWindow::commandsUpdated, window.get(), record);
    ASSERT_TRUE(QTest::qWaitFor([&] { return connected() && hasLine("Design"); }, kWait));

    const std::set<C> always = {C::Status,       C::WorkingFiles, C::WorkingFolder,
                                C::BackupFolder, C::Legends,      C::Manual};
    auto with = [&](std::set<C> more) {
        more.insert(always.begin(), always.end());
        return more;
    };
    EXPECT_EQ(enabledIn[ConnectionState::NotConnected], with({C::Connect, C::Close}));
    EXPECT_EQ(enabledIn[ConnectionState::Connecting], with({C::Disconnect}));
    EXPECT_EQ(enabledIn[ConnectionState::Connected],
              with({C::Disconnect, C::AccountProperties, C::YourGroups, C::MessageNew}));
    // The toolbar's buttons are the same commands.
    EXPECT_FALSE(window->action(C::Connect)->isEnabled());
    EXPECT_TRUE(window->action(C::MessageNew)->isEnabled());

    // The user closes the Legends of the first log-in; F5 opens the Working folder.
    for (auto* legends : window->findChildren<gui::ConsoleWindowLegendsDialog*>()) legends->close();
    window->activateWindow();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QApplication::activeWindow() == window.get(); }, kWait));
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_THAT(opened, ElementsAre(working()));

    doubleClickLine("Design");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return windows().availableFiles() && windows().availableFiles()->isVisible(); },
        kWait));
    AvailableFilesDialog* available = windows().availableFiles();
    selectByName(available->fileList(), {"drawing1.txt"});
    EXPECT_TRUE(available->refreshButton()->isEnabled());
    EXPECT_TRUE(available->propertiesButton()->isEnabled());
    EXPECT_TRUE(available->checkOutButton()->isEnabled());

    window->action(C::Disconnect)->trigger();
    EXPECT_EQ(enabledIn[ConnectionState::NotConnected], with({C::Connect, C::Close}));
    EXPECT_FALSE(available->refreshButton()->isEnabled());
    EXPECT_FALSE(available->propertiesButton()->isEnabled());
    EXPECT_FALSE(available->checkOutButton()->isEnabled());
}

}  // namespace
}  // namespace zelt::client::test
