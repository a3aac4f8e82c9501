// The built server program, started headless and driven over TCP.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <map>

#include "common/console/console.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"
#include "server/core/store/settings_files.h"
#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"
#include "server/headless/headless.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_peer.h"

namespace zelt::server {
namespace {

using proto::Opcode;
using proto::Packet;
using test::TempDir;

TEST(Headless, LogsInOverTcpAndEndsInOrderOnSigterm) {
    TempDir dir;
    const unsigned short port = test::freePort();
    ASSERT_TRUE(writePort(dir.file("Comm.zelt"), port));
    AccountTable accounts;
    auto anna = accounts.record(0);
    anna.set(AccountRecord::state, StateEnabled);
    anna.set(AccountRecord::userName, "anna");
    anna.set(AccountRecord::password, scramble::scramble("secret"));
    ASSERT_TRUE(accounts.save(dir.file("Accounts.zelt")));
    EXPECT_NE(files::createFolder(dir.file("Temp")), files::FolderResult::Failed);
    test::writeAll(dir.file("Temp/old.tmp"), "x");

    test::ChildProcess server({ZELT_SERVER_BINARY, "--headless", "--data-dir", dir.path()});
    const std::string ready = server.waitForLine("Server is ready at");
    ASSERT_NE(ready, "") << server.output();
    EXPECT_NE(ready.find("\tImportant\t   \tServer is ready at "), std::string::npos) << ready;
    EXPECT_NE(ready.find(", " + std::to_string(port) + " TCP/IP port."), std::string::npos);
    EXPECT_FALSE(files::isFile(dir.file("Temp/old.tmp")));

    PollReactor reactor;
    test::TestPeer peer(reactor, port);
    Packet login(Opcode::ReqLogin);
    login.set(proto::ReqLogin::userName, "ANNA");
    login.set(proto::ReqLogin::password, scramble::scramble("secret"));
    peer.send(login);
    EXPECT_EQ(peer.expect(Opcode::RepLogin).get(proto::RepLogin::result), 1);
    peer.send(Packet(Opcode::ReqKeepAlive));
    peer.expect(Opcode::RepKeepAlive);

    server.signal(SIGTERM);
    EXPECT_TRUE(peer.waitClosed());
    EXPECT_EQ(server.wait(), 0);
    EXPECT_EQ(files::fileSize(dir.file("Groups.zelt")), 8431750);
    EXPECT_EQ(files::fileSize(dir.file("Accounts.zelt")), 255000);
    EXPECT_TRUE(files::isFolder(dir.file("Files")));
}

// Every file under a folder, by its path inside it, with its bytes.
std::map<std::string, std::string> contentsOf(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string relative = std::filesystem::relative(entry.path(), folder).string();
        out[relative] = entry.is_regular_file() ? test::readAll(entry.path().string()) : "<folder>";
    }
    return out;
}

TEST(Headless, ASecondServerOnTheSameDataDirectoryRefusesAndChangesNothing) {
    TempDir dir;
    TempDir elsewhere;
    ASSERT_TRUE(writePort(dir.file("Comm.zelt"), test::freePort()));
    test::ChildProcess first({ZELT_SERVER_BINARY, "--headless", "--data-dir", dir.path()});
    ASSERT_NE(first.waitForLine("Server is ready at"), "") << first.output();
    // A copy on its way to a client of the first server.
    test::writeAll(dir.file("Temp/in-transit.tmp"), "half a file");
    const auto before = contentsOf(dir.path());

    test::ChildProcess second({ZELT_SERVER_BINARY, "--headless", "--data-dir", dir.path()},
                              elsewhere.file("errors"));
    EXPECT_EQ(second.wait(), 1);
    const std::string errors = test::readAll(elsewhere.file("errors"));
    EXPECT_NE(errors.find("The data directory " + dir.path() + " is in use by another ZELT server"),
              std::string::npos)
        << errors;
    // Neither Temp emptied nor a table written at its exit.
    EXPECT_EQ(contentsOf(dir.path()), before);

    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(), 0);
}

TEST(Headless, WithoutADisplayTheWindowIsNotOpenedAndTheProgramSaysToRunHeadless) {
#ifndef ZELT_SERVER_WINDOW
    GTEST_SKIP() << "this build of zelt-server has no window";
#else
    TempDir dir;
    TempDir elsewhere;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        ::unsetenv(variable);
    }
    test::ChildProcess program({ZELT_SERVER_BINARY, "--data-dir", dir.file("data")},
                               elsewhere.file("errors"));
    EXPECT_EQ(program.wait(), 2);
    EXPECT_EQ(test::readAll(elsewhere.file("errors")),
              "zelt-server: no display to open the window on; run zelt-server --headless "
              "instead.\n");
    EXPECT_FALSE(files::isFolder(dir.file("data")));  // nothing was started
#endif
}

TEST(Headless, DataDirectoryAndContactComeFromTheCommandLineThenTheMachineSetting) {
    TempDir dir;
    test::writeAll(dir.file("server.conf"), "# ZELT\npath=/srv/zelt/\ncontact=it@team.example\n");
    ::setenv("ZELT_SERVER_CONFIG", dir.file("server.conf").c_str(), 1);
    EXPECT_EQ(serverDataDirectory("/given"), "/given");
    EXPECT_EQ(serverDataDirectory(""), "/srv/zelt");
    EXPECT_EQ(serverContactAddress(), "it@team.example");
    ::setenv("ZELT_SERVER_CONFIG", dir.file("missing.conf").c_str(), 1);
    if (!files::isFile("/etc/zelt/server.conf")) {
        EXPECT_EQ(serverDataDirectory(""), ".");
    }
    ::unsetenv("ZELT_SERVER_CONFIG");
}

TEST(Headless, EachConsoleLineIsOneTabSeparatedOutputLine) {
    ConsoleLine line;
    line.stamp = "2007/04/28 [16:05:09]";
    line.kind = LineKind::Function;
    line.tag = "REPLYMSG";
    line.text = "<eve> \"two\nlines\tand\\ a \x01\"";
    EXPECT_EQ(StreamConsole::format(line),
              "2007/04/28 [16:05:09]\tFunction\tREPLYMSG\t<eve> \"two\\nlines\\tand\\\\ a \\x01\"\n");
    line.kind = LineKind::Plain;
    line.tag = std::string(kNoTag);
    line.text = "";
    EXPECT_EQ(StreamConsole::format(line), "2007/04/28 [16:05:09]\tPlain\t   \t\n");
}

}  // namespace
}  // namespace zelt::server
