// The built zelt program against the built server program, started headless on a temporary
// data directory: what a script sees of each command.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>

#include "client/core/client.h"
#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "common/scramble/scramble.h"
#include "server/core/repository/version_store.h"
#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"
#include "server/core/store/settings_files.h"
#include "server/core/store/store.h"
#include "tests/client/fake_ui.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace zelt::cli {
namespace {

using nlohmann::json;
using test::readAll;
using test::writeAll;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// A server with the users anna and bob (password "secret") in the group Team, whose files
// are under docs/; each user has a desk of their own: a data directory and a user folder.
class ZeltTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(files::createFolder(dir.file("docs")), files::FolderResult::Failed);
        for (const std::string& folder : {serverDir(), dataDir("anna"), dataDir("bob")}) {
            ASSERT_NE(files::createFolder(folder), files::FolderResult::Failed);
        }
        plan = dir.file("docs/plan.txt");
        big = dir.file("docs/big.bin");
        writeAll(plan, "plan v1\n");

        const server::ServerPaths paths = server::ServerPaths::under(serverDir());
        port = test::freePort();
        ASSERT_TRUE(server::writePort(paths.comm, port));
        server::AccountTable accounts;
        for (std::size_t i = 0; i < 2; ++i) {
            auto r = accounts.record(i);
            r.set(server::AccountRecord::state, server::StateEnabled);
            r.set(server::AccountRecord::userName, i == 0 ? "anna" : "bob");
            r.set(server::AccountRecord::password, scramble::scramble("secret"));
        }
        ASSERT_TRUE(accounts.save(paths.accounts));
        server::GroupTable groups;
        auto team = groups.record(0);
        team.set(server::GroupRecord::state, server::StateEnabled);
        team.set(server::GroupRecord::name, "Team");
        team.set(server::GroupRecord::members.at(0), "anna");
        team.set(server::GroupRecord::members.at(1), "bob");
        groups.fileEntry(0, 0).set(server::FileEntry::path, plan);
        groups.fileEntry(0, 1).set(server::FileEntry::path, big);
        ASSERT_TRUE(groups.save(paths.groups));

        server = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{ZELT_SERVER_BINARY, "--headless", "--data-dir", serverDir()},
            dir.file("server-errors"));
        ASSERT_NE(server->waitForLine("Server is ready at"), "") << server->output();
    }

    void TearDown() override {
        server->signal(SIGTERM);
        EXPECT_EQ(server->wait(), 0);
        ::unsetenv("ZELT_PASSWORD");
    }

    std::string serverDir() const { return dir.file("server"); }
    std::string dataDir(const std::string& user) const { return dir.file(user + "-data"); }
    std::string userDir(const std::string& user) const { return dir.file(user + "-user"); }
    std::string working(const std::string& user, const std::string& name) const {
        return userDir(user) + "/Working/" + name;
    }

    struct Result {
        int status;
        std::string out;
        std::string err;
    };

    // Runs zelt for user; the first run of a desk names the server and the user, later ones
    // find them in its Comm.zelt.
    Result zelt(const std::string& user, const std::vector<std::string>& args,
                const std::string& password = "secret", const std::string& input = "/dev/null") {
        std::vector<std::string> argv = {ZELT_BINARY, "--data-dir", dataDir(user), "--user-dir",
                                         userDir(user)};
        if (!files::isFile(dataDir(user) + "/Comm.zelt")) {
            argv.insert(argv.end(),
                        {"--server", "127.0.0.1:" + std::to_string(port), "--user", user});
        }
        argv.insert(argv.end(), args.begin(), args.end());
        ::setenv("ZELT_PASSWORD", password.c_str(), 1);
        test::ChildProcess run(argv, dir.file("errors"), input);
        const int status = run.wait(30000);
        return {status, run.output(), readAll(dir.file("errors"))};
    }

    // Who holds path as the disk says ("" when nobody does).
    std::string holderOnDisk(const std::string& path) const {
        // As the server's next start would read it: the table with its journal applied.
        const auto table = server::Store::readGroups(server::ServerPaths::under(serverDir()));
        const server::GroupTable& groups = *table;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            const auto e = groups.fileEntry(0, k);
            if (e.get(server::FileEntry::path) == path && e.get(server::FileEntry::checkedOut) == 1)
                return e.get(server::FileEntry::holder);
        }
        return "";
    }

    std::vector<std::string> serverTemp() const {
        return files::listFiles(server::ServerPaths::under(serverDir()).temp);
    }

    // Whether done() holds within a few seconds: the server handles what a client sent last
    // a moment after the client has gone.
    static bool eventually(const std::function<bool()>& done) {
        SystemClock clock;
        const Millis until = clock.monotonic() + 5000;
        while (!done()) {
            if (clock.monotonic() > until) return false;
            ::usleep(2000);
        }
        return true;
    }

    test::TempDir dir;
    std::string plan;
    std::string big;
    unsigned short port = 0;
    std::unique_ptr<test::ChildProcess> server;
};

TEST_F(ZeltTest, CheckOutEditCheckInWithACommentThenCheckOutAgainAndVoid) {
    Result r = zelt("anna", {"checkout", plan});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, working("anna", "plan.txt") + "\n");
    EXPECT_EQ(readAll(working("anna", "plan.txt")), "plan v1\n");
    EXPECT_EQ(holderOnDisk(plan), "anna");

    // Later runs find the server and the user where the log-in kept them.
    writeAll(working("anna", "plan.txt"), "plan v2\n");
    r = zelt("anna", {"checkin", "-m", "Totals fixed.\nSee the second sheet.", plan});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "'" + plan + "' checked-in.\n");
    EXPECT_EQ(readAll(plan), "plan v2\n");
    EXPECT_EQ(holderOnDisk(plan), "");
    SystemClock clock;
    server::VersionStore versions(server::ServerPaths::under(serverDir()).files, clock);
    const std::vector<std::string> kept = versions.versions(plan);
    ASSERT_EQ(kept.size(), 2u);  // the original, then the new content with its comment
    EXPECT_EQ(readAll(versions.versionFile(plan, kept[0])), "plan v1\n");
    EXPECT_EQ(readAll(versions.versionFile(plan, kept[1])), "plan v2\n");
    const server::DetailBytes latest = versions.latestDetails(plan);
    const proto::ConstView details{latest};
    EXPECT_EQ(details.get(proto::DetailRecord::userName), "anna");
    EXPECT_EQ(details.get(proto::DetailRecord::comment), "Totals fixed.\nSee the second sheet.\n");
    EXPECT_EQ(readAll(userDir("anna") + "/Backup/plan.txt"), "plan v2\n");
    EXPECT_FALSE(files::isFile(working("anna", "plan.txt")));
    r = zelt("anna", {"status"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("No file currently checked-out."));

    ASSERT_EQ(zelt("anna", {"checkout", plan}).status, 0);
    writeAll(working("anna", "plan.txt"), "a change nobody wants");
    r = zelt("anna", {"void", "--yes", plan});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "'" + plan + "' check-out voided.\n");
    EXPECT_FALSE(files::isFile(working("anna", "plan.txt")));
    EXPECT_EQ(holderOnDisk(plan), "");
    EXPECT_EQ(readAll(plan), "plan v2\n");
    EXPECT_EQ(versions.versions(plan).size(), 2u);
}

TEST_F(ZeltTest, AFileHeldByAnotherUserIsRefusedWithTheHolderAndJsonTellsTheSame) {
    ASSERT_EQ(zelt("bob", {"checkout", plan}).status, 0);

    Result r = zelt("anna", {"checkout", plan});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err,
                HasSubstr("'" + plan + "' check-out failed: Already checked-out by 'bob' at "));
    EXPECT_FALSE(files::isFile(working("anna", "plan.txt")));

    r = zelt("anna", {"--json", "checkout", plan});
    EXPECT_EQ(r.status, 1);
    const json refused = json::parse(r.out);
    ASSERT_EQ(refused["files"].size(), 1u);
    EXPECT_EQ(refused["files"][0]["path"], plan);
    EXPECT_EQ(refused["files"][0]["result"], "refused");
    EXPECT_EQ(refused["files"][0]["checkedOut"], false);
    EXPECT_THAT(refused["files"][0]["reason"].get<std::string>(),
                HasSubstr("Already checked-out by 'bob' at "));

    r = zelt("anna", {"files", "Team", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const json list = json::parse(r.out);
    EXPECT_EQ(list["group"], "Team");
    ASSERT_EQ(list["files"].size(), 2u);
    EXPECT_EQ(list["files"][0]["path"], plan);
    EXPECT_EQ(list["files"][0]["holder"], "bob");
    EXPECT_THAT(list["files"][0]["since"].get<std::string>(),
                ::testing::MatchesRegex("[0-9]{4}/[0-9]{2}/[0-9]{2} \\[[0-9]{2}:[0-9]{2}\\]"));
    EXPECT_EQ(list["files"][1]["holder"], nullptr);

    r = zelt("anna", {"--json", "groups"});
    EXPECT_EQ(json::parse(r.out)["groups"], json::array({"Team"}));
}

TEST_F(ZeltTest, ARunThatCannotLogInOrStartSaysWhyByItsStatus) {
    Result r = zelt("anna", {"groups"}, "wrong");
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.err, HasSubstr("Access denied. "));
    EXPECT_EQ(r.out, "");
    r = zelt("anna", {"--json", "groups"}, "wrong");
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(json::parse(r.out)["error"].get<std::string>(), HasSubstr("Access denied. "));

    // The password can come on standard input instead.
    ::unsetenv("ZELT_PASSWORD");
    writeAll(dir.file("password"), "secret\n");
    std::vector<std::string> argv = {ZELT_BINARY,  "--data-dir",    dataDir("anna"),
                                     "--user-dir", userDir("anna"), "groups"};
    test::ChildProcess fromInput(argv, dir.file("errors"), dir.file("password"));
    EXPECT_EQ(fromInput.wait(30000), 0) << readAll(dir.file("errors"));
    EXPECT_EQ(fromInput.output(), "Team\n");

    // A client holds the data directory: nothing starts.
    ManualReactor reactor;
    client::test::FakeUi ui;
    client::ClientOptions options;
    options.places = {dataDir("anna"), userDir("anna")};
    client::ClientCore window(reactor, ui, options);
    ASSERT_TRUE(window.start());
    r = zelt("anna", {"groups"});
    EXPECT_EQ(r.status, 4);
    EXPECT_THAT(r.err, HasSubstr("is in use by another ZELT client"));

    EXPECT_EQ(zelt("anna", {"checkin", plan}).status, 2);
}

TEST_F(ZeltTest, AFileCheckedOutByZeltIsCheckedInByTheWindow) {
    ASSERT_EQ(zelt("anna", {"checkout", plan}).status, 0);
    writeAll(working("anna", "plan.txt"), "edited by zelt's user in the window's time");

    // The window program on the same desk, as its window drives its core.
    PollReactor reactor;
    client::test::FakeUi ui;
    client::test::FlowLog flows;
    client::ClientOptions options;
    options.places = {dataDir("anna"), userDir("anna")};
    options.shellOpen = [](const std::string&) { return 42; };
    client::ClientCore window(reactor, ui, options);
    window.addFlowObserver(&flows);
    client::LoginForm form;
    form.userName = "anna";
    form.password = "secret";
    form.address = {127, 0, 0, 1};
    form.port = std::to_string(port);
    ui.logins.push_back(form);
    ASSERT_TRUE(window.start());
    ASSERT_TRUE(reactor.runUntil([&] { return flows.endsOf(client::Flow::Groups) > 0; }, 10000));
    window.showWorkingFiles();
    ASSERT_EQ(ui.working.rows.size(), 1u);
    EXPECT_EQ(ui.working.rows[0].path, plan);
    window.selectWorkingFiles({0});
    ui.comments.push_back(client::CommentReply{true, {"Done in the window."}, false});
    window.checkInSelected();
    ASSERT_TRUE(reactor.runUntil([&] { return flows.endsOf(client::Flow::CheckIn) > 0; }, 10000));
    EXPECT_THAT(flows.outcomes(client::Flow::CheckIn),
                ElementsAre(std::pair{plan, client::Outcome::Done}));
    EXPECT_EQ(readAll(plan), "edited by zelt's user in the window's time");
    EXPECT_EQ(holderOnDisk(plan), "");
}

TEST_F(ZeltTest, AnInterruptedFetchLeavesNothingInWorkingNorInTheServersTemp) {
    std::string content(16 << 20, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
    writeAll(big, content);
    std::vector<std::string> argv = {ZELT_BINARY,
                                     "--data-dir",
                                     dataDir("anna"),
                                     "--user-dir",
                                     userDir("anna"),
                                     "--server",
                                     "127.0.0.1:" + std::to_string(port),
                                     "--user",
                                     "anna",
                                     "checkout",
                                     big};
    ::setenv("ZELT_PASSWORD", "secret", 1);
    test::ChildProcess run(argv, dir.file("errors"), "/dev/null");
    // The copy is on its way once it is being put together in Temp.
    SystemClock clock;
    const Millis until = clock.monotonic() + 20000;
    while (files::listFiles(userDir("anna") + "/Temp").empty() && clock.monotonic() < until) {
        ::usleep(1000);
    }
    ASSERT_FALSE(files::listFiles(userDir("anna") + "/Temp").empty());
    run.signal(SIGINT);
    EXPECT_EQ(run.wait(30000), 4);
    EXPECT_THAT(readAll(dir.file("errors")), HasSubstr("Interrupted."));
    EXPECT_FALSE(files::isFile(working("anna", "big.bin")));
    EXPECT_THAT(files::listFiles(userDir("anna") + "/Temp"), IsEmpty());
    EXPECT_TRUE(eventually([&] { return serverTemp().empty(); })) << serverTemp().front();
    // The check-out itself stands; the next fetch brings the whole file.
    EXPECT_EQ(holderOnDisk(big), "anna");
    const Result again = zelt("anna", {"fetch", big});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_TRUE(readAll(working("anna", "big.bin")) == content);
}

}  // namespace
}  // namespace zelt::cli
