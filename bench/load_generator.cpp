// zelt-loadgen [seconds [rounds]]: lock-step exchanges (file-list pages and keep-alives) on 1, 64 and 512
// logged-in connections, against the server core and against an echo server on the same
// Connection and reactor. Each side runs on its own thread with its own reactor.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/echo_server.h"
#include "common/console/console.h"
#include "common/platform/poll_reactor.h"
#include "common/platform/tcp.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "common/scramble/scramble.h"
#include "server/core/server.h"
#include "server/core/ui/null_admin_ui.h"

namespace {

using namespace zelt;
using proto::Opcode;
using proto::Packet;

constexpr int kMaxUsers = 512;

// A server (the real one or the echo) on a thread of its own until stopped.
class ServerThread {
public:
    explicit ServerThread(bool echo) {
        char pattern[] = "/tmp/zelt-bench-XXXXXX";
        dataDir_ = ::mkdtemp(pattern);
        thread_ = std::thread([this, echo] { echo ? runEcho() : runServer(); });
        while (port_.load() == 0) std::this_thread::yield();
    }
    ~ServerThread() {
        stop_ = true;
        thread_.join();
        std::system(("rm -rf " + dataDir_).c_str());
    }
    std::uint16_t port() const { return port_; }

private:
    void runServer() {
        PollReactor reactor;
        Console console(reactor.clock());
        server::NullAdminUi ui;
        server::ServerOptions options;
        options.dataDir = dataDir_;
        options.listenPort = 0;
        server::Server s(reactor, console, ui, options);
        s.start();
        auto group = s.groups().record(0);
        group.set(server::GroupRecord::state, server::StateEnabled);
        group.set(server::GroupRecord::name, "Team");
        for (int i = 0; i < kMaxUsers; ++i) {
            auto account = s.accounts().record(static_cast<std::size_t>(i));
            account.set(server::AccountRecord::state, server::StateEnabled);
            account.set(server::AccountRecord::userName, "user" + std::to_string(i));
            account.set(server::AccountRecord::password, scramble::scramble("pw"));
            if (i < 100) group.set(server::GroupRecord::members.at(static_cast<std::size_t>(i)),
                                   "user" + std::to_string(i));
        }
        for (int k = 0; k < 7; ++k) {
            s.groups().fileEntry(0, static_cast<std::size_t>(k))
                .set(server::FileEntry::path, "/srv/docs/file" + std::to_string(k) + ".txt");
        }
        port_ = s.listeningPort();
        while (!stop_) reactor.runOnce(10);
        s.exit();
    }
    void runEcho() {
        PollReactor reactor;
        bench::EchoServer echo(reactor);
        port_ = echo.port();
        while (!stop_) reactor.runOnce(10);
    }

    std::string dataDir_;
    std::thread thread_;
    std::atomic<std::uint16_t> port_{0};
    std::atomic<bool> stop_{false};
};

// One logged-in client doing lock-step exchanges: page 0, page 5, keep-alive, again.
class Client {
public:
    Client(PollReactor& reactor, std::uint16_t port, int user, long* exchanges)
        : exchanges_(exchanges) {
        int error = 0;
        const Handle h = tcp::startConnect(0x7F000001, port, &error);
        connection_ = std::make_unique<proto::Connection>(
            reactor, h, proto::Receiver::Client,
            [this](std::span<const std::uint8_t>) { onReply(); }, [](int) {});
        Packet login(Opcode::ReqLogin);
        login.set(proto::ReqLogin::userName, "user" + std::to_string(user % 100));
        login.set(proto::ReqLogin::password, scramble::scramble("pw"));
        // Users past the group's hundred members log in as their own account, so that every
        // connection stays logged in (a second log-in of one user closes the first).
        if (user >= 100) login.set(proto::ReqLogin::userName, "user" + std::to_string(user));
        connection_->send(login.bytes());
    }
    bool loggedIn() const { return loggedIn_; }
    void start() { next(); }
    bool open() const { return connection_->isOpen(); }

private:
    void onReply() {
        if (!loggedIn_) {
            loggedIn_ = true;
            return;
        }
        ++*exchanges_;
        next();
    }
    void next() {
        const int step = step_++ % 3;
        if (step == 2) {
            connection_->send(Packet(Opcode::ReqKeepAlive).bytes());
            return;
        }
        Packet page(Opcode::ReqFileList);
        page.set(proto::ReqFileList::groupName, "Team");
        page.set(proto::ReqFileList::start, step == 0 ? 0 : 5);
        connection_->send(page.bytes());
    }

    std::unique_ptr<proto::Connection> connection_;
    long* exchanges_;
    bool loggedIn_ = false;
    int step_ = 0;
};

// Exchanges per second over `seconds` with n connections.
double drive(std::uint16_t port, int n, double seconds) {
    PollReactor reactor;
    long exchanges = 0;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < n; ++i) clients.push_back(std::make_unique<Client>(reactor, port, i, &exchanges));
    reactor.runUntil(
        [&] {
            for (const auto& c : clients) {
                if (!c->loggedIn()) return false;
            }
            return true;
        },
        20000);
    for (const auto& c : clients) c->start();
    SystemClock clock;
    const Millis begin = clock.monotonic();
    const long startCount = exchanges;
    const Millis end = begin + static_cast<Millis>(seconds * 1000);
    while (clock.monotonic() < end) reactor.runOnce(10);
    const double elapsed = static_cast<double>(clock.monotonic() - begin) / 1000.0;
    return static_cast<double>(exchanges - startCount) / elapsed;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    std::printf("lock-step exchanges per second, median of %d alternating rounds of %.1f s\n",
                rounds, seconds);
    std::printf("%-12s %16s %16s %8s\n", "connections", "server ex/s", "echo ex/s", "ratio");
    for (int n : {1, 64, 512}) {
        std::vector<double> server;
        std::vector<double> echo;
        for (int r = 0; r < rounds; ++r) {
            {
                ServerThread t(false);
                server.push_back(drive(t.port(), n, seconds));
            }
            {
                ServerThread t(true);
                echo.push_back(drive(t.port(), n, seconds));
            }
        }
        const double s = median(server);
        const double e = median(echo);
        std::printf("%-12d %16.0f %16.0f %8.2f\n", n, s, e, s / e);
        std::fflush(stdout);
    }
    return 0;
}
