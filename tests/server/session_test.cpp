#include <gtest/gtest.h>

#include "common/platform/files.h"
#include "tests/server/server_fixture.h"

namespace zelt::server::test {
namespace {

using proto::Opcode;
using proto::Packet;

class SessionTest : public ServerFixture {};

TEST_F(SessionTest, RefusalsCarryTheirReasonsInCheckOrderAndCloseTheConnection) {
    addAccount("anna", "right");
    addAccount("dora", "right", StateDisabled);
    struct Case {
        const char* name;
        const char* password;
        const char* reason;
    } cases[] = {
        {"nobody", "right", "User not found."},
        {"anna", "wrong", "Password not match."},
        {"ANNA", "Right", "Password not match."},        // passwords keep their case
        {"dora", "wrong", "Password not match."},        // wrong password first, then disabled
        {"dora", "right", "Account is disabled by administrator."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "/" + c.password);
        // Long enough apart that no refusal is slowed down.
        reactor.advance(LoginThrottle::ForgetAfter + 1);
        auto peer = connect();
        peer->send(logInPacket(c.name, c.password));
        const Packet reply = peer->expect(Opcode::RepLogin);
        EXPECT_EQ(reply.get(proto::RepLogin::result), 0);
        EXPECT_EQ(reply.get(proto::RepLogin::reason), c.reason);
        EXPECT_TRUE(peer->waitClosed());
    }
    EXPECT_EQ(server->accounts().record(0).get(AccountRecord::connected), 0);
    EXPECT_EQ(server->slots().openCount(), 0);
}

TEST_F(SessionTest, GuessingIsSlowedDownWhileAnotherUserLogsInAtOnce) {
    addAccount("anna");
    addAccount("bob", "right");
    auto guess = [&](const std::string& password) {
        auto peer = connect();
        peer->send(logInPacket("bob", password));
        return peer;
    };
    auto refused = [](TestPeer& peer) {
        const Packet reply = peer.expect(Opcode::RepLogin);
        EXPECT_EQ(reply.get(proto::RepLogin::reason), "Password not match.");
        EXPECT_TRUE(peer.waitClosed());
    };
    const std::size_t mark = console.size();
    // The first few mistakes are answered at once, as typing errors are.
    for (int i = 0; i < LoginThrottle::FreeFailures; ++i) refused(*guess("wrong"));
    EXPECT_EQ(console.size(), mark);

    // Then each refusal waits longer, on its own connection only.
    auto fourth = guess("wrong");
    EXPECT_TRUE(fourth->quiet(50));
    auto anna = logIn("anna");  // the same address, at the same moment
    anna->send(Packet(Opcode::ReqGroupList));
    anna->expect(Opcode::RepGroupList);
    reactor.advance(LoginThrottle::FirstDelay);
    refused(*fourth);
    auto fifth = guess("wrong");
    reactor.advance(LoginThrottle::FirstDelay);
    EXPECT_TRUE(fifth->quiet(50));
    reactor.advance(LoginThrottle::FirstDelay);
    refused(*fifth);

    // Many connections at once buy no more guesses: past a few waiting refusals, attempts wait
    // unexamined, even one with the right password.
    std::vector<std::unique_ptr<TestPeer>> many;
    for (int i = 0; i < LoginThrottle::MaxWaiting; ++i) many.push_back(guess("wrong"));
    EXPECT_TRUE(many.back()->quiet(50));  // all of them in and waiting
    auto right = guess("right");
    EXPECT_TRUE(right->quiet(50));
    reactor.advance(LoginThrottle::MaxDelay);
    for (auto& peer : many) refused(*peer);
    EXPECT_EQ(right->expect(Opcode::RepLogin).get(proto::RepLogin::result), 1);

    // One line for the name and one for the address, however long the guessing goes on.
    EXPECT_EQ(linesSince(mark),
              (std::vector<std::string>{
                  "4 failed log-ins for user 'bob'; further log-ins for that user are answered "
                  "slower.",
                  "4 failed log-ins from 127.0.0.1; further log-ins from there are answered "
                  "slower."}));
}

TEST_F(SessionTest, ASecondLogInOfTheSameUserClosesTheFirstConnection) {
    const int anna = addAccount("anna");
    auto first = logIn("anna");
    auto second = logIn("Anna");  // the name matches without regard to case
    EXPECT_TRUE(first->waitClosed());
    EXPECT_FALSE(second->closed());
    EXPECT_EQ(server->accounts().record(anna).get(AccountRecord::connected), 1);
    EXPECT_EQ(server->slots().openCount(), 1);
    // The new connection is fully usable.
    second->send(Packet(Opcode::ReqKeepAlive));
    second->expect(Opcode::RepKeepAlive);
}

TEST_F(SessionTest, ASecondLogInOnALoggedInConnectionIsIgnored) {
    const int anna = addAccount("anna");
    addAccount("bob");
    auto peer = logIn("anna");
    peer->send(logInPacket("bob", "secret"));
    EXPECT_TRUE(peer->quiet());
    EXPECT_FALSE(peer->closed());
    EXPECT_EQ(server->sessions().userNameOf(server->slots().idOf(0)), "anna");
    EXPECT_EQ(server->accounts().record(anna).get(AccountRecord::connected), 1);
    EXPECT_EQ(server->accounts().record(1).get(AccountRecord::connected), 0);
}

TEST_F(SessionTest, NothingButLogInIsAnsweredBeforeLogIn) {
    addAccount("anna");
    auto peer = connect();
    peer->send(Packet(Opcode::ReqKeepAlive));
    peer->send(Packet(Opcode::ReqGroupList));
    peer->send(Packet(Opcode::ReqNotice));
    EXPECT_TRUE(peer->quiet());
    peer->send(logInPacket("anna", "secret"));
    peer->expect(Opcode::RepLogin);
    peer->send(Packet(Opcode::ReqKeepAlive));
    peer->expect(Opcode::RepKeepAlive);
}

TEST_F(SessionTest, GroupListNamesOnlyEnabledGroupsTheUserBelongsTo) {
    addAccount("anna");
    addGroup("Design", {"bob", "ANNA"});
    addGroup("Sales", {"bob"});
    addGroup("Old", {"anna"}, {}, StateDisabled);
    addGroup("Build", {"anna"});
    auto peer = logIn("anna");
    peer->send(Packet(Opcode::ReqGroupList));
    const Packet reply = peer->expect(Opcode::RepGroupList);
    ASSERT_EQ(reply.size(), 3u + 2 * 31);
    EXPECT_EQ(reply.get(proto::RepGroupList::count), 2);
    EXPECT_EQ(reply.get(proto::RepGroupList::names.at(0)), "Design");
    EXPECT_EQ(reply.get(proto::RepGroupList::names.at(1)), "Build");

    addAccount("zoe");
    auto lonely = logIn("zoe");
    lonely->send(Packet(Opcode::ReqGroupList));
    EXPECT_EQ(lonely->expect(Opcode::RepGroupList).size(), 3u);
}

std::vector<std::string> paths(int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back("/srv/docs/file" + std::to_string(i) + ".txt");
    return out;
}

Packet fileListPage(TestPeer& peer, const std::string& group, std::int32_t start) {
    Packet request(Opcode::ReqFileList);
    request.set(proto::ReqFileList::groupName, group);
    request.set(proto::ReqFileList::start, start);
    peer.send(request);
    return peer.expect(Opcode::RepFileList);
}

TEST_F(SessionTest, FileListsComeInPagesOfFive) {
    addAccount("anna");
    const int seven = addGroup("Seven", {"anna"}, paths(7));
    addGroup("Five", {"anna"}, paths(5));
    auto held = server->groups().fileEntry(seven, 6);
    held.set(FileEntry::checkedOut, 1);
    held.set(FileEntry::holder, "bob");
    auto peer = logIn("anna");

    Packet page = fileListPage(*peer, "seven", 0);
    EXPECT_EQ(page.size(), 1573u);
    EXPECT_EQ(page.get(proto::RepFileList::groupName), "seven");  // as requested
    EXPECT_EQ(page.get(proto::RepFileList::more), 1);
    EXPECT_EQ(page.get(proto::RepFileList::count), 5);
    EXPECT_EQ(page.get(proto::RepFileList::path.at(4)), "/srv/docs/file4.txt");
    page = fileListPage(*peer, "Seven", 5);
    EXPECT_EQ(page.get(proto::RepFileList::more), 0);
    EXPECT_EQ(page.get(proto::RepFileList::count), 2);
    EXPECT_EQ(page.get(proto::RepFileList::path.at(1)), "/srv/docs/file6.txt");
    EXPECT_EQ(page.get(proto::RepFileList::holder.at(1)), "bob");
    EXPECT_EQ(page.get(proto::RepFileList::holder.at(0)), "");
    EXPECT_EQ(page.get(proto::RepFileList::path.at(2)), "");

    page = fileListPage(*peer, "Five", 0);
    EXPECT_EQ(page.get(proto::RepFileList::more), 1);
    EXPECT_EQ(page.get(proto::RepFileList::count), 5);
    page = fileListPage(*peer, "Five", 5);
    EXPECT_EQ(page.get(proto::RepFileList::more), 0);
    EXPECT_EQ(page.get(proto::RepFileList::count), 0);

    // Out-of-range starts give empty pages.
    EXPECT_EQ(fileListPage(*peer, "Seven", -1).get(proto::RepFileList::count), 0);
    EXPECT_EQ(fileListPage(*peer, "Seven", 498).get(proto::RepFileList::count), 0);
    EXPECT_EQ(fileListPage(*peer, "Seven", 0x7FFFFFFF).get(proto::RepFileList::count), 0);
    EXPECT_EQ(fileListPage(*peer, "Nowhere", 0).get(proto::RepFileList::count), 0);
}

TEST_F(SessionTest, FileListsOfOtherPeoplesGroupsAreEmpty) {
    addAccount("anna");
    addAccount("eve");
    addGroup("Secret", {"anna"}, paths(3));
    addGroup("Shelved", {"eve"}, paths(3), StateDisabled);
    auto eve = logIn("eve");
    const Packet page = fileListPage(*eve, "Secret", 0);
    EXPECT_EQ(page.get(proto::RepFileList::count), 0);
    EXPECT_EQ(page.get(proto::RepFileList::path.at(0)), "");
    EXPECT_EQ(fileListPage(*eve, "Shelved", 0).get(proto::RepFileList::count), 0);
}

TEST_F(SessionTest, PasswordChangeIsSavedBeforeTheAnswer) {
    addAccount("anna", "old");
    auto peer = logIn("anna", "old");
    Packet change(Opcode::ReqChangePassword);
    change.set(proto::ReqChangePassword::current, scramble::scramble("wrong"));
    change.set(proto::ReqChangePassword::replacement, scramble::scramble("new"));
    peer->send(change);
    Packet reply = peer->expect(Opcode::RepChangePassword);
    EXPECT_EQ(reply.size(), 84u);
    EXPECT_EQ(reply.get(proto::RepChangePassword::result), 0);
    EXPECT_EQ(reply.get(proto::RepChangePassword::reason), "Password not match.");
    EXPECT_FALSE(peer->closed());

    change.set(proto::ReqChangePassword::current, scramble::scramble("old"));
    peer->send(change);
    reply = peer->expect(Opcode::RepChangePassword);
    EXPECT_EQ(reply.get(proto::RepChangePassword::result), 1);
    AccountTable onDisk;
    onDisk.load(server->paths().accounts);
    EXPECT_EQ(scramble::unscramble(onDisk.record(0).get(AccountRecord::password)), "new");

    auto again = connect();
    again->send(logInPacket("anna", "old"));
    EXPECT_EQ(again->expect(Opcode::RepLogin).get(proto::RepLogin::reason), "Password not match.");
    logIn("anna", "new");
}

TEST_F(SessionTest, NoticeIsSentOnlyWhenSwitchedOn) {
    addAccount("anna");
    auto peer = logIn("anna");
    server->notice().set(true, {"Maintenance on Friday.", "", "Back at noon.", "", ""});
    peer->send(Packet(Opcode::ReqNotice));
    Packet reply = peer->expect(Opcode::RepNotice);
    EXPECT_EQ(reply.size(), 1539u);
    EXPECT_EQ(reply.get(proto::RepNotice::text), "Maintenance on Friday.\n\nBack at noon.");

    server->notice().set(false, {});
    peer->send(Packet(Opcode::ReqNotice));
    reply = peer->expect(Opcode::RepNotice);
    EXPECT_EQ(reply.get(proto::RepNotice::text), "");
    // Switching off keeps the text for the next time it is switched on.
    EXPECT_EQ(server->notice().textForEditing(), "Maintenance on Friday.\r\n\r\nBack at noon.");
    const NoticeSetting stored = NoticeSetting::read(server->paths().notice);
    EXPECT_EQ(stored.sendFlag, 0);
    EXPECT_EQ(stored.textView(), "Maintenance on Friday.\n\nBack at noon.");
}

TEST(NoticeEditing, LinesBeyondTheLimitAreDroppedWhole) {
    ManualReactor reactor;
    Console console(reactor.clock());
    ScriptedUi ui;
    zelt::test::TempDir dir;
    Server server(reactor, console, ui, ServerOptions{dir.path(), 0, 4});
    // 24 lines of 41 (with their line feeds) fit in 1024; the 25th would reach 1025.
    std::vector<std::string> lines(30, std::string(40, 'n'));
    server.notice().set(true, lines);
    EXPECT_EQ(server.notice().setting().textView().size(), 24u * 41 - 1);
}

TEST(NoticeEditing, ANoticeAtTheLimitSurvivesTheWindowWholeThoughItsLineBreaksShowAsTwo) {
    ManualReactor reactor;
    Console console(reactor.clock());
    ScriptedUi ui;
    zelt::test::TempDir dir;
    Server server(reactor, console, ui, ServerOptions{dir.path(), 0, 4});
    // 1023 characters as stored; the window shows 92 more, one CR per line feed.
    std::vector<std::string> lines(92, std::string(10, 'n'));
    lines.push_back(std::string(11, 'l'));
    ASSERT_TRUE(server.notice().set(true, lines));
    const std::string stored(server.notice().setting().textView());
    ASSERT_EQ(stored.size(), 1023u);
    const std::string shown = server.notice().textForEditing();
    EXPECT_EQ(shown.size(), 1023u + 92);
    EXPECT_TRUE(noticeFitsField(shown));
    EXPECT_TRUE(noticeFitsField(shown + "\r\n\r\n"));  // empty lines at the end are dropped
    ASSERT_TRUE(server.notice().set(true, splitEditLines(shown)));
    EXPECT_EQ(server.notice().setting().textView(), stored);
    // One character more would be cut at OK, so the field does not take it.
    EXPECT_FALSE(noticeFitsField(shown + "l"));
    EXPECT_FALSE(noticeFitsField(shown + "\r\nx"));
}

}  // namespace
}  // namespace zelt::server::test
