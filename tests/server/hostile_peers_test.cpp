// The built server program against peers that misbehave on purpose: floods, clients that never
// read, crowds that never log in, and a descriptor limit smaller than the connection table.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "common/platform/poll_reactor.h"
#include "common/protocol/layouts.h"
#include "common/scramble/scramble.h"
#include "server/core/relay/message_relay.h"
#include "server/core/store/account_table.h"
#include "server/core/store/settings_files.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_peer.h"

namespace zelt::server {
namespace {

using proto::Opcode;
using proto::Packet;
using test::TempDir;

constexpr std::uint32_t kLoopback = 0x7F000001;

// A line of /proc/PID/status in kB.
long statusKb(pid_t pid, const std::string& field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    }
    return -1;
}

// User and system time of a process so far, in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold spaces; the fields counted here come after its parenthesis.
    std::istringstream rest(all.substr(all.rfind(')') + 2));
    std::string field;
    long utime = 0;
    long stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

// The descriptors this test process may open, raised as far as allowed.
rlim_t raiseOwnLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    return limit.rlim_cur;
}

Packet logInPacket(const std::string& name) {
    Packet p(Opcode::ReqLogin);
    p.set(proto::ReqLogin::userName, name);
    p.set(proto::ReqLogin::password, scramble::scramble("secret"));
    return p;
}

Packet messageTo(const std::string& recipients, const std::string& text) {
    Packet p(Opcode::ReqSendMessage);
    p.set(proto::ReqSendMessage::recipients, recipients);
    p.set(proto::ReqSendMessage::text, text);
    return p;
}

// Logs in on a blocking socket and reads the answer, and nothing after it.
bool rawLogIn(Handle socket, const std::string& name) {
    if (!test::writeWhole(socket, logInPacket(name).bytes())) return false;
    timeval wait{5, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    std::vector<std::uint8_t> reply(Packet(Opcode::RepLogin).size());
    std::size_t got = 0;
    while (got < reply.size()) {
        const ssize_t n = ::recv(socket, reply.data() + got, reply.size() - got, 0);
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return Packet::received(reply, reply.size()).get(proto::RepLogin::result) == 1;
}

// A data directory with enabled accounts of these names, all with the password "secret", and
// the server program started headless on it, optionally under a descriptor limit.
class HostilePeersTest : public ::testing::Test {
protected:
    void start(const std::vector<std::string>& names, int descriptorLimit = 0) {
        port = test::freePort();
        ASSERT_TRUE(writePort(dir.file("Comm.zelt"), port));
        AccountTable accounts;
        for (std::size_t i = 0; i < names.size(); ++i) {
            auto r = accounts.record(i);
            r.set(AccountRecord::state, StateEnabled);
            r.set(AccountRecord::userName, names[i]);
            r.set(AccountRecord::password, scramble::scramble("secret"));
        }
        ASSERT_TRUE(accounts.save(dir.file("Accounts.zelt")));
        std::vector<std::string> argv{ZELT_SERVER_BINARY, "--headless", "--data-dir", dir.path()};
        if (descriptorLimit > 0) {
            // Both limits, so that the server cannot raise its own past it.
            argv.insert(argv.begin(), {"/bin/sh", "-c",
                                       "ulimit -n " + std::to_string(descriptorLimit) +
                                           " && exec \"$0\" \"$@\""});
        }
        server = std::make_unique<test::ChildProcess>(argv);
        ASSERT_NE(server->waitForLine("Server is ready at"), "") << server->output();
    }

    // Logs a user in as a client would and sees a keep-alive answered; the time it took.
    Millis logInAndKeepAlive(const std::string& name) {
        const auto began = std::chrono::steady_clock::now();
        test::TestPeer peer(reactor, port);
        peer.send(logInPacket(name));
        EXPECT_EQ(peer.expect(Opcode::RepLogin, 5000).get(proto::RepLogin::result), 1);
        peer.send(Packet(Opcode::ReqKeepAlive));
        peer.expect(Opcode::RepKeepAlive);
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - began)
            .count();
    }

    // Reads what the server printed for a while, so that its output never fills the pipe.
    void readOutputFor(Millis ms) { server->waitForLine("\x01", ms); }

    TempDir dir;
    std::uint16_t port = 0;
    PollReactor reactor;
    std::unique_ptr<test::ChildProcess> server;
};

TEST_F(HostilePeersTest, FloodedWithMessagesAndPushesForAClientThatNeverReadsMemoryStaysBounded) {
    std::vector<std::string> names{"anna", "flood"};
    for (int i = 0; i < 300; ++i) names.push_back("s" + std::to_string(i));
    start(names);
    readOutputFor(200);
    const long before = statusKb(server->pid(), "VmRSS");

    // One user writes messages to the administrator as fast as the server takes them.
    const Handle flood = test::connectLoopback(port);
    ASSERT_TRUE(rawLogIn(flood, "flood"));
    ::fcntl(flood, F_SETFL, ::fcntl(flood, F_GETFL, 0) | O_NONBLOCK);
    std::vector<std::uint8_t> batch;
    for (int i = 0; i < 64; ++i) {
        const Packet m = messageTo("admin", "flood " + std::to_string(i));
        batch.insert(batch.end(), m.bytes().begin(), m.bytes().end());
    }
    std::size_t written = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < until) {
        const ssize_t n = ::send(flood, batch.data(), batch.size(), MSG_NOSIGNAL);
        if (n > 0) written += static_cast<std::size_t>(n);
        readOutputFor(5);
    }
    EXPECT_GT(written, 64u * 1024);
    const long afterFlood = statusKb(server->pid(), "VmRSS");

    // Three hundred users send to a client that reads nothing after its log-in: more than the
    // server's bound and the system's socket buffers together hold.
    const Handle anna = test::connectLoopback(port, 0, 4096);
    ASSERT_TRUE(rawLogIn(anna, "anna"));
    std::vector<Handle> senders;
    for (int i = 0; i < 300; ++i) {
        senders.push_back(test::connectLoopback(port));
        ASSERT_TRUE(rawLogIn(senders.back(), "s" + std::to_string(i)));
    }
    std::vector<std::uint8_t> toAnna;
    for (int i = 0; i <= MessageRelay::MessageBurst; ++i) {
        const Packet m = messageTo("anna", std::string(200, 'x'));
        toAnna.insert(toAnna.end(), m.bytes().begin(), m.bytes().end());
    }
    for (Handle s : senders) ASSERT_TRUE(test::writeWhole(s, toAnna));
    const std::string dropped = server->waitForLine("User 'anna' disconnected", 10000);
    EXPECT_NE(dropped.find("it left what the server sent it unread."), std::string::npos)
        << server->output().substr(server->output().size() > 2000 ? server->output().size() - 2000
                                                                  : 0);
    readOutputFor(500);
    const long afterPushes = statusKb(server->pid(), "VmRSS");
    std::printf("VmRSS kB: start %ld, after the flood %ld, after the pushes %ld\n", before,
                afterFlood, afterPushes);
    EXPECT_LT(afterFlood - before, 16 * 1024);
    EXPECT_LT(afterPushes - before, 32 * 1024);
    // The others are still served.
    EXPECT_LT(logInAndKeepAlive("s0"), 2000);

    for (Handle s : senders) ::close(s);
    ::close(anna);
    ::close(flood);
}

// Keeps about count connections from one address that never log in, opening a new one for
// each the server closes, until stopped.
class Crowd {
public:
    Crowd(std::uint16_t port, std::uint32_t address, std::size_t count)
        : port_(port), address_(address), thread_([this, count] { run(count); }) {}
    ~Crowd() {
        stop_ = true;
        thread_.join();
    }
    int reconnections() const { return reconnections_; }

private:
    Handle open() const {
        const Handle s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(address_);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port_);
        to.sin_addr.s_addr = htonl(kLoopback);
        if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            if (s >= 0) ::close(s);
            return kNoHandle;
        }
        (void)::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
        return s;
    }
    void run(std::size_t count) {
        std::vector<pollfd> fds;
        for (std::size_t i = 0; i < count; ++i) fds.push_back({open(), POLLIN, 0});
        while (!stop_) {
            if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
            for (pollfd& p : fds) {
                if (p.revents == 0) continue;
                char byte;
                if (p.fd >= 0 && ::recv(p.fd, &byte, 1, 0) > 0) continue;
                if (p.fd >= 0) ::close(p.fd);
                p.fd = open();
                p.revents = 0;
                ++reconnections_;
            }
        }
        for (pollfd& p : fds) {
            if (p.fd >= 0) ::close(p.fd);
        }
    }

    std::uint16_t port_;
    std::uint32_t address_;
    std::atomic<bool> stop_{false};
    std::atomic<int> reconnections_{0};
    std::thread thread_;
};

TEST_F(HostilePeersTest, AUserLogsInAtOnceWhileAThousandConnectionsNeverLogInAndKeepComingBack) {
    if (raiseOwnLimit() < 1200) GTEST_SKIP() << "this test needs 1200 descriptors";
    start({"anna"});
    Millis slowest = 0;
    int attempts = 0;
    {
        Crowd crowd(port, 0x7F000002, 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        for (; attempts < 5; ++attempts) {
            slowest = std::max(slowest, logInAndKeepAlive("anna"));
            readOutputFor(300);
        }
        std::printf("slowest log-in %lld ms; the crowd reconnected %d times\n",
                    static_cast<long long>(slowest), crowd.reconnections());
        EXPECT_GT(crowd.reconnections(), 500);
    }
    EXPECT_LT(slowest, 3000);
    EXPECT_EQ(server->output().find("User connection full."), std::string::npos);
}

TEST_F(HostilePeersTest, UnderADescriptorLimitBelowTheTableTheServerServesAndIdles) {
    if (raiseOwnLimit() < 1400) GTEST_SKIP() << "this test needs 1400 descriptors";
    start({"anna"}, 1024);
    EXPECT_NE(server->output().find("User connections are limited to 896"), std::string::npos)
        << server->output();
    // More connections than the server may open descriptors, from 40 addresses, none of which
    // logs in or goes away.
    std::vector<Handle> crowd;
    for (std::uint32_t address = 2; address < 42; ++address) {
        for (int i = 0; i < 28; ++i) {
            crowd.push_back(test::connectLoopback(port, 0x7F000000 + address));
            ASSERT_NE(crowd.back(), kNoHandle);
        }
    }
    readOutputFor(1000);
    const long ticksBefore = cpuTicks(server->pid());
    const auto began = std::chrono::steady_clock::now();
    EXPECT_LT(logInAndKeepAlive("anna"), 2000);
    readOutputFor(2000);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const double busy =
        static_cast<double>(cpuTicks(server->pid()) - ticksBefore) / ::sysconf(_SC_CLK_TCK);
    std::printf("server CPU %.3f s over %.2f s with %zu connections held\n", busy, seconds,
                crowd.size());
    EXPECT_LT(busy / seconds, 0.2);
    EXPECT_EQ(server->output().find("Accepting user connection failed"), std::string::npos);
    for (Handle s : crowd) ::close(s);
}

}  // namespace
}  // namespace zelt::server
