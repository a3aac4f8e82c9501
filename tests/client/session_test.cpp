#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include "client/core/ui/null_client_ui.h"
#include "client/core/ui/texts.h"
#include "common/platform/tcp.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"
#include "tests/client/client_fixture.h"

namespace zelt::client::test {
namespace {

using proto::Opcode;
using proto::Packet;
using ::testing::ElementsAre;

class SessionTest : public ClientTest {};

TEST_F(SessionTest, LogInSendsTheStoredCredentialsThenAsksForGroupsAndTheNotice) {
    const std::size_t start = 0;
    logIn("anna");
    EXPECT_THAT(linesSince(start),
                ElementsAre("Connecting...", "Connected to the ZELT server.",
                            "You are logged in as a user 'anna'.", "- - - Your Groups - - -",
                            "You are not joined in any group."));
    EXPECT_EQ(kindOf("You are logged in as a user 'anna'."), LineKind::Important);
    ASSERT_GE(server.received.size(), 3u);
    EXPECT_EQ(server.received[0].get(proto::ReqLogin::userName), "anna");
    EXPECT_EQ(server.received[0].get(proto::ReqLogin::password), scramble::scramble("secret"));
    EXPECT_THAT(server.opcodes(),
                ElementsAre(Opcode::ReqLogin, Opcode::ReqGroupList, Opcode::ReqNotice));
    EXPECT_EQ(zelt::test::readAll(dataDir() + "/Comm.zelt").size(), 84u);
    // The Working folder was new: the Legends come up after the log-in.
    EXPECT_EQ(ui.legends, 1);

    // The next run finds the settings and the folder: the dialog is filled, no Legends.
    core.reset();
    ui.loginsShown.clear();
    ui.legends = 0;
    logIn("anna");
    EXPECT_EQ(ui.loginsShown.front().userName, "anna");
    EXPECT_EQ(ui.loginsShown.front().port, std::to_string(server.port()));
    EXPECT_EQ(ui.loginsShown.front().focus, LoginForm::Focus::Password);
    EXPECT_EQ(ui.legends, 0);
}

TEST_F(SessionTest, RefusedLogInReopensTheDialogWithTheReasonAndTheNameKept) {
    server.refuseLoginWith = "Password not match.";
    // OK without an address is refused by the dialog's own check: it stays open.
    LoginForm incomplete = loginAs("anna", "wrong");
    incomplete.address[2].reset();
    ui.logins = {incomplete, loginAs("anna", "wrong")};
    startClient();
    EXPECT_THAT(ui.boxes, ElementsAre("Please enter the valid ZELT server IP adddress."));
    ASSERT_EQ(ui.loginsShown.size(), 2u);
    EXPECT_EQ(ui.loginsShown[1].status, "Access denied. Password not match.");
    EXPECT_EQ(ui.loginsShown[1].userName, "anna");
    EXPECT_EQ(ui.loginsShown[1].password, "");
    EXPECT_EQ(kindOf("Access denied. Password not match."), LineKind::Error);
    EXPECT_EQ(core->connectionState(), ConnectionState::NotConnected);
    EXPECT_FALSE(reactor.timerRunning(core.get(), ClientCore::kKeepAliveTimer));
}

TEST_F(SessionTest, ASecondClientOnTheSameDataDirectoryRefusesToStartAndChangesNothing) {
    CheckOutTable table;
    table.set(0, RecordFetched, "C:\\docs\\plan.doc", working("plan.doc"));
    ASSERT_TRUE(table.save(dataDir() + "/Chkout.zelt"));
    logIn("anna");
    zelt::test::writeAll(temp() + "/view.txt", "a view copy");
    const std::string comm = zelt::test::readAll(dataDir() + "/Comm.zelt");
    const std::string checkOuts = zelt::test::readAll(dataDir() + "/Chkout.zelt");

    FakeUi otherUi;
    otherUi.logins.push_back(loginAs("bob"));
    ClientOptions options;
    options.places = {dataDir(), userDir()};
    ClientCore other(reactor, otherUi, options);
    const StartUpResult result = other.start();
    EXPECT_FALSE(result);
    EXPECT_EQ(result.error, "The data directory '" + dataDir() +
                                "' is in use by another ZELT client (process " +
                                std::to_string(::getpid()) + ").");
    reactor.advance(ClientCore::kStartUpDelay);
    EXPECT_TRUE(otherUi.loginsShown.empty());
    // Its front end closes it at once; that empties nobody's Temp folder.
    EXPECT_TRUE(other.windowCloseRequested());
    other.closeClient();
    EXPECT_EQ(zelt::test::readAll(temp() + "/view.txt"), "a view copy");
    EXPECT_EQ(zelt::test::readAll(dataDir() + "/Comm.zelt"), comm);
    EXPECT_EQ(zelt::test::readAll(dataDir() + "/Chkout.zelt"), checkOuts);
    EXPECT_EQ(core->connectionState(), ConnectionState::Connected);

    // Once the first client has gone, the directory is free.
    core.reset();
    NullClientUi quiet;
    ClientCore next(reactor, quiet, options);
    EXPECT_TRUE(next.start());
}

TEST_F(SessionTest, UnreachableServerLeadsBackToTheDialog) {
    // A port that was listening a moment ago and is closed now.
    tcp::ListenResult gone = tcp::listenAll(0);
    ASSERT_NE(gone.handle, kNoHandle);
    tcp::closeSocket(gone.handle);
    LoginForm form = loginAs("anna");
    form.port = std::to_string(gone.port);
    ui.logins.push_back(form);
    startClient();
    ASSERT_EQ(ui.loginsShown.size(), 2u);
    EXPECT_EQ(ui.loginsShown[1].status, std::string(text::ConnectFailed));
    EXPECT_EQ(kindOf(std::string(text::ConnectFailed)), LineKind::Error);
    EXPECT_EQ(core->connectionState(), ConnectionState::NotConnected);

    // The Connect command empties the last error before the dialog opens again.
    core->connect();
    EXPECT_EQ(ui.loginsShown.back().status, "");
}

TEST_F(SessionTest, ConnectAndStatusWhileConnectingAndConnected) {
    startClient();  // no script: the first dialog is cancelled
    EXPECT_EQ(core->connectionState(), ConnectionState::NotConnected);
    EXPECT_TRUE(core->commandEnabled(ClientCommand::Connect));
    EXPECT_TRUE(core->commandEnabled(ClientCommand::Close));
    EXPECT_FALSE(core->commandEnabled(ClientCommand::YourGroups));

    ui.logins.push_back(loginAs("anna"));
    core->connect();  // the connect is under way until the reactor runs
    ASSERT_EQ(core->connectionState(), ConnectionState::Connecting);
    EXPECT_FALSE(core->commandEnabled(ClientCommand::Connect));
    EXPECT_TRUE(core->commandEnabled(ClientCommand::Disconnect));
    EXPECT_FALSE(core->commandEnabled(ClientCommand::Close));
    EXPECT_FALSE(core->commandEnabled(ClientCommand::MessageNew));
    std::size_t at = mark();
    core->connect();
    core->showStatus();
    EXPECT_THAT(linesSince(at),
                ElementsAre("Connecting in process...", "- - - Status - - -",
                            "Connecting in process...", "No file currently checked-out."));

    reactor.drain();
    ASSERT_EQ(core->connectionState(), ConnectionState::Connected);
    EXPECT_TRUE(core->commandEnabled(ClientCommand::AccountProperties));
    EXPECT_FALSE(core->commandEnabled(ClientCommand::Close));
    at = mark();
    core->connect();
    core->showStatus();
    EXPECT_THAT(linesSince(at), ElementsAre("You already connected.", "- - - Status - - -",
                                            "You are currently connected as a user 'anna'.",
                                            "No file currently checked-out."));
}

TEST_F(SessionTest, KeepAliveProbesOnTheSecondSilentTickAndGivesUpOnTheThird) {
    server.answerKeepAlive = false;
    logIn();  // the notice was the last packet received
    reactor.advance(ClientCore::kKeepAlivePeriod - ClientCore::kNoticeDelay);
    EXPECT_EQ(server.countOf(Opcode::ReqKeepAlive), 0);
    EXPECT_EQ(core->keepAliveState(), 2);
    reactor.advance(ClientCore::kKeepAlivePeriod);
    EXPECT_EQ(server.countOf(Opcode::ReqKeepAlive), 1);
    reactor.advance(ClientCore::kKeepAlivePeriod - 1);
    EXPECT_EQ(core->connectionState(), ConnectionState::Connected);
    const int alerts = ui.alerts;
    const std::size_t at = mark();
    reactor.advance(1);
    EXPECT_THAT(linesSince(at),
                ElementsAre("Server not responding.", "Disconnected from the ZELT server."));
    EXPECT_EQ(kindOf("Server not responding."), LineKind::Error);
    EXPECT_EQ(core->connectionState(), ConnectionState::NotConnected);
    EXPECT_EQ(ui.alerts, alerts + 1);
    EXPECT_FALSE(reactor.timerRunning(core.get(), ClientCore::kKeepAliveTimer));
}

TEST_F(SessionTest, AnsweredKeepAlivesKeepTheConnection) {
    logIn();
    reactor.advance(10 * ClientCore::kKeepAlivePeriod);
    EXPECT_EQ(core->connectionState(), ConnectionState::Connected);
    EXPECT_EQ(server.countOf(Opcode::ReqKeepAlive), 5);
}

TEST_F(SessionTest, ServerClosingIsReportedWithAnAlert) {
    logIn();
    const int alerts = ui.alerts;
    server.dropClient();
    reactor.drain();
    EXPECT_EQ(lastLine().text, "Disconnected from the ZELT server.");
    EXPECT_EQ(lastLine().kind, LineKind::Important);
    EXPECT_EQ(ui.alerts, alerts + 1);
    EXPECT_EQ(ui.lastSound, dataDir() + "/Notify.zelt");
    EXPECT_EQ(core->connectionState(), ConnectionState::NotConnected);
}

TEST_F(SessionTest, DisconnectWithCheckOutsWarnsAndTheDisconnectNowLineOffersClose) {
    logIn();
    // A check-out left from an earlier run.
    CheckOutTable table;
    table.set(0, RecordCheckedOut, "C:\\docs\\plan.doc", "");
    ASSERT_TRUE(table.save(dataDir() + "/Chkout.zelt"));
    core.reset();
    logIn();
    zelt::test::writeAll(temp() + "/view.txt", "x");

    std::size_t at = mark();
    core->disconnect();
    EXPECT_THAT(linesSince(at),
                ElementsAre("You are not safe to disconnect.",
                            "You currently checked-out 1 file(s).", "Disconnect now."));
    EXPECT_EQ(core->console().lines()[at + 1].tag, "DSPCHKOUT");
    EXPECT_EQ(core->connectionState(), ConnectionState::Connected);
    // The close box while connected runs the same Disconnect.
    EXPECT_FALSE(core->windowCloseRequested());

    at = mark();
    ASSERT_TRUE(core->executeLine(static_cast<int>(at - 1)));  // "Disconnect now."
    EXPECT_THAT(linesSince(at),
                ElementsAre("Disconnected from the ZELT server.", "Close ZELT client."));
    EXPECT_EQ(lastLine().tag, "CLOSECLI");
    EXPECT_EQ(core->connectionState(), ConnectionState::NotConnected);

    // Executed again later, the old line does not claim a second disconnect.
    at = mark();
    core->executeLine(static_cast<int>(at - 3));
    EXPECT_THAT(linesSince(at), ElementsAre("You are not connected yet."));

    ASSERT_TRUE(core->executeLine(static_cast<int>(core->console().size() - 2)));  // CLOSECLI
    EXPECT_TRUE(ui.closed);
    EXPECT_FALSE(files::isFile(temp() + "/view.txt"));
    EXPECT_TRUE(files::isFolder(working()));
}

TEST_F(SessionTest, DisconnectWithoutCheckOutsAndWhileNotConnected) {
    logIn();
    std::size_t at = mark();
    core->disconnect();
    EXPECT_THAT(linesSince(at),
                ElementsAre("Disconnected from the ZELT server.", "Close ZELT client."));
    at = mark();
    core->disconnect();
    core->accountProperties();
    EXPECT_THAT(linesSince(at),
                ElementsAre("You are not connected yet.", "You are not connected yet."));
    // Not connected, the close box closes at once and empties Temp.
    zelt::test::writeAll(temp() + "/a.tmp__x.txt", "x");
    EXPECT_TRUE(core->windowCloseRequested());
    EXPECT_TRUE(files::listFiles(temp()).empty());
}

TEST_F(SessionTest, BroadcastNoticeAndMessagesBecomeLinesWithAlerts) {
    server.notice = "Maintenance tonight.\n\nBack at 22:00";
    logIn();
    EXPECT_TRUE(hasLine("- - - Server Notice - - -"));
    const auto& lines = core->console().lines();
    EXPECT_EQ(lines[lines.size() - 3].text, "Maintenance tonight.");
    EXPECT_EQ(lines[lines.size() - 2].text, "");
    EXPECT_EQ(lines[lines.size() - 1].text, "Back at 22:00");
    int alerts = ui.alerts;
    EXPECT_GE(alerts, 1);

    Packet empty(Opcode::PushBroadcast);
    server.send(empty);
    Packet broadcast(Opcode::PushBroadcast);
    broadcast.set(proto::PushBroadcast::text, "The server shuts down in 5 minute(s).");
    server.send(broadcast);
    Packet plainMessage(Opcode::PushMessage);
    plainMessage.set(proto::PushMessage::sender, "bob");
    plainMessage.set(proto::PushMessage::text, "lunch?");
    server.send(plainMessage);
    Packet count(Opcode::RepSendMessage);
    count.set(proto::RepSendMessage::count, 3);
    server.send(count);
    std::size_t at = mark();
    reactor.drain();
    EXPECT_THAT(linesSince(at), ElementsAre("The server shuts down in 5 minute(s).",
                                            "<bob> \"lunch?\"", "Message sent to 3 user(s)."));
    EXPECT_EQ(ui.alerts, alerts + 1);  // the broadcast; the plain message makes no sound
    EXPECT_EQ(lastLine().kind, LineKind::Plain);
    // The shut-down reaches the desktop too; the notice and a plain message stay in the window.
    EXPECT_THAT(ui.notices, ElementsAre("The server shuts down in 5 minute(s)."));
    // A front end learns the same with each field on its own; the empty broadcast is nothing.
    ASSERT_EQ(flows.pushes.size(), 2u);
    EXPECT_EQ(flows.pushes[0].kind, ServerPush::Kind::Broadcast);
    EXPECT_EQ(flows.pushes[0].text, "The server shuts down in 5 minute(s).");
    EXPECT_EQ(flows.pushes[1].kind, ServerPush::Kind::Message);
    EXPECT_EQ(flows.pushes[1].sender, "bob");
    EXPECT_EQ(flows.pushes[1].text, "lunch?");
    EXPECT_FALSE(flows.pushes[1].important);
    ASSERT_NE(flows.last(Flow::Message), nullptr);
    EXPECT_EQ(flows.last(Flow::Message)->count, 3);
    EXPECT_EQ(flows.last(Flow::Notice)->serverText, server.notice);

    Packet urgent(Opcode::PushMessage);
    urgent.set(proto::PushMessage::sender, "admin");
    urgent.set(proto::PushMessage::text, "call me");
    urgent.set(proto::PushMessage::important, 1);
    server.send(urgent);
    reactor.drain();
    EXPECT_EQ(lastLine().tag, "REPLYMSG");
    EXPECT_EQ(ui.alerts, alerts + 2);
    EXPECT_EQ(ui.notices.back(), "<admin> \"call me\"");
    core->executeLine(static_cast<int>(core->console().size() - 1));
    EXPECT_THAT(ui.sendMessageWindows, ElementsAre("admin"));
}

TEST_F(SessionTest, SendMessageGoesOutWithTheLogInNameAndNotWhenDisconnected) {
    logIn("anna");
    core->sendMessage({"bob;@Team", "hello", true});
    reactor.drain();
    const std::vector<Packet> sent = server.receivedOf(Opcode::ReqSendMessage);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].get(proto::ReqSendMessage::sender), "anna");
    EXPECT_EQ(sent[0].get(proto::ReqSendMessage::recipients), "bob;@Team");
    EXPECT_EQ(sent[0].get(proto::ReqSendMessage::important), 1);

    core->disconnect();
    core->sendMessage({"bob", "still there?", false});
    EXPECT_EQ(lastLine().text, "You are not connected yet.");
    EXPECT_EQ(lastLine().kind, LineKind::Error);
}

TEST_F(SessionTest, PasswordChangeSendsBothPasswordsScrambled) {
    logIn();
    ui.passwords.push_back(std::nullopt);  // Cancel
    core->accountProperties();
    reactor.drain();
    EXPECT_EQ(server.countOf(Opcode::ReqChangePassword), 0);

    // A retype that differs keeps the dialog open with its message; the next try is sent.
    ui.passwords = {PasswordForm{"old", "new", "New"}, PasswordForm{"old", "new", "new"}};
    server.intercept = [this](const Packet& p) {
        if (p.opcode() != Opcode::ReqChangePassword) return false;
        Packet r(Opcode::RepChangePassword);
        r.set(proto::RepChangePassword::reason, "Password not match.");
        server.send(r);
        return true;
    };
    core->accountProperties();
    reactor.drain();
    EXPECT_THAT(ui.boxes, ElementsAre("New password does not match with retyped."));
    const std::vector<Packet> sent = server.receivedOf(Opcode::ReqChangePassword);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].get(proto::ReqChangePassword::current), scramble::scramble("old"));
    EXPECT_EQ(sent[0].get(proto::ReqChangePassword::replacement), scramble::scramble("new"));
    EXPECT_EQ(lastLine().text, "Password not changed. Password not match.");
    EXPECT_EQ(lastLine().kind, LineKind::Error);
}

TEST_F(SessionTest, GroupLinesRequestTheirFilesOnlyWhileConnected) {
    server.groups = {"Team", "", "Board"};
    logIn();
    EXPECT_TRUE(hasLine("Team"));
    EXPECT_EQ(kindOf("Board"), LineKind::Function);
    int teamLine = -1;
    for (std::size_t i = 0; i < core->console().size(); ++i) {
        if (core->console().lines()[i].text == "Team") teamLine = static_cast<int>(i);
    }
    core->disconnect();
    core->executeLine(teamLine);
    EXPECT_EQ(lastLine().text, "You are not connected yet.");
    EXPECT_EQ(lastLine().kind, LineKind::Error);
}

TEST_F(SessionTest, PacketsArrivingInOneReadAreEachHandled) {
    server.groupFiles["Team"] = {"C:\\docs\\a.txt"};
    logIn();
    // The file list answer and a message pushed right behind it, in one piece.
    server.intercept = [this](const Packet& p) {
        if (p.opcode() != Opcode::ReqFileList) return false;
        Packet list(Opcode::RepFileList);
        list.set(proto::RepFileList::groupName, "Team");
        list.set(proto::RepFileList::count, 1);
        list.set(proto::RepFileList::path.at(0), "C:\\docs\\a.txt");
        Packet push(Opcode::PushMessage);
        push.set(proto::PushMessage::sender, "bob");
        push.set(proto::PushMessage::text, "hi");
        ByteString both(list.bytes().begin(), list.bytes().end());
        both.insert(both.end(), push.bytes().begin(), push.bytes().end());
        server.sendBytes(both);
        return true;
    };
    core->console().function("Team", "GRPFLIST");
    core->executeLine(static_cast<int>(core->console().size() - 1));
    reactor.drain();
    EXPECT_TRUE(hasLine("Received."));
    EXPECT_EQ(lastLine().text, "<bob> \"hi\"");
    EXPECT_EQ(ui.available.rows.size(), 1u);
}

TEST_F(SessionTest, FoldersOpenThroughTheShellAndFailuresAreShown) {
    logIn();
    core->runCommand(ClientCommand::WorkingFolder);
    EXPECT_THAT(opened, ElementsAre(working()));
    shellResult = 3;
    core->runCommand(ClientCommand::BackupFolder);
    EXPECT_THAT(ui.boxes,
                ElementsAre("Failed to open the file.\n\nThe specified path was not found."));
    core->runCommand(ClientCommand::Manual);
    EXPECT_EQ(lastLine().tag, "OPENWEB");
    core->executeLine(static_cast<int>(core->console().size() - 1));
    EXPECT_EQ(opened.back(), std::string(text::ManualAddress));
}

}  // namespace
}  // namespace zelt::client::test
