// The client's session against the real server: log-in and its refusals, the groups and the
// notice, keep-alive in both directions, password change, and connections the server ends.
#include "client/core/ui/texts.h"
#include "tests/integration/client_server_fixture.h"

namespace zelt::integration {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ClientServerSessionTest : public ClientServerTest {};

TEST_F(ClientServerSessionTest, LogInShowsTheUsersEnabledGroupsThenTheNotice) {
    addGroup("Design", {"bob", "ANNA"}, {});
    addGroup("Finance", {"bob"}, {});
    addGroup("Old", {"anna"}, {}, server::StateDisabled);
    addGroup("Build", {"anna"}, {});
    server->notice().set(true, {"Back-ups run at noon.", "Ask Carl for disk space."});

    Desk& anna = desk("anna");
    anna.ui.logins.push_back(loginAs("anna"));
    startClient(anna);
    EXPECT_THAT(anna.lines(), ElementsAre("Connecting...", "Connected to the ZELT server.",
                                          "You are logged in as a user 'anna'.",
                                          "- - - Your Groups - - -", "Design", "Build"));
    EXPECT_EQ(anna.kindOf("Design"), LineKind::Function);
    EXPECT_TRUE(server->accounts().record(0).get(server::AccountRecord::connected) == 1);
    // The stored settings are the ones that worked, and only the owner may read them.
    client::CommSettings stored;
    stored.load(anna.dataDir + "/Comm.zelt");
    EXPECT_EQ(stored.userName(), "anna");
    EXPECT_EQ(stored.port(), server->listeningPort());

    const std::size_t at = anna.mark();
    const int alerts = anna.ui.alerts;
    reactor.advance(ClientCore::kNoticeDelay);
    EXPECT_THAT(anna.linesSince(at),
                ElementsAre("- - - Server Notice - - -", "Back-ups run at noon.",
                            "Ask Carl for disk space."));
    EXPECT_EQ(anna.ui.alerts, alerts + 1);
}

TEST_F(ClientServerSessionTest, ARefusedLogInReopensTheDialogWithTheReasonUntilOneSucceeds) {
    addAccount("carl", "secret", server::StateDisabled);
    Desk& carl = desk("carl");
    carl.ui.logins = {loginAs("carl", "wrong"), loginAs("carl"), loginAs("nobody")};
    startClient(carl);
    reactor.drain();

    EXPECT_FALSE(carl.connected());
    EXPECT_TRUE(carl.hasLine("Access denied. Password not match."));
    EXPECT_EQ(carl.kindOf("Access denied. Password not match."), LineKind::Error);
    EXPECT_TRUE(carl.hasLine("Access denied. Account is disabled by administrator."));
    EXPECT_TRUE(carl.hasLine("Access denied. User not found."));
    // Each refusal brought the dialog back with its reason, the user name kept and the
    // password to be typed again; the fourth was cancelled.
    ASSERT_EQ(carl.ui.loginsShown.size(), 4u);
    EXPECT_EQ(carl.ui.loginsShown[1].status, "Access denied. Password not match.");
    EXPECT_EQ(carl.ui.loginsShown[1].userName, "carl");
    EXPECT_EQ(carl.ui.loginsShown[1].password, "");
    EXPECT_EQ(carl.ui.loginsShown[2].status,
              "Access denied. Account is disabled by administrator.");
    EXPECT_EQ(carl.ui.loginsShown[3].status, "Access denied. User not found.");
    EXPECT_EQ(carl.ui.loginsShown[3].userName, "nobody");
    // The server let every refused connection go, and its closing is no news to the client.
    EXPECT_EQ(server->slots().openCount(), 0);
    EXPECT_FALSE(carl.hasLine("Disconnected from the ZELT server."));

    carl.ui.logins = {loginAs("anna")};
    carl.core->connect();
    reactor.drain();
    EXPECT_TRUE(carl.connected());
    EXPECT_TRUE(carl.hasLine("You are logged in as a user 'anna'."));
    EXPECT_EQ(server->slots().openCount(), 1);
}

TEST_F(ClientServerSessionTest, AnIdleClientStaysLoggedInForHours) {
    Desk& anna = logIn("anna");
    // The client's keep-alives are what keeps the server's idle check from closing it.
    reactor.advance(3 * 60 * 60 * 1000);
    EXPECT_TRUE(anna.connected());
    EXPECT_FALSE(anna.hasLine("Disconnected from the ZELT server."));
    EXPECT_GE(server->sessions().findByUserName("anna").slot, 0);
}

TEST_F(ClientServerSessionTest, AServerThatStopsAnsweringIsGivenUpOnTheThirdSilentTick) {
    Desk& anna = desk("anna");
    anna.ui.logins.push_back(loginAs("anna"));
    startClient(anna);
    ASSERT_TRUE(anna.connected());
    const Millis loggedInAt = reactor.now();
    reactor.advance(ClientCore::kNoticeDelay);  // the notice's answer is the last packet

    // The server keeps the connection but reads nothing more from it.
    const int slot = server->sessions().findByUserName("anna").slot;
    ASSERT_GE(slot, 0);
    reactor.unwatch(server->slots()[static_cast<std::size_t>(slot)].connection->handle());
    const std::size_t at = anna.mark();
    const int alerts = anna.ui.alerts;
    // Ticks every 20 s: the first notes the silence, the second asks, the third gives up.
    reactor.advance(loggedInAt + 3 * ClientCore::kKeepAlivePeriod - 1 - reactor.now());
    EXPECT_TRUE(anna.connected());
    EXPECT_THAT(anna.linesSince(at), IsEmpty());
    reactor.advance(1);
    EXPECT_FALSE(anna.connected());
    EXPECT_THAT(anna.linesSince(at),
                ElementsAre("Server not responding.", "Disconnected from the ZELT server."));
    EXPECT_EQ(anna.kindOf("Server not responding."), LineKind::Error);
    EXPECT_EQ(anna.ui.alerts, alerts + 1);
    // No more ticks once it has given up.
    reactor.advance(ClientCore::kKeepAlivePeriod * 5);
    EXPECT_EQ(anna.linesSince(at).size(), 2u);

    // The dead connection does not stand in the way of logging in again.
    anna.ui.logins.push_back(loginAs("anna"));
    anna.core->connect();
    reactor.drain();
    EXPECT_TRUE(anna.connected());
    EXPECT_EQ(server->slots().openCount(), 1);
}

TEST_F(ClientServerSessionTest, AChangedPasswordIsTheOneTheNextLogInNeeds) {
    Desk& anna = logIn("anna");
    anna.ui.passwords.push_back(client::PasswordForm{"not-it", "better", "better"});
    anna.core->accountProperties();
    reactor.drain();
    EXPECT_EQ(anna.core->console().lines().back().text,
              "Password not changed. Password not match.");

    anna.ui.passwords.push_back(client::PasswordForm{"secret", "better", "better"});
    anna.core->accountProperties();
    reactor.drain();
    EXPECT_EQ(anna.core->console().lines().back().text, "Password changed.");

    // The new password is on disk before the answer: a restarted server knows it.
    anna.core->disconnect();
    reactor.drain();
    restartServer();
    anna.ui.logins = {loginAs("anna", "secret"), loginAs("anna", "better")};
    anna.core->connect();
    reactor.drain();
    EXPECT_TRUE(anna.hasLine("Access denied. Password not match."));
    EXPECT_TRUE(anna.connected());
    EXPECT_TRUE(anna.hasLine("You are logged in as a user 'anna'."));
}

TEST_F(ClientServerSessionTest, TheNewestLogInWinsAndTheOlderClientSeesItsConnectionGo) {
    Desk& first = logIn("anna");
    Desk& second = desk("anna-elsewhere");
    second.ui.logins.push_back(loginAs("anna"));
    startClient(second);
    reactor.drain();
    EXPECT_TRUE(second.connected());
    EXPECT_FALSE(first.connected());
    EXPECT_EQ(first.core->console().lines().back().text, "Disconnected from the ZELT server.");
    EXPECT_EQ(server->slots().openCount(), 1);
}

TEST_F(ClientServerSessionTest, BroadcastsAndAShutDownReachEveryLoggedInClient) {
    Desk& anna = logIn("anna");
    Desk& bob = logIn("bob");
    server->sessions().broadcast("The server closes at six.");
    reactor.drain();
    EXPECT_EQ(anna.core->console().lines().back().text, "The server closes at six.");
    EXPECT_EQ(bob.kindOf("The server closes at six."), LineKind::Important);

    // A scheduled shut-down counts down on every desk, then closes every connection.
    const std::size_t at = anna.mark();
    server->shutdown().schedule(2);
    reactor.advance(2 * Server::CountdownPeriod);
    EXPECT_THAT(anna.linesSince(at), ElementsAre("Server will be shut down in 2 minute(s).",
                                                 "Server will be shut down in 1 minute(s).",
                                                 "Disconnected from the ZELT server."));
    EXPECT_FALSE(anna.connected());
    EXPECT_FALSE(bob.connected());
    EXPECT_TRUE(bob.hasLine("Server will be shut down in 1 minute(s)."));
}

TEST_F(ClientServerSessionTest, AClosedServerSendsTheUserBackToTheLogInDialog) {
    const LoginForm form = loginAs("anna");
    server->shutdown().shutDownNow();
    reactor.drain();
    Desk& anna = desk("anna");
    anna.ui.logins.push_back(form);
    startClient(anna);
    reactor.drain();
    const std::string failed =
        "Failed to connect to the ZELT server. Please check the IP address, port and server "
        "status.";
    EXPECT_FALSE(anna.connected());
    EXPECT_EQ(anna.kindOf(failed), LineKind::Error);
    ASSERT_EQ(anna.ui.loginsShown.size(), 2u);
    EXPECT_EQ(anna.ui.loginsShown[1].status, failed);
}

TEST_F(ClientServerSessionTest, MessagesTravelBetweenUsersAndAReplyIsAddressedToTheSender) {
    Desk& anna = logIn("anna");
    Desk& bob = logIn("bob");
    anna.core->sendMessage(client::MessageForm{"bob", "Lunch at one?", true});
    reactor.drain();
    EXPECT_EQ(anna.core->console().lines().back().text, "Message sent to 1 user(s).");
    const ConsoleLine& got = bob.core->console().lines().back();
    EXPECT_EQ(got.text, "<anna> \"Lunch at one?\"");
    EXPECT_EQ(got.tag, client::tag::ReplyMessage);
    bob.core->executeLine(static_cast<int>(bob.core->console().size() - 1));
    EXPECT_THAT(bob.ui.sendMessageWindows, ElementsAre("anna"));
}

TEST_F(ClientServerSessionTest, AFullServerLetsTheNextClientGoWithoutLoggingItIn) {
    connectionCapacity = 1;
    startServer();
    Desk& anna = logIn("anna");
    Desk& bob = desk("bob");
    bob.ui.logins.push_back(loginAs("bob"));
    startClient(bob);
    reactor.drain();
    EXPECT_FALSE(bob.connected());
    EXPECT_FALSE(bob.hasLine("You are logged in as a user 'bob'."));
    EXPECT_EQ(bob.core->console().lines().back().text, "Disconnected from the ZELT server.");
    EXPECT_TRUE(anna.connected());

    // Once anna has gone, bob gets in.
    anna.core->disconnect();
    reactor.drain();
    bob.ui.logins.push_back(loginAs("bob"));
    bob.core->connect();
    reactor.drain();
    EXPECT_TRUE(bob.connected());
}

}  // namespace
}  // namespace zelt::integration
