// Throughput of the repository requests through the real server on loopback, each figure next to
// the same exchange against an echo peer that answers every request at once with a packet of the
// real answer's length. The ratio is what the server's own work leaves of the network's rate.
//
//   repository_bench [MiB [rounds]]      (default 100 MiB, 3 rounds)
//   repository_bench marks [rounds]      (default 3 rounds)
//   repository_bench stalls [MiB]        (default 400 MiB)
//
// Measures: fetch of a file (ReqFetchOpen + ReqFetchChunk), upload of it (ReqCheckInChunk) and
// its commit, and check-out + void pairs per second with 1 and with 64 clients. With "marks":
// check-out + void pairs per second and the bytes written to Groups.zelt and its journal per
// pair, with the mark journal and with a whole save of the table for every change, side by
// side in the same run. With "stalls": a bystander's keep-alive round trips while another
// client opens a download copy of a large file and commits an upload of it, with the copies
// made on the loop's thread and off it, side by side in the same run.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/echo_server.h"
#include "common/console/console.h"
#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "common/scramble/scramble.h"
#include "server/core/server.h"
#include "server/core/ui/null_admin_ui.h"

namespace {

using namespace zelt;
using proto::Opcode;
using proto::Packet;
using Steady = std::chrono::steady_clock;

constexpr int kClients = 64;
const std::string kTransferUser = "user64";
const std::string kUpload = kTransferUser + "__big.bin";

double secondsSince(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

std::size_t answerLength(Opcode request) {
    const proto::OpcodeInfo* info = proto::findOpcode(static_cast<std::uint8_t>(request));
    return proto::findOpcode(static_cast<std::uint8_t>(info->answer))->sent;
}

// A peer on its own thread and reactor: the real server, or the echo.
class Peer {
public:
    virtual ~Peer() = default;
    std::uint16_t port() const { return port_; }

protected:
    // Ends the thread; each derived destructor calls it while its members still exist.
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // Runs setup on the new thread, which returns the port, then serves until destroyed.
    template <class Setup>
    void run(Setup setup) {
        std::promise<std::uint16_t> ready;
        auto port = ready.get_future();
        thread_ = std::thread([this, setup, &ready]() mutable {
            PollReactor reactor;
            ready.set_value(setup(reactor));
            while (!stop_) reactor.runOnce(10);
            teardown();
        });
        port_ = port.get();
    }
    virtual void teardown() {}

private:
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::uint16_t port_ = 0;
};

class EchoPeer final : public Peer {
public:
    EchoPeer() {
        run([this](PollReactor& reactor) {
            echo_ = std::make_unique<bench::EchoServer>(reactor);
            return echo_->port();
        });
    }
    ~EchoPeer() override { stop(); }

private:
    void teardown() override { echo_.reset(); }

    std::unique_ptr<bench::EchoServer> echo_;
};

class ServerPeer final : public Peer {
public:
    // A server in dataDir whose users user0..user64 all belong to one group holding files; the
    // last one transfers, the others check out.
    // markJournal, copiesOnLoopThread: as in ServerOptions.
    ServerPeer(const std::string& dataDir, const std::vector<std::string>& files,
               bool markJournal = true, bool copiesOnLoopThread = false) {
        run([this, dataDir, files, markJournal, copiesOnLoopThread](PollReactor& reactor) {
            console_ = std::make_unique<Console>(reactor.clock());
            server::ServerOptions options;
            options.dataDir = dataDir;
            options.listenPort = 0;
            options.markJournal = markJournal;
            options.copiesOnLoopThread = copiesOnLoopThread;
            options.tableWriter = [this](int fd, const void* data, std::size_t size) {
                const ssize_t n = ::write(fd, data, size);
                if (n > 0) tableBytes_ += static_cast<std::uint64_t>(n);
                return n;
            };
            server_ = std::make_unique<server::Server>(reactor, *console_, ui_, options);
            if (server_->start() != server::StartResult::Loaded) {
                throw std::runtime_error("the server did not start");
            }
            populate(files);
            return server_->listeningPort();
        });
    }
    ~ServerPeer() override { stop(); }

    // Bytes written so far to the table files (whole saves, rewrites) and the group journal.
    std::uint64_t bytesWritten() const {
        return tableBytes_.load() + server_->store().groupJournal().bytesWritten();
    }

private:
    void populate(const std::vector<std::string>& files) {
        auto group = server_->groups().record(0);
        group.set(server::GroupRecord::state, server::StateEnabled);
        group.set(server::GroupRecord::name, "bench");
        for (int i = 0; i <= kClients; ++i) {
            const std::string name = "user" + std::to_string(i);
            auto account = server_->accounts().record(static_cast<std::size_t>(i));
            account.set(server::AccountRecord::state, server::StateEnabled);
            account.set(server::AccountRecord::userName, name);
            account.set(server::AccountRecord::password, scramble::scramble("secret"));
            group.set(server::GroupRecord::members.at(static_cast<std::size_t>(i)), name);
        }
        for (std::size_t k = 0; k < files.size(); ++k) {
            server_->groups().fileEntry(0, k).set(server::FileEntry::path, files[k]);
        }
        // As the dialogs leave them: what the disk holds is what the server has.
        if (!server_->saveAccounts() || !server_->saveGroups()) {
            throw std::runtime_error("the tables were not saved");
        }
    }
    void teardown() override {
        server_->exit();
        server_.reset();
    }

    std::unique_ptr<Console> console_;
    server::NullAdminUi ui_;
    std::unique_ptr<server::Server> server_;
    std::atomic<std::uint64_t> tableBytes_{0};
};

// One client connection with blocking, strictly lock-step exchanges.
class Client {
public:
    explicit Client(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            throw std::runtime_error("cannot connect");
        }
        int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Client() { ::close(fd_); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    void send(const Packet& p) {
        const auto bytes = p.bytes();
        if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(bytes.size())) {
            throw std::runtime_error("send failed");
        }
    }
    // Reads one answer to request; false when more bytes are needed (non-blocking use).
    bool receive(Opcode request, Packet* answer) {
        const std::size_t want = answerLength(request);
        while (got_ < want) {
            const ssize_t n = ::recv(fd_, buffer_ + got_, want - got_, 0);
            if (n < 0 && errno == EAGAIN) return false;
            if (n <= 0) throw std::runtime_error("connection lost");
            got_ += static_cast<std::size_t>(n);
        }
        got_ = 0;
        *answer = Packet::received({buffer_, want}, want);
        return true;
    }
    Packet exchange(const Packet& request) {
        send(request);
        Packet answer(Opcode::None, 2);
        receive(request.opcode(), &answer);
        return answer;
    }
    // The echo answers with zeros: only the server's answer is checked.
    void logIn(const std::string& name, bool checking) {
        Packet p(Opcode::ReqLogin);
        p.set(proto::ReqLogin::userName, name);
        p.set(proto::ReqLogin::password, scramble::scramble("secret"));
        const bool accepted = exchange(p).get(proto::RepLogin::result) == 1;
        if (checking && !accepted) throw std::runtime_error("log-in refused");
    }
    int fd() const { return fd_; }

private:
    int fd_;
    std::uint8_t buffer_[proto::MaxPacketSize];
    std::size_t got_ = 0;
};

void require(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
}

// MiB/s of a fetch of a file of size bytes; checks every answer when checking.
double fetch(Client& c, const std::string& path, std::int64_t size, bool checking) {
    const auto start = Steady::now();
    Packet open(Opcode::ReqFetchOpen);
    open.set(proto::ReqFetchOpen::path, path);
    const Packet opened = c.exchange(open);
    require(!checking || opened.get(proto::RepFetchOpen::size) == size, "fetch open failed");
    Packet chunk(Opcode::ReqFetchChunk);
    chunk.set(proto::ReqFetchChunk::path, path);
    chunk.set(proto::ReqFetchChunk::tempPath, opened.get(proto::RepFetchOpen::tempPath));
    for (std::int64_t offset = 0; offset <= size; offset += proto::ChunkSize) {
        chunk.set(proto::ReqFetchChunk::offset, offset);
        const Packet answer = c.exchange(chunk);
        const std::int64_t expected = std::min<std::int64_t>(proto::ChunkSize, size - offset);
        require(!checking || answer.get(proto::RepFetchChunk::count) == expected, "short chunk");
    }
    return static_cast<double>(size) / (1 << 20) / secondsSince(start);
}

// MiB/s of an upload of content under name.
double upload(Client& c, const std::string& name, const std::string& content, bool checking) {
    const auto start = Steady::now();
    Packet chunk(Opcode::ReqCheckInChunk);
    chunk.set(proto::ReqCheckInChunk::uploadName, name);
    for (std::size_t offset = 0;; offset += proto::ChunkSize) {
        const std::size_t n = std::min(proto::ChunkSize, content.size() - offset);
        const std::span<const std::uint8_t> data(
            reinterpret_cast<const std::uint8_t*>(content.data()) + offset, n);
        chunk.set(proto::ReqCheckInChunk::last, n < proto::ChunkSize ? 1 : 0);
        chunk.set(proto::ReqCheckInChunk::offset, static_cast<std::int64_t>(offset));
        chunk.set(proto::ReqCheckInChunk::count, static_cast<std::int64_t>(n));
        chunk.set(proto::ReqCheckInChunk::checksum, proto::chunkChecksum(data));
        chunk.set(proto::ReqCheckInChunk::data, data);
        const Packet answer = c.exchange(chunk);
        require(!checking || answer.get(proto::RepCheckInChunk::nextOffset) ==
                                 static_cast<std::int64_t>(offset + n),
                "chunk refused");
        if (n < proto::ChunkSize) break;
    }
    return static_cast<double>(content.size()) / (1 << 20) / secondsSince(start);
}

Packet checkOutRequest(Opcode opcode, const std::string& path) {
    Packet p(opcode);
    p.set(proto::ReqCheckOut::path, path);
    return p;
}

// Check-out + void pairs per second of n clients, each on its own file, for about seconds;
// the number of pairs in *count when given.
double checkOutPairs(std::uint16_t port, int n, const std::vector<std::string>& paths,
                     double seconds, bool checking, long* count = nullptr) {
    std::vector<std::unique_ptr<Client>> clients;
    std::vector<Opcode> waitingFor(static_cast<std::size_t>(n), Opcode::ReqCheckOut);
    std::vector<pollfd> fds;
    for (int i = 0; i < n; ++i) {
        clients.push_back(std::make_unique<Client>(port));
        clients.back()->logIn("user" + std::to_string(i), checking);
        fds.push_back(pollfd{clients.back()->fd(), POLLIN, 0});
    }
    long pairs = 0;
    int pending = n;
    const auto start = Steady::now();
    for (int i = 0; i < n; ++i) clients[i]->send(checkOutRequest(Opcode::ReqCheckOut, paths[i]));
    while (pending > 0) {
        ::poll(fds.data(), fds.size(), 1000);
        const bool more = secondsSince(start) < seconds;
        for (int i = 0; i < n; ++i) {
            if ((fds[i].revents & POLLIN) == 0 || fds[i].fd < 0) continue;
            Packet answer(Opcode::None, 2);
            if (!clients[i]->receive(waitingFor[i], &answer)) continue;
            if (waitingFor[i] == Opcode::ReqCheckOut) {
                require(!checking || answer.get(proto::RepCheckOut::status) == 3,
                        "check-out refused");
                waitingFor[i] = Opcode::ReqVoidCheckOut;
            } else {
                ++pairs;
                waitingFor[i] = Opcode::ReqCheckOut;
                if (!more) {
                    fds[i].fd = -1;
                    --pending;
                    continue;
                }
            }
            clients[i]->send(checkOutRequest(waitingFor[i], paths[i]));
        }
    }
    if (count != nullptr) *count = pairs;
    return static_cast<double>(pairs) / secondsSince(start);
}

// Samples of one figure from both peers; rounds alternate between them, so that load from
// elsewhere on the machine falls on both alike, and the medians are compared.
struct Figure {
    const char* what;
    const char* unit;
    std::vector<double> server, echo;

    static double median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
    void print() const {
        std::printf("%-30s server %9.1f %-7s  echo %9.1f %-7s  ratio %.3f\n", what, median(server),
                    unit, median(echo), unit, median(server) / median(echo));
    }
};

// Check-out + void pairs through the mark journal and through whole saves of the table, rounds
// alternating between the two servers; bytes per pair over all rounds, the journal's rewrites of
// the table in the background included.
int compareMarkSaves(const std::string& dir, const std::vector<std::string>& paths, int rounds) {
    ServerPeer journal(files::join(dir, "journal"), paths, true);
    ServerPeer whole(files::join(dir, "whole"), paths, false);
    struct Side {
        ServerPeer* peer;
        std::vector<double> single, many;
        std::uint64_t bytes = 0;
        long pairs = 0;
    };
    Side sides[2] = {{&journal, {}, {}}, {&whole, {}, {}}};
    std::printf("Groups.zelt of %zu bytes, 2 s a figure, median of %d rounds\n",
                server::kGroupsFileSize, rounds);
    for (int r = 0; r < rounds; ++r) {
        for (Side& side : sides) {
            for (const int n : {1, kClients}) {
                long pairs = 0;
                const std::uint64_t before = side.peer->bytesWritten();
                const double rate = checkOutPairs(side.peer->port(), n, paths, 2.0, true, &pairs);
                side.bytes += side.peer->bytesWritten() - before;
                side.pairs += pairs;
                (n == 1 ? side.single : side.many).push_back(rate);
            }
        }
    }
    const auto perPair = [](const Side& s) {
        return static_cast<double>(s.bytes) / static_cast<double>(std::max(s.pairs, 1L));
    };
    std::printf("%-30s journal %9.1f  whole table %9.1f  ratio %.2f\n",
                "pairs/s, 1 client", Figure::median(sides[0].single),
                Figure::median(sides[1].single),
                Figure::median(sides[0].single) / Figure::median(sides[1].single));
    std::printf("%-30s journal %9.1f  whole table %9.1f  ratio %.2f\n",
                "pairs/s, 64 clients", Figure::median(sides[0].many),
                Figure::median(sides[1].many),
                Figure::median(sides[0].many) / Figure::median(sides[1].many));
    std::printf("%-30s journal %9.0f  whole table %9.0f  ratio 1/%.0f\n", "bytes written per pair",
                perPair(sides[0]), perPair(sides[1]), perPair(sides[1]) / perPair(sides[0]));
    return 0;
}

// A bystander's keep-alive round trips, each with the moment it began, while another client
// works: sampled every 5 ms on a thread of its own until stopped.
class Bystander {
public:
    explicit Bystander(std::uint16_t port) : client_(port) {
        client_.logIn("user0", true);
        thread_ = std::thread([this] {
            while (!stop_) {
                const auto start = Steady::now();
                (void)client_.exchange(Packet(Opcode::ReqKeepAlive));
                samples_.push_back({start, secondsSince(start) * 1000});
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~Bystander() { stopSampling(); }
    void stopSampling() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // The round trips that overlapped [from, to], in milliseconds; call after stopSampling().
    std::vector<double> during(Steady::time_point from, Steady::time_point to) const {
        std::vector<double> ms;
        for (const auto& [start, latency] : samples_) {
            const auto end = start + std::chrono::duration<double, std::milli>(latency);
            if (start <= to && end >= from) ms.push_back(latency);
        }
        std::sort(ms.begin(), ms.end());
        return ms;
    }

private:
    Client client_;
    std::vector<std::pair<Steady::time_point, double>> samples_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void printLatencies(const char* what, const char* side, const std::vector<double>& ms) {
    const auto at = [&](double q) {
        return ms.empty() ? 0.0 : ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))];
    };
    std::printf("%-24s %-12s samples %5zu  p50 %8.2f ms  p99 %8.2f ms  max %8.2f ms\n", what,
                side, ms.size(), at(0.5), at(0.99), ms.empty() ? 0.0 : ms.back());
}

// One client opens a download copy of a large file, uploads it and commits it, while a
// bystander's keep-alives are timed; the copies on the loop's thread and off it, side by side.
int compareStalls(const std::string& dir, const std::string& big, const std::string& content,
                  const std::vector<std::string>& paths) {
    for (const bool onLoop : {true, false}) {
        const char* side = onLoop ? "on the loop" : "off the loop";
        ServerPeer server(files::join(dir, onLoop ? "on" : "off"), paths, true, onLoop);
        Client worker(server.port());
        worker.logIn(kTransferUser, true);
        require(worker.exchange(checkOutRequest(Opcode::ReqCheckOut, big))
                        .get(proto::RepCheckOut::status) == 3,
                "check-out refused");
        Bystander bystander(server.port());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));

        const auto openStart = Steady::now();
        Packet open(Opcode::ReqFetchOpen);
        open.set(proto::ReqFetchOpen::path, big);
        const Packet opened = worker.exchange(open);
        const auto openEnd = Steady::now();
        require(opened.get(proto::RepFetchOpen::size) == static_cast<std::int64_t>(content.size()),
                "fetch open failed");
        Packet close(Opcode::ReqFetchClose);
        close.set(proto::ReqFetchClose::tempPath, opened.get(proto::RepFetchOpen::tempPath));
        worker.send(close);

        upload(worker, kUpload, content, true);
        const auto commitStart = Steady::now();
        Packet commit(Opcode::ReqCheckIn);
        commit.set(proto::ReqCheckIn::path, big);
        commit.set(proto::ReqCheckIn::uploadName, kUpload);
        commit.set(proto::ReqCheckIn::comment, "bench");
        require(worker.exchange(commit).get(proto::RepCheckIn::status) == 0, "commit failed");
        const auto commitEnd = Steady::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        bystander.stopSampling();

        std::printf("%-24s %-12s %.2f s\n", "open of the copy took", side,
                    std::chrono::duration<double>(openEnd - openStart).count());
        std::printf("%-24s %-12s %.2f s\n", "commit took", side,
                    std::chrono::duration<double>(commitEnd - commitStart).count());
        printLatencies("keep-alive during open", side, bystander.during(openStart, openEnd));
        printLatencies("keep-alive during commit", side,
                       bystander.during(commitStart, commitEnd));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "marks") {
        char pattern[] = "/var/tmp/zelt-bench-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) return 1;
        const std::string dir = pattern;
        std::vector<std::string> paths;
        for (int i = 0; i < kClients; ++i) {
            paths.push_back(files::join(dir, "f" + std::to_string(i)));
            if (!files::writeFileAtomic(paths.back(), "x", 1)) std::abort();
        }
        int status = 0;
        try {
            status = compareMarkSaves(dir, paths, argc > 2 ? std::atoi(argv[2]) : 3);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "repository_bench: %s\n", e.what());
            status = 1;
        }
        std::filesystem::remove_all(dir);
        return status;
    }
    const bool stalls = argc > 1 && std::string(argv[1]) == "stalls";
    if (stalls) --argc, ++argv;
    const long mib = argc > 1 ? std::atol(argv[1]) : stalls ? 400 : 100;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    char pattern[] = "/tmp/zelt-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    std::vector<std::string> paths;
    for (int i = 0; i < kClients; ++i) paths.push_back(files::join(dir, "f" + std::to_string(i)));
    const std::string big = files::join(dir, "big.bin");
    paths.push_back(big);

    std::string content(static_cast<std::size_t>(mib) << 20, '\0');
    std::uint32_t x = 2463534242u;
    for (char& c : content) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    if (!files::writeFileAtomic(big, content.data(), content.size())) std::abort();
    for (int i = 0; i < kClients; ++i) {
        if (!files::writeFileAtomic(paths[i], "x", 1)) std::abort();
    }
    const auto size = static_cast<std::int64_t>(content.size());

    int status = 0;
    if (stalls) {
        try {
            status = compareStalls(dir, big, content, paths);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "repository_bench: %s\n", e.what());
            status = 1;
        }
        std::filesystem::remove_all(dir);
        return status;
    }
    try {
        EchoPeer echo;
        ServerPeer server(files::join(dir, "data"), paths);
        Client viaServer(server.port());
        Client viaEcho(echo.port());
        viaServer.logIn(kTransferUser, true);
        viaEcho.logIn(kTransferUser, false);
        require(viaServer.exchange(checkOutRequest(Opcode::ReqCheckOut, big))
                        .get(proto::RepCheckOut::status) == 3,
                "check-out refused");

        std::printf("%ld MiB file, chunks of %zu bytes, loopback, median of %d rounds\n", mib,
                    proto::ChunkSize, rounds);
        Figure fetches{"fetch", "MiB/s", {}, {}};
        Figure uploads{"upload", "MiB/s", {}, {}};
        Figure single{"check-out + void, 1 client", "pairs/s", {}, {}};
        Figure many{"check-out + void, 64 clients", "pairs/s", {}, {}};
        for (int r = 0; r < rounds; ++r) {
            fetches.echo.push_back(fetch(viaEcho, big, size, false));
            fetches.server.push_back(fetch(viaServer, big, size, true));
            uploads.echo.push_back(upload(viaEcho, kUpload, content, false));
            uploads.server.push_back(upload(viaServer, kUpload, content, true));
            for (Figure* f : {&single, &many}) {
                const int n = f == &single ? 1 : kClients;
                f->echo.push_back(checkOutPairs(echo.port(), n, paths, 2.0, false));
                f->server.push_back(checkOutPairs(server.port(), n, paths, 2.0, true));
            }
        }
        for (const Figure* f : {&fetches, &uploads, &single, &many}) f->print();

        Packet commit(Opcode::ReqCheckIn);
        commit.set(proto::ReqCheckIn::path, big);
        commit.set(proto::ReqCheckIn::uploadName, kUpload);
        const auto start = Steady::now();
        require(viaServer.exchange(commit).get(proto::RepCheckIn::status) == 0, "commit failed");
        std::printf("first commit (original kept, file replaced, version made): %.2f s\n",
                    secondsSince(start));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "repository_bench: %s\n", e.what());
        status = 1;
    }
    std::filesystem::remove_all(dir);
    return status;
}
