// Start-up, exit, idle checks, the shut-down schedule and the connection table's limits.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/platform/files.h"
#include "server/core/admin/number_forms.h"
#include "tests/server/server_fixture.h"

namespace zelt::server::test {
namespace {

using proto::Opcode;
using proto::Packet;
using zelt::test::readAll;
using zelt::test::writeAll;

class LifecycleTest : public ServerFixture {};

TEST_F(LifecycleTest, FirstStartCreatesFoldersShowsLegendsOnceAndEmptiesTemp) {
    EXPECT_TRUE(files::isFolder(dir.file("Files")));
    EXPECT_TRUE(files::isFolder(dir.file("Temp")));
    EXPECT_EQ(ui.legends, 1);
    EXPECT_EQ(server->port(), 32767);
    EXPECT_EQ(server->retentionCount(), 5);
    EXPECT_EQ(console.lines().back().kind, LineKind::Important);
    EXPECT_NE(console.lines().back().text.find("TCP/IP port."), std::string::npos);

    writeAll(dir.file("Temp/ann1F.tmp"), "left by a crash");
    server->exit();
    EXPECT_TRUE(files::listFiles(dir.file("Temp")).empty());
    writeAll(dir.file("Temp/bob2A.tmp"), "left by a crash");
    startServer();
    EXPECT_EQ(ui.legends, 1);  // not the first start any more
    EXPECT_TRUE(files::listFiles(dir.file("Temp")).empty());
}

TEST_F(LifecycleTest, SettingsFilesAreReadWithTheirDefaults) {
    server->exit();
    const std::uint8_t twoBytes[] = {0x39, 0x30};  // 12345, little-endian, high bytes missing
    ASSERT_TRUE(files::writeFileAtomic(dir.file("Comm.zelt"), twoBytes, 2));
    const std::uint8_t retention[] = {20, 0, 0, 0};
    ASSERT_TRUE(files::writeFileAtomic(dir.file("Backup.zelt"), retention, 4));
    startServer();
    EXPECT_EQ(server->port(), 12345);
    EXPECT_EQ(server->retentionCount(), 20);

    // Port 0 would listen wherever the system chose while the ready line said 0.
    server->exit();
    const std::uint8_t zero[] = {0, 0, 0, 0};
    ASSERT_TRUE(files::writeFileAtomic(dir.file("Comm.zelt"), zero, 4));
    const std::size_t mark = console.size();
    startServer();
    EXPECT_EQ(server->port(), 32767);
    EXPECT_EQ(console.lines()[mark].text,
              "Comm.zelt holds the port 0, which clients cannot use; the default port 32767 is "
              "used instead.");
    EXPECT_EQ(console.lines()[mark].kind, LineKind::Error);
    EXPECT_NE(console.lines().back().text.find(", 32767 TCP/IP port."), std::string::npos);
}

TEST_F(LifecycleTest, StartUpLinesComeInOrder) {
    const std::vector<std::string> expected = {
        "- - - Group information - - -",  "You have no group.",
        "Create a new group",             "- - - Account information - - -",
        "You have no user account.",      "Create a new account",
        std::string(Console::Separator),
    };
    ASSERT_GE(console.size(), expected.size() + 1);
    EXPECT_EQ(linesSince(0).size(), expected.size() + 1);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(console.lines()[i].text, expected[i]);
    EXPECT_EQ(console.lines()[2].tag, "CRTGRP");
    EXPECT_EQ(console.lines()[5].tag, "CRTACT");
}

TEST_F(LifecycleTest, ExitSavesBothTablesAndClosesEveryConnection) {
    addAccount("anna");
    addGroup("Team", {"anna"}, {"/srv/a.txt"});
    auto peer = logIn("anna");
    server->exit();
    EXPECT_TRUE(peer->waitClosed());
    AccountTable accounts;
    accounts.load(dir.file("Accounts.zelt"));
    EXPECT_EQ(accounts.findByUserName("anna"), 0);
    GroupTable groups;
    groups.load(dir.file("Groups.zelt"));
    EXPECT_EQ(groups.fileEntry(0, 0).get(FileEntry::path), "/srv/a.txt");
    EXPECT_FALSE(server->listening());
}

TEST_F(LifecycleTest, ALooseAccountsFileIsMadeOwnerOnlyAtStartWithALine) {
    addAccount("anna");
    server->exit();
    const std::string file = dir.file("Accounts.zelt");
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);  // as a copy restored by hand may be
    const std::size_t mark = console.size();
    startServer();
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(server->accounts().findByUserName("anna"), 0);
    EXPECT_EQ(linesSince(mark)[0],
              "Accounts.zelt was readable by other users; it is now readable by its owner only.");
    EXPECT_EQ(console.lines()[mark].kind, LineKind::Important);
    // Once tight, nothing more is said.
    server->exit();
    const std::size_t again = console.size();
    startServer();
    EXPECT_EQ(linesSince(again)[0], "- - - Group information - - -");
}

TEST_F(LifecycleTest, ABusyPortIsReportedAndLeavesTheServerWithoutListening) {
    ServerOptions options;
    options.dataDir = dir.file("other");
    options.listenPort = server->listeningPort();  // taken by the first server
    Console otherConsole(reactor.clock());
    Server other(reactor, otherConsole, ui, options);
    EXPECT_EQ(other.start(), StartResult::Loaded);
    EXPECT_FALSE(other.listening());
    EXPECT_EQ(otherConsole.lines().back().text, "Windows socket failed (bind).");
    EXPECT_EQ(otherConsole.lines().back().kind, LineKind::Error);
}

TEST_F(LifecycleTest, IdleLoggedInConnectionGoesAtTheSecondCheckNotTheFirst) {
    const int anna = addAccount("anna");
    auto peer = logIn("anna");
    const std::size_t mark = console.size();
    reactor.advance(60000);  // first check: activity 1 -> 2
    EXPECT_FALSE(peer->closed());
    reactor.advance(60000);  // second check without a packet in between
    EXPECT_TRUE(peer->waitClosed());
    EXPECT_EQ(server->accounts().record(anna).get(AccountRecord::connected), 0);
    EXPECT_TRUE(linesSince(mark).empty());  // dropped without a word
}

TEST_F(LifecycleTest, KeepAlivesKeepALoggedInConnection) {
    addAccount("anna");
    auto peer = logIn("anna");
    for (int minute = 0; minute < 5; ++minute) {
        reactor.advance(40000);
        peer->send(Packet(Opcode::ReqKeepAlive));
        peer->expect(Opcode::RepKeepAlive);
        reactor.advance(20000);
    }
    EXPECT_FALSE(peer->closed());
}

TEST_F(LifecycleTest, ConnectionsThatNeverLogInGoAfterTheirDeadline) {
    auto silent = connect();
    auto chatty = connect();
    reactor.advance(Admission::LogInDeadline / 2);
    chatty->send(Packet(Opcode::ReqKeepAlive));  // activity without a log-in does not help
    EXPECT_TRUE(chatty->quiet());
    reactor.advance(Admission::LogInDeadline / 2 - Admission::SweepPeriod);
    EXPECT_FALSE(silent->closed());
    EXPECT_FALSE(chatty->closed());
    reactor.advance(Admission::SweepPeriod);
    EXPECT_TRUE(silent->waitClosed());
    EXPECT_TRUE(chatty->waitClosed());
    EXPECT_EQ(server->slots().openCount(), 0);
}

TEST_F(LifecycleTest, OneAddressHoldsOnlySoManyConnectionsWaitingForTheirLogIn) {
    addAccount("anna");
    const std::size_t mark = console.size();
    std::vector<std::unique_ptr<TestPeer>> waiting;
    for (std::size_t i = 0; i <= Admission::MaxWaitingPerAddress; ++i) {
        waiting.push_back(connect());
        reactor.drain();
    }
    // The newest took the place of the oldest.
    EXPECT_TRUE(waiting[0]->waitClosed());
    EXPECT_FALSE(waiting[1]->closed());
    EXPECT_EQ(server->slots().openCount(), static_cast<int>(Admission::MaxWaitingPerAddress));
    // Another address is not counted with it.
    const Handle other = zelt::test::connectLoopback(server->listeningPort(), 0x7F000002);
    ASSERT_NE(other, kNoHandle);
    reactor.drain();
    EXPECT_EQ(server->slots().openCount(), static_cast<int>(Admission::MaxWaitingPerAddress) + 1);
    // A user from the crowded address still gets in, and logs in.
    auto anna = logIn("anna");
    EXPECT_TRUE(waiting[1]->waitClosed());
    EXPECT_TRUE(linesSince(mark).empty());
    ::close(other);
}

TEST_F(LifecycleTest, AUserLeavingWhatItIsSentUnreadIsDisconnectedAfterTheGraceWithOneLine) {
    const int anna = addAccount("anna");
    const Handle raw = zelt::test::connectLoopback(server->listeningPort(), 0, 4096);
    ASSERT_NE(raw, kNoHandle);
    ASSERT_TRUE(zelt::test::writeWhole(raw, logInPacket("anna", "secret").bytes()));
    auto connected = [&] { return server->accounts().record(anna).get(AccountRecord::connected); };
    ASSERT_TRUE(reactor.runUntil([&] { return connected() == 1; }));
    const ConnectionSlot* slot = nullptr;
    for (std::size_t i = 0; i < server->slots().capacity(); ++i) {
        if (server->slots()[i].loggedIn()) slot = &server->slots()[i];
    }
    ASSERT_NE(slot, nullptr);
    // The administrator's messages pile up, since the client reads none of them.
    while (!slot->connection->overBound()) {
        server->messages().sendAdminMessage("anna", "Are you there?", false);
        reactor.drain();
    }
    const std::size_t mark = console.size();
    reactor.advance(SlotTable::SendGrace - 1000);
    EXPECT_EQ(connected(), 1);
    reactor.advance(1000);
    EXPECT_EQ(connected(), 0);
    EXPECT_EQ(server->slots().openCount(), 0);
    EXPECT_EQ(linesSince(mark),
              std::vector<std::string>{"User 'anna' disconnected: it left what the server sent "
                                       "it unread."});
    ::close(raw);
}

TEST_F(LifecycleTest, AConnectionResetByThePeerFreesItsSlotAndAccount) {
    const int anna = addAccount("anna");
    auto peer = logIn("anna");
    linger hard{1, 0};  // close with a reset instead of an orderly shut-down
    ::setsockopt(peer->handle(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    peer->close();
    reactor.runUntil([&] { return server->slots().openCount() == 0; });
    EXPECT_EQ(server->slots().openCount(), 0);
    EXPECT_EQ(server->accounts().record(anna).get(AccountRecord::connected), 0);
}

TEST_F(LifecycleTest, AFullTableGivesAwayTheOldestWaitingSlotAndElseRefusesWithOneLine) {
    connectionCapacity = 2;
    startServer();
    addAccount("anna");
    addAccount("bob");
    auto anna = logIn("anna");
    auto first = connect();
    reactor.drain();
    // Full, but one of the two has not logged in: the newcomer takes its slot.
    auto bob = connect();
    EXPECT_TRUE(first->waitClosed());
    bob->send(logInPacket("bob", "secret"));
    EXPECT_EQ(bob->expect(Opcode::RepLogin).get(proto::RepLogin::result), 1);

    // Full of users: refused by closing at once, with one line however many are refused.
    const std::size_t mark = console.size();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(connect()->waitClosed());
    EXPECT_EQ(linesSince(mark), std::vector<std::string>{"User connection full."});
    EXPECT_EQ(console.lines()[mark].kind, LineKind::Error);
    EXPECT_EQ(ui.notifications, std::vector<std::string>{"User connection full."});
    reactor.advance(Episode::Quiet);
    EXPECT_EQ(linesSince(mark),
              (std::vector<std::string>{
                  "User connection full.",
                  "3 user connection(s) were refused while the user connections were full."}));

    anna->close();
    reactor.runUntil([&] { return server->slots().openCount() == 1; });
    auto next = connect();
    EXPECT_TRUE(next->quiet(200));
    EXPECT_FALSE(next->closed());
    EXPECT_EQ(server->slots().openCount(), 2);
}

TEST_F(LifecycleTest, OutOfDescriptorsTheListeningSocketRestsAndTheFailuresAreToldOnce) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers probe memory through a pipe of their own: in a process left without a
    // descriptor they report faults that are not there. The normal build runs this test.
    GTEST_SKIP() << "the sanitizers need descriptors of their own";
#endif
    std::vector<std::unique_ptr<TestPeer>> peers;
    for (int i = 0; i < 3; ++i) peers.push_back(connect());
    // Every descriptor number from the lowest free one on is now past the limit, so accept()
    // fails while the three connections wait in the listening queue.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = ::dup(0);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const std::size_t mark = console.size();
    for (int turn = 0; turn < 5; ++turn) reactor.drain();
    reactor.advance(SlotTable::AcceptPause);
    for (int turn = 0; turn < 5; ++turn) reactor.drain();
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(linesSince(mark), std::vector<std::string>{"Accepting user connection failed: 24"});
    EXPECT_EQ(server->slots().openCount(), 0);

    // Once descriptors are free again the waiting connections come in at the next try.
    reactor.advance(SlotTable::AcceptPause);
    reactor.drain();
    EXPECT_EQ(server->slots().openCount(), 3);
    reactor.advance(Episode::Quiet);
    EXPECT_EQ(linesSince(mark),
              (std::vector<std::string>{
                  "Accepting user connection failed: 24",
                  "Accepting user connections failed 2 time(s) before it worked again."}));
}

TEST_F(LifecycleTest, CountdownWarnsEachMinuteAndClosesAtTheLastTick) {
    addAccount("anna");
    auto peer = logIn("anna");
    auto anonymous = connect();
    const std::size_t mark = console.size();
    // The client keeps its connection alive meanwhile, or the idle check would drop it.
    auto keepAlive = [&] {
        peer->send(Packet(Opcode::ReqKeepAlive));
        peer->expect(Opcode::RepKeepAlive);
    };
    server->shutdown().schedule(3);
    EXPECT_EQ(peer->expect(Opcode::PushBroadcast).get(proto::PushBroadcast::text),
              "Server will be shut down in 3 minute(s).");
    reactor.advance(60000);
    EXPECT_EQ(peer->expect(Opcode::PushBroadcast).get(proto::PushBroadcast::text),
              "Server will be shut down in 2 minute(s).");
    keepAlive();
    reactor.advance(60000);
    EXPECT_EQ(peer->expect(Opcode::PushBroadcast).get(proto::PushBroadcast::text),
              "Server will be shut down in 1 minute(s).");
    keepAlive();
    EXPECT_TRUE(server->listening());
    reactor.advance(60000);
    EXPECT_TRUE(peer->waitClosed());
    EXPECT_FALSE(server->listening());
    EXPECT_FALSE(server->shutdown().scheduled());
    EXPECT_TRUE(anonymous->inbox().empty());  // the broadcast goes only to logged-in users
    const std::vector<std::string> expected = {
        "Server will be shut down in 3 minute(s).", "Cancel shut down schedule.",
        "Server will be shut down in 2 minute(s).", "Cancel shut down schedule.",
        "Server will be shut down in 1 minute(s).", "Cancel shut down schedule.",
        "Communication closed.",                    "Close ZELT server.",
    };
    EXPECT_EQ(linesSince(mark), expected);
    EXPECT_EQ(console.lines().back().tag, "CLOSESRV");
    EXPECT_EQ(console.lines()[mark].kind, LineKind::Important);
    EXPECT_EQ(console.lines()[mark + 1].tag, "CNCLSHTDN");
    reactor.advance(600000);  // nothing more happens
    EXPECT_EQ(linesSince(mark).size(), expected.size());
}

TEST_F(LifecycleTest, OneMinuteClosesAtTheFirstTickAndANewScheduleReplacesTheOld) {
    server->shutdown().schedule(5);
    reactor.advance(30000);
    server->shutdown().schedule(1);  // the minute restarts from here
    reactor.advance(59999);
    EXPECT_TRUE(server->listening());
    const std::size_t mark = console.size();
    reactor.advance(1);
    EXPECT_FALSE(server->listening());
    EXPECT_EQ(linesSince(mark), (std::vector<std::string>{"Communication closed.",
                                                         "Close ZELT server."}));
}

TEST_F(LifecycleTest, CancellingTwice) {
    addAccount("anna");
    auto peer = logIn("anna");
    server->shutdown().schedule(10);
    peer->expect(Opcode::PushBroadcast);
    const std::size_t mark = console.size();
    server->shutdown().cancel();
    server->shutdown().cancel();
    EXPECT_EQ(linesSince(mark), (std::vector<std::string>{"Shut down canceled.",
                                                         "Shut down canceled already."}));
    EXPECT_EQ(console.lines()[mark].kind, LineKind::Important);
    EXPECT_EQ(console.lines()[mark + 1].kind, LineKind::Plain);
    EXPECT_EQ(peer->expect(Opcode::PushBroadcast).get(proto::PushBroadcast::text),
              "Shut down canceled.");
    reactor.advance(20 * 60000);
    EXPECT_TRUE(server->listening());
}

TEST_F(LifecycleTest, GuidanceCountsUsersAndCheckedOutFiles) {
    std::size_t mark = console.size();
    server->shutdown().showGuidance();
    EXPECT_EQ(linesSince(mark),
              (std::vector<std::string>{std::string(Console::Separator), "You are safe to shut down.",
                                        "Shut down now.", "Setup a schedule to shut down."}));

    addAccount("anna");
    const int team = addGroup("Team", {"anna"}, {"/a", "/b"});
    const int copy = addGroup("Copy", {"anna"}, {"/a"});
    server->groups().fileEntry(team, 0).set(FileEntry::checkedOut, 1);
    server->groups().fileEntry(copy, 0).set(FileEntry::checkedOut, 1);
    auto peer = logIn("anna");
    mark = console.size();
    server->shutdown().showGuidance();
    EXPECT_EQ(linesSince(mark),
              (std::vector<std::string>{std::string(Console::Separator),
                                        "1 account(s) currently logged in.",
                                        "Display connected users.",
                                        "2 file(s) currently checked-out.",
                                        "Display checked-out files.", "Shut down now.",
                                        "Setup a schedule to shut down."}));
    EXPECT_EQ(console.lines()[mark + 2].tag, "DSPLOGIN");
    EXPECT_EQ(console.lines()[mark + 4].tag, "DSPCHKOUT");

    server->shutdown().schedule(4);
    mark = console.size();
    server->shutdown().showGuidance();
    EXPECT_EQ(linesSince(mark),
              (std::vector<std::string>{std::string(Console::Separator),
                                        "Shut down will be processed in 4 minute(s).",
                                        "Cancel shut down schedule.", "Shut down now."}));
}

TEST_F(LifecycleTest, ShutDownNowDuringACountdownClosesOnce) {
    server->shutdown().schedule(2);
    server->shutdown().shutDownNow();
    const std::size_t mark = console.size();
    reactor.advance(5 * 60000);
    EXPECT_TRUE(linesSince(mark).empty());
}

TEST_F(LifecycleTest, PortChangeIsWrittenOnlyWhenItChanges) {
    std::size_t mark = console.size();
    server->settingsAdmin().changePort(32767);
    EXPECT_EQ(linesSince(mark), std::vector<std::string>{"Port not changed."});
    EXPECT_FALSE(files::isFile(dir.file("Comm.zelt")));
    server->settingsAdmin().changePort(0);
    EXPECT_EQ(console.lines().back().text,
              "Port changed. Please shut down and restart the server to apply.");
    EXPECT_EQ(readAll(dir.file("Comm.zelt")), std::string(4, '\0'));
    server->settingsAdmin().changePort(40000);
    EXPECT_EQ(readPort(dir.file("Comm.zelt")), 40000);

    EXPECT_FALSE(parsePort("0"));
    EXPECT_EQ(parsePort("1"), 1);
    EXPECT_EQ(parsePort("65535"), 65535);
    EXPECT_FALSE(parsePort("65536"));
    EXPECT_FALSE(parsePort("12a"));
    EXPECT_FALSE(parsePort(""));
    EXPECT_FALSE(parsePort("-1"));
    EXPECT_EQ(parseMinutes("60"), 60);
    EXPECT_FALSE(parseMinutes("0"));
    EXPECT_FALSE(parseMinutes("five"));
    EXPECT_FALSE(parseMinutes("99999999999"));
}

}  // namespace
}  // namespace zelt::server::test
