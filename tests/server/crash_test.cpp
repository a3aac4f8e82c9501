// The built server, killed with SIGKILL while it works: what it answered must still be so after a
// restart, and its group table must be whole.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"
#include "server/core/settings_files.h"
#include "server/core/store.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_peer.h"

namespace zelt::server::test {
namespace {

using proto::Opcode;
using proto::Packet;
using zelt::test::TempDir;
using zelt::test::TestPeer;

constexpr int kFiles = 12;

std::uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

bool accepts(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

class CrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        paths = ServerPaths::under(dir.path());
        port = freePort();
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
        pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::execl(ZELT_SERVER_BINARY, ZELT_SERVER_BINARY, "--headless", "--data-dir",
                    dir.path().c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // The process is a black box: its start-up can only be waited for.
        for (int i = 0; i < 500 && !accepts(port); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(accepts(port)) << "the server did not start";
    }
    void kill9() {
        if (pid <= 0) return;
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
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
    pid_t pid = -1;
    PollReactor reactor;
};

TEST_F(CrashTest, ACheckOutOutlivesAKilledServer) {
    start();
    auto anna = logIn("anna");
    anna->send(checkOutRequest(file(0)));
    EXPECT_EQ(anna->expect(Opcode::RepCheckOut).get(proto::RepCheckOut::status),
              proto::RepCheckOut::kCheckedOut);
    kill9();  // at once: no orderly exit saves anything

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
        GroupTable groups;
        groups.load(paths.groups);
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
