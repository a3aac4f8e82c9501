// zelt-soak [clients [seconds [server-binary]]]: many logged-in clients (1000 by default) doing
// mixed work for a long time (600 s by default) against the built zelt-server --headless: every
// client, about once a second, asks for its group list, a page of the group's files, a file's
// properties, a keep-alive, or sends a message to another user. The server's resident memory is
// sampled every five seconds. At the end it prints the samples, the exchanges done, the errors
// (a reply of the wrong kind, a request left unanswered for 10 s) and the connections lost,
// and exits non-zero when there was any error or loss. Not a test: it runs for minutes.
#include <fcntl.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/platform/poll_reactor.h"
#include "common/protocol/connection.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "common/scramble/scramble.h"
#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"
#include "server/core/store/settings_files.h"
#include "tests/support/process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_peer.h"

namespace {

using namespace zelt;
using proto::Opcode;
using proto::Packet;

constexpr std::size_t kGroupSize = 100;
constexpr int kFiles = 12;
constexpr Millis kAnswerWait = 10000;

std::string userName(int i) {
    return "user" + std::to_string(i);
}
// Clients come in groups of a hundred, each group sharing its files.
std::string groupName(int i) {
    return "Team" + std::to_string(i / kGroupSize);
}

long residentKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}

void writeTables(const std::string& dir, int clients) {
    server::AccountTable accounts;
    server::GroupTable groups;
    for (int i = 0; i < clients; ++i) {
        auto a = accounts.record(static_cast<std::size_t>(i));
        a.set(server::AccountRecord::state, server::StateEnabled);
        a.set(server::AccountRecord::userName, userName(i));
        a.set(server::AccountRecord::password, scramble::scramble("pw"));
        const auto g = static_cast<std::size_t>(i) / kGroupSize;
        auto group = groups.record(g);
        group.set(server::GroupRecord::state, server::StateEnabled);
        group.set(server::GroupRecord::name, groupName(i));
        group.set(server::GroupRecord::members.at(static_cast<std::size_t>(i) % kGroupSize),
                  userName(i));
        if (i % kGroupSize == 0) {
            for (int k = 0; k < kFiles; ++k) {
                groups.fileEntry(g, static_cast<std::size_t>(k))
                    .set(server::FileEntry::path, "/srv/docs/file" + std::to_string(k) + ".txt");
            }
        }
    }
    accounts.save(dir + "/Accounts.zelt");
    groups.save(dir + "/Groups.zelt");
}

struct Totals {
    long exchanges = 0;
    long pushes = 0;
    long errors = 0;
    long lost = 0;
};

// One logged-in client: one request at a time, the next about a second after the answer.
class Client {
public:
    Client(PollReactor& reactor, std::uint16_t port, int index, int clients, Totals& totals)
        : reactor_(reactor),
          index_(index),
          clients_(clients),
          totals_(totals),
          random_(static_cast<unsigned>(index)) {
        // Each client from an address of its own, as on a network: the server limits what one
        // address may hold before logging in.
        const auto source = static_cast<std::uint32_t>(0x7F000000 + ((index / 200) << 8) +
                                                       index % 200 + 2);
        const Handle h = test::connectLoopback(port, source);
        ::fcntl(h, F_SETFL, ::fcntl(h, F_GETFL, 0) | O_NONBLOCK);
        connection_ = std::make_unique<proto::Connection>(
            reactor, h, proto::Receiver::Client,
            [this](std::span<const std::uint8_t> p) { onPacket(p); },
            [this](int) {
                if (!lost_) ++totals_.lost;
                lost_ = true;
            });
        Packet login(Opcode::ReqLogin);
        login.set(proto::ReqLogin::userName, userName(index));
        login.set(proto::ReqLogin::password, scramble::scramble("pw"));
        ask(login, Opcode::RepLogin);
    }
    ~Client() { reactor_.killTimer(this, 1); }
    bool loggedIn() const { return loggedIn_; }
    bool lost() const { return lost_; }
    // An answer waited for too long counts as an error once.
    void checkLate(Millis now) {
        if (awaiting_ != Opcode{} && now - askedAt_ > kAnswerWait && !late_) {
            late_ = true;
            ++totals_.errors;
        }
    }

private:
    void ask(const Packet& p, Opcode answer) {
        awaiting_ = answer;
        askedAt_ = reactor_.now();
        late_ = false;
        connection_->send(p.bytes());
    }
    void onPacket(std::span<const std::uint8_t> bytes) {
        const auto opcode = static_cast<Opcode>(bytes[1]);
        if (opcode == Opcode::PushMessage) {
            ++totals_.pushes;
            return;
        }
        if (opcode != awaiting_) {
            ++totals_.errors;
            return;
        }
        // A group list and a file list may come in several packets; the first answers.
        awaiting_ = Opcode{};
        if (opcode == Opcode::RepLogin) {
            loggedIn_ = bytes.size() > 2 && bytes[2] == 1;
            if (!loggedIn_) ++totals_.errors;
        } else {
            ++totals_.exchanges;
        }
        std::uniform_int_distribution<int> pause(500, 1500);
        reactor_.startTimer(this, 1, pause(random_), TimerMode::OneShot, [this] { next(); });
    }
    void next() {
        if (lost_) return;
        std::uniform_int_distribution<int> pick(0, 9);
        const int what = pick(random_);
        if (what < 2) {
            ask(Packet(Opcode::ReqGroupList), Opcode::RepGroupList);
        } else if (what < 5) {
            Packet page(Opcode::ReqFileList);
            page.set(proto::ReqFileList::groupName, groupName(index_));
            page.set(proto::ReqFileList::start, (what - 2) * 5);
            ask(page, Opcode::RepFileList);
        } else if (what < 7) {
            Packet properties(Opcode::ReqFileProperties);
            properties.set(proto::ReqFileProperties::groupName, groupName(index_));
            properties.set(proto::ReqFileProperties::path,
                           "/srv/docs/file" + std::to_string(what) + ".txt");
            ask(properties, Opcode::RepFileProperties);
        } else if (what < 9) {
            ask(Packet(Opcode::ReqKeepAlive), Opcode::RepKeepAlive);
        } else {
            std::uniform_int_distribution<int> other(0, clients_ - 1);
            Packet message(Opcode::ReqSendMessage);
            message.set(proto::ReqSendMessage::recipients, userName(other(random_)));
            message.set(proto::ReqSendMessage::text, "soak");
            ask(message, Opcode::RepSendMessage);
        }
    }

    Reactor& reactor_;
    int index_;
    int clients_;
    Totals& totals_;
    std::mt19937 random_;
    std::unique_ptr<proto::Connection> connection_;
    Opcode awaiting_{};
    Millis askedAt_ = 0;
    bool late_ = false;
    bool loggedIn_ = false;
    bool lost_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    const int clients = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 600;
    const std::string binary = argc > 3 ? argv[3] : ZELT_SERVER_BINARY;
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);

    test::TempDir dir;
    const unsigned short port = test::freePort();
    server::writePort(dir.file("Comm.zelt"), port);
    writeTables(dir.path(), clients);
    test::ChildProcess server({binary, "--headless", "--data-dir", dir.path()});
    if (server.waitForLine("Server is ready at", 30000).empty()) {
        std::fprintf(stderr, "the server did not start:\n%s\n", server.output().c_str());
        return 2;
    }

    PollReactor reactor;
    Totals totals;
    std::vector<std::unique_ptr<Client>> all;
    for (int i = 0; i < clients; ++i) {
        all.push_back(std::make_unique<Client>(reactor, port, i, clients, totals));
        // Not all at once, so that the listening queue never overflows.
        if (i % 50 == 49) reactor.runOnce(10);
    }
    reactor.runUntil(
        [&] {
            for (const auto& c : all) {
                if (!c->loggedIn() && !c->lost()) return false;
            }
            return true;
        },
        60000);
    long loggedIn = 0;
    for (const auto& c : all) loggedIn += c->loggedIn();
    std::printf("%d clients, %ld logged in; %d s of mixed work\n", clients, loggedIn, seconds);
    std::printf("%8s %12s %12s %8s %8s %6s\n", "seconds", "VmRSS kB", "exchanges", "pushes",
                "errors", "lost");

    const auto began = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() -
                                                                began)
            .count();
    };
    long atOneMinute = -1;
    long highest = 0;
    long last = 0;
    for (long mark = 0; mark <= seconds; mark += 5) {
        while (elapsed() < mark) {
            reactor.runOnce(20);
            // The server's console lines are read so that its output never blocks it.
            server.waitForLine("\x01", 1);
        }
        for (const auto& c : all) c->checkLate(reactor.now());
        last = residentKb(server.pid());
        if (mark >= 60 && atOneMinute < 0) atOneMinute = last;
        if (mark >= 60) highest = std::max(highest, last);
        std::printf("%8ld %12ld %12ld %8ld %8ld %6ld\n", mark, last, totals.exchanges,
                    totals.pushes, totals.errors, totals.lost);
        std::fflush(stdout);
    }
    if (atOneMinute > 0) {
        std::printf("memory at the end / after the first minute: %.3f; highest after it: %.3f\n",
                    static_cast<double>(last) / static_cast<double>(atOneMinute),
                    static_cast<double>(highest) / static_cast<double>(atOneMinute));
    }
    std::printf("exchanges per second: %.0f\n",
                static_cast<double>(totals.exchanges) / std::max(1, seconds));
    all.clear();
    server.signal(SIGTERM);
    server.wait(30000);
    return totals.errors == 0 && totals.lost == 0 && loggedIn == clients ? 0 : 1;
}
