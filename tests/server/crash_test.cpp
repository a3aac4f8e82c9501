// The built server, killed with SIGKILL while it works: what it answered must still be so after a
// restart, and its group table must be whole.
#include <gtest/gtest.h>
#include <signal.h>

#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"
#include "server/core/store/settings_files.h"
#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"
#include "server/core/store/store.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_peer.h"

namespace zelt::server::test {
namespace {

using proto::Opcode;
using proto::Packet;
using zelt::test::TempDir;
using zelt::test::TestPeer;

constexpr int kFiles = 12;

class CrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        paths = ServerPaths::under(dir.path());
        port = static_cast<std::uint16_t>(zelt::test::freePort());
        ASSERT_TRUE(writePort(paths.comm, port));
        AccountTable accounts;
        for (const char* name : {"anna", "bob"}) {
            auto r = accounts.record(static_cast<std::size_t>(accounts.findFree()));
            r.set(AccountRecord::state, StateEnabled);
            r.set(AccountRecord::userName, name);
            r.set(AccountRecord::password, scramble::scramble("secret"));
        }
        ASSERT_TRUE(accounts.save(paths.accounts));
        GroupTable groups;
        auto g = groups.record(0);
        g.set(GroupRecord::state, StateEnabled);
        g.set(GroupRecord::name, "alpha");
        g.set(GroupRecord::members.at(0), "anna");
        g.set(GroupRecord::members.at(1), "bob");
        for (int k = 0; k < kFiles; ++k) {
            groups.fileEntry(0, static_cast<std::size_t>(k)).set(FileEntry::path, file(k));
        }
        ASSERT_TRUE(groups.save(paths.groups));
    }
    void TearDown() override { kill9(); }

    std::string file(int k) const { return dir.file("f" + std::to_string(k)); }

    void start() {
        server = std::make_unique<zelt::test::ChildProcess>(
            std::vector<std::string>{ZELT_SERVER_BINARY, "--headless", "--data-dir", dir.path()});
        ASSERT_NE(server->waitForLine("Server is ready"), "") << server->output();
    }
    // SIGKILL at once: no orderly exit saves anything.
    void kill9() {
        if (!server) return;
        server->signal(SIGKILL);
        server->wait();
        server.reset();
    }

    std::unique_ptr<TestPeer> logIn(const std::string& name) {
        auto peer = std::make_unique<TestPeer>(reactor, port);
        Packet p(Opcode::ReqLogin);
        p.set(proto::ReqLogin::userName, name);
        p.set(proto::ReqLogin::password, scramble::scramble("secret"));
        peer->send(p);
        EXPECT_EQ(peer->expect(Opcode::RepLogin).get(proto::RepLogin::result), 1);
        return peer;
    }
    static Packet checkOutRequest(const std::string& path) {
        Packet p(Opcode::ReqCheckOut);
        p.set(proto::ReqCheckOut::path, path);
        return p;
    }

    TempDir dir;
    ServerPaths paths;
    std::uint16_t port = 0;
    std::unique_ptr<zelt::test::ChildProcess> server;
    PollReactor reactor;
};

TEST_F(CrashTest, ACheckOutOutlivesAKilledServer) {
    start();
    auto anna = logIn("anna");
    anna->send(checkOutRequest(file(0)));
    EXPECT_EQ(anna->expect(Opcode::RepCheckOut).get(proto::RepCheckOut::status),
              proto::RepCheckOut::kCheckedOut);
    kill9();

    start();
    auto bob = logIn("bob");
    bob->send(checkOutRequest(file(0)));
    const Packet r = bob->expect(Opcode::RepCheckOut);
    EXPECT_EQ(r.get(proto::RepCheckOut::status), proto::RepCheckOut::kRefused);
    EXPECT_EQ(r.get(proto::RepCheckOut::reason).rfind("Already checked-out by 'anna' at ", 0), 0u);
}

TEST_F(CrashTest, AKillAtAnyMomentLeavesTheGroupTableWholeWithEveryAnsweredCheckOut) {
    // Killed right after the k-th request went out: while it is handled, saved or answered.
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        start();
        auto anna = logIn("anna");
        const int first = 3 * k;
        for (int f = first; f < first + 2; ++f) {
            anna->send(checkOutRequest(file(f)));
            ASSERT_EQ(anna->expect(Opcode::RepCheckOut).get(proto::RepCheckOut::status),
                      proto::RepCheckOut::kCheckedOut);
        }
        anna->send(checkOutRequest(file(first + 2)));
        anna->quiet(k);  // 0 to 3 ms
        kill9();

        ASSERT_EQ(files::fileSize(paths.groups), static_cast<std::int64_t>(kGroupsFileSize));
        // As the next start reads it: the table with what its journal adds.
        const auto table = Store::readGroups(paths);
        const GroupTable& groups = *table;
        EXPECT_EQ(groups.record(0).get(GroupRecord::name), "alpha");
        for (int f = 0; f < first + 2; ++f) {
            if (f % 3 == 2) continue;  // sent just before a kill: held or not, either is right
            const auto e = groups.fileEntry(0, static_cast<std::size_t>(f));
            EXPECT_EQ(e.get(FileEntry::path), file(f));
            EXPECT_EQ(e.get(FileEntry::checkedOut), 1) << f;
            EXPECT_EQ(e.get(FileEntry::holder), "anna") << f;
        }
    }
}

}  // namespace
}  // namespace zelt::server::test
