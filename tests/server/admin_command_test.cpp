// zelt-server admin against the built server program, headless on a temporary data directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <memory>
#include <thread>

#include "common/console/console.h"
#include "common/platform/files.h"
#include "common/platform/local_socket.h"
#include "common/platform/tcp.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"
#include "server/core/repository/version_store.h"
#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"
#include "server/core/store/settings_files.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_peer.h"

namespace zelt::server {
namespace {

using nlohmann::json;
using proto::Opcode;
using proto::Packet;
using test::Finished;
using test::TempDir;
using test::TestPeer;

const std::string kSeparator(Console::Separator);

class AdminCommandTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(writePort(dir.file("Comm.zelt"), port)); }

    void startServer() {
        server = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{ZELT_SERVER_BINARY, "--headless", "--data-dir", dir.path()});
        ASSERT_NE(server->waitForLine("Server is ready at"), "") << server->output();
    }

    // zelt-server admin --data-dir DIR words..., with input on its standard input; before is put
    // in front of the program (to run it as another user).
    Finished admin(const std::vector<std::string>& words, const std::string& input = "",
                   std::vector<std::string> before = {}) {
        before.insert(before.end(), {ZELT_SERVER_BINARY, "admin", "--data-dir", dir.path()});
        before.insert(before.end(), words.begin(), words.end());
        return test::runToEnd(before, input);
    }

    // The server's own console went on with a line of this text.
    bool consoleShows(const std::string& text) {
        const std::string line = server->waitForLine("\t" + text, 3000);
        return line.size() >= text.size() && line.substr(line.size() - text.size()) == text;
    }

    std::unique_ptr<TestPeer> logIn(const std::string& name, const std::string& password) {
        auto peer = std::make_unique<TestPeer>(reactor, port);
        Packet login(Opcode::ReqLogin);
        login.set(proto::ReqLogin::userName, name);
        login.set(proto::ReqLogin::password, scramble::scramble(password));
        peer->send(login);
        EXPECT_EQ(peer->expect(Opcode::RepLogin).get(proto::RepLogin::result), 1);
        return peer;
    }

    static void addAccount(AccountTable& accounts, const std::string& name) {
        auto r = accounts.record(static_cast<std::size_t>(accounts.findFree()));
        r.set(AccountRecord::state, StateEnabled);
        r.set(AccountRecord::userName, name);
        r.set(AccountRecord::password, scramble::scramble("pw"));
    }

    std::string socketPath() const { return dir.file("admin.sock"); }

    TempDir dir;
    const unsigned short port = test::freePort();
    PollReactor reactor;
    std::unique_ptr<test::ChildProcess> server;
};

TEST_F(AdminCommandTest, AccountsAndGroupsMadeByTheCommandAreOnTheConsoleOnDiskAndInUse) {
    startServer();
    const Finished made = admin({"account", "add", "anna", "--name", "Anna Berg"}, "secret\n");
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, "User 'anna' created, enabled.\n");
    EXPECT_TRUE(consoleShows("User 'anna' created, enabled."));
    // Saved before the command ended.
    AccountTable accounts;
    accounts.load(dir.file("Accounts.zelt"));
    const int anna = accounts.findByUserName("anna");
    ASSERT_GE(anna, 0);
    EXPECT_EQ(accounts.record(anna).get(AccountRecord::name), "Anna Berg");
    EXPECT_EQ(accounts.record(anna).get(AccountRecord::password), scramble::scramble("secret"));

    // Refused in the words of the dialog's message box, with nothing done or printed.
    const Finished twice = admin({"account", "add", "ANNA"}, "other\n");
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(twice.err, "User 'ANNA' is already exist.\n");
    EXPECT_EQ(twice.out, "");
    const Finished noPassword = admin({"account", "add", "bob"});
    EXPECT_EQ(noPassword.status, 1);
    EXPECT_EQ(noPassword.err, "Please enter the password.\n");

    const auto client = logIn("anna", "secret");
    EXPECT_EQ(admin({"group", "add", "Dev"}).out, "Group 'Dev' created, enabled.\n");
    // The User List offers accounts under their own names.
    EXPECT_EQ(admin({"group", "users", "Dev", "add", "ANNA"}).out,
              "Group 'Dev' changed, enabled.\n");
    const Finished stranger = admin({"group", "users", "Dev", "add", "zoe"});
    EXPECT_EQ(stranger.status, 1);
    EXPECT_EQ(stranger.err, "User 'zoe' does not exist.\n");
    // A member is connected now: the warnings of opening the dialog come first.
    const std::string plan = dir.file("plan.txt");
    test::writeAll(plan, "v1");
    const Finished files = admin({"group", "files", "Dev", "add", plan});
    EXPECT_EQ(files.out,
              "1 member user(s) connected, 0 member file(s) checked out currently.\n"
              "You are not safe to edit this group. To edit safely, shut down server first.\n"
              "Group 'Dev' changed, enabled.\n");
    EXPECT_TRUE(
        consoleShows("You are not safe to edit this group. To edit safely, shut down "
                     "server first."));

    const Finished shown = admin({"--json", "group", "show", "dev"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const json data = json::parse(shown.out).at("data");
    EXPECT_EQ(data.at("name"), "Dev");
    EXPECT_EQ(data.at("users"), json::array({"anna"}));
    EXPECT_EQ(data.at("files").at(0).at("path"), plan);
    GroupTable groups;
    groups.load(dir.file("Groups.zelt"));
    EXPECT_TRUE(groups.isMember(0, "anna"));
    EXPECT_EQ(groups.fileEntry(0, 0).get(FileEntry::path), plan);
}

TEST_F(AdminCommandTest, CheckOutsAreListedVoidedAndRestoredAndAShutDownIsBroadcast) {
    const std::string plan = dir.file("plan.txt");
    const std::string old = dir.file("old.txt");
    test::writeAll(plan, "kept version");
    AccountTable accounts;
    addAccount(accounts, "anna");
    addAccount(accounts, "bob");
    ASSERT_TRUE(accounts.save(dir.file("Accounts.zelt")));
    GroupTable groups;
    auto dev = groups.record(0);
    dev.set(GroupRecord::state, StateEnabled);
    dev.set(GroupRecord::name, "Dev");
    dev.set(GroupRecord::members.at(0), "anna");
    dev.set(GroupRecord::members.at(1), "bob");
    groups.fileEntry(0, 0).set(FileEntry::path, plan);
    // A lock forgotten long ago.
    groups.fileEntry(0, 1).set(FileEntry::path, old);
    groups.fileEntry(0, 1).set(FileEntry::checkedOut, 1);
    groups.fileEntry(0, 1).set(FileEntry::holder, "bob");
    groups.fileEntry(0, 1).set(FileEntry::checkOutTime, "2001/01/01 [10:00]");
    ASSERT_TRUE(groups.save(dir.file("Groups.zelt")));
    // A version whose comment a client wrote: a line break and a terminal control sequence.
    SystemClock clock;
    ASSERT_NE(files::createFolder(dir.file("Files")), files::FolderResult::Failed);
    VersionStore versions(dir.file("Files"), clock);
    ASSERT_NE(files::createFolder(versions.folderOf(plan)), files::FolderResult::Failed);
    const auto stamp = versions.makeVersion(plan, plan, "anna", "first\nsecond \x1b[2J");
    ASSERT_TRUE(stamp.has_value());
    test::writeAll(plan, "latest");

    startServer();
    const auto anna = logIn("anna", "pw");
    Packet checkOut(Opcode::ReqCheckOut);
    checkOut.set(proto::ReqCheckOut::path, plan);
    anna->send(checkOut);
    EXPECT_EQ(anna->expect(Opcode::RepCheckOut).get(proto::RepCheckOut::status),
              proto::RepCheckOut::kCheckedOut);

    // Only the old lock, with who holds it and since when.
    EXPECT_EQ(admin({"checkouts", "--older-than", "30"}).out,
              kSeparator + "\nChecked-out files held longer than 30 day(s):\nDev::" + old +
                  "\n    checked-out by bob at 2001/01/01 [10:00]\n");
    EXPECT_EQ(admin({"checkouts"}).out,
              kSeparator + "\nChecked-out files:\nDev::" + plan + "\nDev::" + old + "\n");

    // Voided as from the File Properties window: the holder is told, and the disk has it.
    const Finished voided = admin({"file", "void", plan});
    EXPECT_EQ(voided.status, 0) << voided.err;
    EXPECT_EQ(anna->expect(Opcode::PushCheckOutVoided).get(proto::PushCheckOutVoided::path), plan);
    groups.load(dir.file("Groups.zelt"));
    EXPECT_EQ(groups.fileEntry(0, 0).get(FileEntry::checkedOut), 0);
    const Finished again = admin({"file", "void", plan});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "File '" + plan + "' is not checked-out.\n");

    // The comment is shown line by line, and its control sequence cannot reach the terminal.
    const std::string shown = admin({"file", "show", plan}).out;
    EXPECT_NE(shown.find("This file is included in Dev\nVersions\n    " + *stamp + "\n"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("\n        anna\n        \n        first\n        second \\x1B[2J\n"),
              std::string::npos)
        << shown;

    // A stamp names a version of this file only, never a path elsewhere.
    const Finished outside = admin({"file", "restore", plan, "../../../" + *stamp});
    EXPECT_EQ(outside.status, 1);
    EXPECT_EQ(outside.err,
              "Failed to replace the latest version file with the selected backup file. (2)\n");
    const Finished restored = admin({"file", "restore", plan, *stamp});
    EXPECT_EQ(restored.out, "Latest version file has replaced with the selected backup file.\n");
    EXPECT_EQ(test::readAll(plan), "kept version");

    EXPECT_EQ(admin({"shutdown", "5"}).out,
              "Server will be shut down in 5 minute(s).\nCancel shut down schedule.\n");
    EXPECT_EQ(anna->expect(Opcode::PushBroadcast).get(proto::PushBroadcast::text),
              "Server will be shut down in 5 minute(s).");
    EXPECT_EQ(admin({"shutdown", "cancel"}).out, "Shut down canceled.\n");
    EXPECT_EQ(anna->expect(Opcode::PushBroadcast).get(proto::PushBroadcast::text),
              "Shut down canceled.");
    EXPECT_TRUE(consoleShows("Shut down canceled."));

    // Once communication is closed nothing can be scheduled or sent: refused, not "done".
    EXPECT_EQ(admin({"shutdown", "now"}).status, 0);
    for (const auto& words : {std::vector<std::string>{"shutdown", "5"},
                              std::vector<std::string>{"send", "anna", "hello"}}) {
        const Finished refused = admin(words);
        EXPECT_EQ(refused.status, 1) << words[0];
        EXPECT_EQ(refused.err, "Communication is closed.\n") << words[0];
    }
}

TEST_F(AdminCommandTest, ExitStatusesAndWhoMayUseTheSocket) {
    const Finished help = admin({"account", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("NAME\n       zelt-server admin account - ", 0), 0u) << help.out;
    const Finished usage = admin({"account", "add"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("usage: zelt-server admin account add USER"), std::string::npos);
    const Finished none = admin({"status"});
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(none.err, "No ZELT server is running on the data directory " + dir.path() + ".\n");

    startServer();
    struct stat st {};
    ASSERT_EQ(::stat(socketPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(admin({"status"}).status, 0);

    // The notice window drops the lines that do not fit; the command refuses instead.
    const Finished tooLong =
        admin({"notice", "set", "-"}, std::string(600, 'a') + "\n" + std::string(600, 'b') + "\n");
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_EQ(tooLong.err,
              "The notice is too long: its lines may hold 1024 characters, each line "
              "counting one more.\n");
    EXPECT_EQ(admin({"notice", "show"}).out,
              "[ ] Send notice when a user connected successfully\n");

    if (::geteuid() == 0 && files::isFile("/usr/bin/setpriv")) {
        const std::vector<std::string> asNobody = {"/usr/bin/setpriv", "--reuid=nobody",
                                                   "--regid=nogroup", "--clear-groups"};
        const Finished denied = admin({"status"}, "", asNobody);
        EXPECT_EQ(denied.status, 1);
        EXPECT_NE(denied.err.find("cannot be reached: Permission denied"), std::string::npos)
            << denied.err;
        // Past the file's mode the server itself turns another user away, before any request.
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        ASSERT_EQ(::chmod(socketPath().c_str(), 0666), 0);
        const Finished closed = admin({"account", "add", "eve"}, "pw\n", asNobody);
        EXPECT_EQ(closed.status, 1);
        EXPECT_NE(closed.err.find("closed the connection without answering"), std::string::npos)
            << closed.err;
        AccountTable accounts;
        accounts.load(dir.file("Accounts.zelt"));
        EXPECT_LT(accounts.findByUserName("eve"), 0);
    } else {
        std::printf("not root: the other user's part is left out\n");
    }

    // A socket left by a server that died answers nobody; the next server replaces it.
    server->signal(SIGKILL);
    server->wait();
    EXPECT_EQ(::access(socketPath().c_str(), F_OK), 0);
    EXPECT_EQ(admin({"status"}).status, 3);
    startServer();
    EXPECT_EQ(admin({"sessions"}).out, kSeparator + "\nLogged in users:\n");
    server->signal(SIGTERM);
    EXPECT_EQ(server->wait(), 0);
    EXPECT_NE(::access(socketPath().c_str(), F_OK), 0);
}

// Sends raw bytes on the administration socket and reads the answer line.
std::string rawExchange(const std::string& path, const std::string& bytes) {
    const local::SocketResult r = local::connectTo(path, 5000);
    if (r.handle == kNoHandle) return "no connection";
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const tcp::IoResult w = tcp::sendSome(r.handle, bytes.data() + sent, bytes.size() - sent);
        if (!w.ok()) break;
        sent += w.bytes;
    }
    std::string in;
    char buffer[4096];
    while (in.find('\n') == std::string::npos) {
        const tcp::IoResult got = tcp::recvSome(r.handle, buffer, sizeof buffer);
        if (!got.ok()) break;
        in.append(buffer, got.bytes);
    }
    tcp::closeSocket(r.handle);
    return in;
}

TEST_F(AdminCommandTest, ACommandIsAnsweredPromptlyWhateverClientsAndOtherPeersDo) {
    constexpr int kClients = 200;
    AccountTable accounts;
    for (int i = 0; i < kClients; ++i) addAccount(accounts, "u" + std::to_string(i));
    ASSERT_TRUE(accounts.save(dir.file("Accounts.zelt")));
    startServer();

    // Bad requests get an error answer; the server goes on.
    const json garbage = json::parse(rawExchange(socketPath(), "hello\n"));
    EXPECT_EQ(garbage.at("status"), "error");
    const json unknown =
        json::parse(rawExchange(socketPath(), R"({"version":1,"command":"format disk"})"
                                              "\n"));
    EXPECT_EQ(unknown.at("reason"), "unknown command \"format disk\"");
    const json huge = json::parse(rawExchange(socketPath(), std::string(300 * 1024, 'x')));
    EXPECT_EQ(huge.at("status"), "error");

    // A peer that says nothing and one that stops halfway hold nobody up.
    const local::SocketResult silent = local::connectTo(socketPath(), 5000);
    const local::SocketResult half = local::connectTo(socketPath(), 5000);
    ASSERT_NE(silent.handle, kNoHandle);
    ASSERT_NE(half.handle, kNoHandle);
    ASSERT_TRUE(tcp::sendSome(half.handle, "{\"version\":1,", 13).ok());

    // Every client asks again as soon as it is answered.
    std::atomic<int> loggedIn{0};
    std::atomic<long> exchanges{0};
    std::atomic<bool> stop{false};
    std::thread load([&] {
        PollReactor loadReactor;
        std::vector<std::unique_ptr<TestPeer>> clients;
        for (int i = 0; i < kClients; ++i) {
            clients.push_back(std::make_unique<TestPeer>(loadReactor, port));
            Packet login(Opcode::ReqLogin);
            login.set(proto::ReqLogin::userName, "u" + std::to_string(i));
            login.set(proto::ReqLogin::password, scramble::scramble("pw"));
            clients.back()->send(login);
            if (clients.back()->expect(Opcode::RepLogin).get(proto::RepLogin::result) == 1) {
                ++loggedIn;
            }
            clients.back()->send(Packet(Opcode::ReqGroupList));
        }
        while (!stop) {
            loadReactor.runOnce(5);
            for (auto& client : clients) {
                while (!client->inbox().empty()) {
                    client->inbox().pop_front();
                    ++exchanges;
                    client->send(Packet(Opcode::ReqKeepAlive));
                }
            }
        }
    });
    SystemClock clock;
    const Millis deadline = clock.monotonic() + 20000;
    while ((loggedIn < kClients || exchanges < 1000) && clock.monotonic() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const long before = exchanges;
    const Finished status = admin({"status"});
    const long during = exchanges - before;
    stop = true;
    load.join();

    EXPECT_EQ(loggedIn, kClients);
    EXPECT_EQ(status.status, 0) << status.err;
    EXPECT_NE(status.out.find("200 user(s) currently connected."), std::string::npos);
    EXPECT_LT(status.took, 1000) << "the command took " << status.took << " ms";
    EXPECT_GT(during, 0);
    std::printf("status answered in %lld ms among %d busy clients (%ld exchanges meanwhile)\n",
                static_cast<long long>(status.took), kClients, during);
    tcp::closeSocket(silent.handle);
    tcp::closeSocket(half.handle);
}

}  // namespace
}  // namespace zelt::server
