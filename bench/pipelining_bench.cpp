// Our client core against our server core over a slow link, waiting for every answer against
// keeping requests in flight, in one run: two servers on their own threads, one that offers
// requests in flight at log-in and one that does not, each reached through the delay relay.
//
//   pipelining_bench [MiB [round trips in ms...]]      (default 100 MiB; 0 2 10 50)
//
// For each round trip and each way of working it measures, with a fresh client each time:
//   list    a group of 500 member files shown whole in Available Files
//   co 50   check-out and fetch of 50 small files
//   ci 50   check-in of those 50 files
//   fetch   check-out and fetch of a big file, MiB/s from the fetch's start to its end
//   upload  its check-in, MiB/s from the start until the last chunk is acknowledged
// and the server thread's CPU time per MiB moved by the fetch and the upload. Waiting for every
// answer moves 1 KiB per round trip, so that way gets a file sized to take a few seconds; the
// other always gets the whole file.
#include <sys/resource.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/delay_relay.h"
#include "client/core/client.h"
#include "common/console/console.h"
#include "common/platform/files.h"
#include "common/platform/poll_reactor.h"
#include "common/scramble/scramble.h"
#include "server/core/server.h"
#include "server/core/ui/null_admin_ui.h"
#include "tests/client/fake_ui.h"

namespace {

using namespace zelt;
using Steady = std::chrono::steady_clock;

constexpr int kSmallFiles = 50;
constexpr int kListed = 500;

double secondsSince(Steady::time_point start) {
    return std::chrono::duration<double>(Steady::now() - start).count();
}

double threadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void require(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what);
}

// A server core on its own thread and reactor; the thread's CPU time is published as it runs.
class ServerThread {
public:
    ServerThread(const std::string& dataDir, bool offerPipelining,
                 const std::vector<std::string>& benchFiles,
                 const std::vector<std::string>& listed) {
        std::promise<std::uint16_t> ready;
        auto port = ready.get_future();
        thread_ = std::thread([&, dataDir, offerPipelining] {
            PollReactor reactor;
            Console console(reactor.clock());
            server::NullAdminUi ui;
            server::ServerOptions options;
            options.dataDir = dataDir;
            options.listenPort = 0;
            options.offerPipelining = offerPipelining;
            server::Server server(reactor, console, ui, options);
            if (server.start() != server::StartResult::Loaded) std::abort();
            populate(server, benchFiles, listed);
            ready.set_value(server.listeningPort());
            while (!stop_) {
                reactor.runOnce(5);
                cpu_ = threadCpuSeconds();
            }
            server.exit();
        });
        port_ = port.get();
    }
    ~ServerThread() {
        stop_ = true;
        thread_.join();
    }
    std::uint16_t port() const { return port_; }
    double cpu() const { return cpu_; }

private:
    static void populate(server::Server& server, const std::vector<std::string>& benchFiles,
                         const std::vector<std::string>& listed) {
        auto account = server.accounts().record(0);
        account.set(server::AccountRecord::state, server::StateEnabled);
        account.set(server::AccountRecord::userName, "anna");
        account.set(server::AccountRecord::password, scramble::scramble("secret"));
        const std::vector<std::string>* lists[] = {&benchFiles, &listed};
        const char* names[] = {"bench", "wide"};
        for (std::size_t g = 0; g < 2; ++g) {
            auto group = server.groups().record(g);
            group.set(server::GroupRecord::state, server::StateEnabled);
            group.set(server::GroupRecord::name, names[g]);
            group.set(server::GroupRecord::members.at(0), "anna");
            for (std::size_t k = 0; k < lists[g]->size(); ++k) {
                server.groups().fileEntry(g, k).set(server::FileEntry::path, (*lists[g])[k]);
            }
        }
        if (!server.saveAccounts() || !server.saveGroups()) std::abort();
    }

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<double> cpu_{0};
    std::uint16_t port_ = 0;
};

// The windows of a user who answers every comment dialog at once, and notes when it was asked:
// the upload is through by then.
class BenchUi : public client::test::FakeUi {
public:
    client::CommentReply runComment(const std::string& path) override {
        commentAsked = Steady::now();
        return FakeUi::runComment(path);
    }
    Steady::time_point commentAsked;
};

struct Figures {
    double list = 0, checkOuts = 0, checkIns = 0;  // seconds
    double fetch = 0, upload = 0;                  // MiB/s
    double fetchCpu = 0, uploadCpu = 0;            // server CPU ms per MiB
};

class Desk {
public:
    Desk(const std::string& dir, std::uint16_t port) {
        std::filesystem::create_directories(dir + "/data");
        client::ClientOptions options;
        options.places.dataDirectory = dir + "/data";
        options.places.userFolder = dir + "/user";
        options.shellOpen = [](const std::string&) { return 42; };
        client::LoginForm form;
        form.userName = "anna";
        form.password = "secret";
        form.address = {127, 0, 0, 1};
        form.port = std::to_string(port);
        ui.logins.push_back(form);
        core = std::make_unique<client::ClientCore>(reactor, ui, options);
        core->addFlowObserver(&flows);
        require(static_cast<bool>(core->start()), "the client did not start");
        runUntil([this] { return core->connectionState() == client::ConnectionState::Connected; });
        // The notice comes a moment after the log-in; let it pass before anything is timed.
        const auto settle = Steady::now();
        runUntil([&] { return secondsSince(settle) > 2.5; });
    }

    void runUntil(const std::function<bool()>& done, double timeout = 600) {
        const auto start = Steady::now();
        while (!done()) {
            require(secondsSince(start) < timeout, "timed out");
            require(core == nullptr ||
                        core->connectionState() != client::ConnectionState::NotConnected ||
                        secondsSince(start) < 1,
                    "connection lost");
            reactor.runOnce(5);
        }
    }
    void openGroup(const std::string& group, std::size_t rows) {
        core->openGroup(group);
        runUntil([&] { return ui.available.rows.size() == rows; });
    }
    std::vector<int> availableRows(const std::vector<std::string>& paths) const {
        std::vector<int> out;
        for (std::size_t i = 0; i < ui.available.rows.size(); ++i) {
            for (const std::string& p : paths) {
                if (ui.available.rows[i].path == p) out.push_back(static_cast<int>(i));
            }
        }
        require(out.size() == paths.size(), "files missing from the list");
        return out;
    }
    std::vector<int> allWorkingRows() const {
        std::vector<int> out;
        for (std::size_t i = 0; i < ui.working.rows.size(); ++i) out.push_back(static_cast<int>(i));
        return out;
    }
    void runFlow(client::Flow flow, const std::function<void()>& start) {
        const int before = flows.endsOf(flow);
        start();
        runUntil([&] { return flows.endsOf(flow) > before; });
    }

    PollReactor reactor;
    BenchUi ui;
    client::test::FlowLog flows;
    std::unique_ptr<client::ClientCore> core;
};

Figures measure(const std::string& dir, std::uint16_t port, const ServerThread& server,
                bool pipelined, const std::vector<std::string>& small, const std::string& big,
                std::int64_t bigSize) {
    Desk desk(dir, port);
    require(desk.core->pipelined() == pipelined, "the server did not offer what was expected");
    Figures f;

    auto start = Steady::now();
    desk.openGroup("wide", kListed);
    f.list = secondsSince(start);

    desk.openGroup("bench", small.size() + 1 + 4);
    start = Steady::now();
    desk.core->selectAvailableFiles(desk.availableRows(small));
    desk.runFlow(client::Flow::CheckOut, [&] { desk.core->checkOutSelected(); });
    desk.core->selectWorkingFiles(desk.allWorkingRows());
    desk.runFlow(client::Flow::Fetch, [&] { desk.core->fetchSelected(); });
    f.checkOuts = secondsSince(start);
    require(desk.core->checkOutTable().checkedOutCount() == kSmallFiles, "check-outs missing");

    desk.ui.comments.push_back(client::CommentReply{true, {"bench"}, true});
    start = Steady::now();
    desk.core->selectWorkingFiles(desk.allWorkingRows());
    desk.runFlow(client::Flow::CheckIn, [&] { desk.core->checkInSelected(); });
    f.checkIns = secondsSince(start);
    require(desk.core->checkOutTable().checkedOutCount() == 0, "check-ins missing");

    const double mib = static_cast<double>(bigSize) / (1 << 20);
    desk.core->selectAvailableFiles(desk.availableRows({big}));
    desk.runFlow(client::Flow::CheckOut, [&] { desk.core->checkOutSelected(); });
    desk.core->selectWorkingFiles(desk.allWorkingRows());
    double cpu = server.cpu();
    start = Steady::now();
    desk.runFlow(client::Flow::Fetch, [&] { desk.core->fetchSelected(); });
    f.fetch = mib / secondsSince(start);
    f.fetchCpu = (server.cpu() - cpu) * 1000 / mib;
    require(files::fileSize(desk.core->places().working + "/" + files::baseName(big)) == bigSize,
            "the fetch did not arrive whole");

    desk.ui.comments.push_back(client::CommentReply{true, {"bench"}, false});
    desk.core->selectWorkingFiles(desk.allWorkingRows());
    cpu = server.cpu();
    double uploadCpu = 0;
    start = Steady::now();
    desk.runFlow(client::Flow::CheckIn, [&] {
        desk.core->checkInSelected();
        desk.runUntil([&] { return desk.ui.commentAsked > start; });
        uploadCpu = server.cpu() - cpu;
    });
    f.upload = mib / std::chrono::duration<double>(desk.ui.commentAsked - start).count();
    f.uploadCpu = uploadCpu * 1000 / mib;
    require(desk.core->checkOutTable().checkedOutCount() == 0, "the big check-in failed");
    return f;
}

std::string patterned(std::size_t size, std::uint32_t seed) {
    std::string s(size, '\0');
    std::uint32_t x = 2463534242u + seed;
    for (char& c : s) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    return s;
}

void writeFile(const std::string& path, const std::string& content) {
    require(static_cast<bool>(files::writeFileAtomic(path, content.data(), content.size())),
            "cannot write " + path);
}

}  // namespace

int main(int argc, char** argv) {
    const long mib = argc > 1 ? std::atol(argv[1]) : 100;
    std::vector<int> trips;
    for (int i = 2; i < argc; ++i) trips.push_back(std::atoi(argv[i]));
    if (trips.empty()) trips = {0, 2, 10, 50};

    char pattern[] = "/tmp/zelt-pipelining-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    int status = 0;
    try {
        std::filesystem::create_directories(dir + "/docs");
        std::vector<std::string> small;
        for (int i = 0; i < kSmallFiles; ++i) {
            small.push_back(dir + "/docs/s" + std::to_string(i) + ".txt");
            writeFile(small.back(), patterned(1000, static_cast<std::uint32_t>(i)));
        }
        std::vector<std::string> listed;
        for (int i = 0; i < kListed; ++i) {
            listed.push_back(dir + "/docs/w" + std::to_string(i) + ".txt");
            writeFile(listed.back(), "w");
        }
        // One big file for the whole size, and smaller ones for waiting at each round trip: a
        // round trip per KiB is all that way can move.
        const auto whole = static_cast<std::int64_t>(mib) << 20;
        const auto lockStepSize = [&](int trip) -> std::int64_t {
            const std::int64_t few = trip == 0 ? std::int64_t{16} << 20 : 3000 / trip * 1024;
            return std::min(whole, few);
        };
        std::vector<std::string> benchFiles = small;
        auto bigFile = [&](std::int64_t size) {
            return dir + "/docs/big" + std::to_string(size) + ".bin";
        };
        writeFile(bigFile(whole), patterned(static_cast<std::size_t>(whole), 99));
        benchFiles.push_back(bigFile(whole));
        for (const int trip : {0, 2, 10, 50}) {
            const std::int64_t size = lockStepSize(trip);
            if (files::isFile(bigFile(size))) continue;
            writeFile(bigFile(size), patterned(static_cast<std::size_t>(size), 98));
            benchFiles.push_back(bigFile(size));
        }
        while (benchFiles.size() < small.size() + 5) {
            benchFiles.push_back(dir + "/docs/pad" + std::to_string(benchFiles.size()));
            writeFile(benchFiles.back(), "p");
        }

        ServerThread lockStep(dir + "/lock-step", false, benchFiles, listed);
        ServerThread inFlight(dir + "/in-flight", true, benchFiles, listed);

        std::printf(
            "%ld MiB fetched and uploaded with requests in flight; waiting for every answer "
            "moves the size in brackets\n\n",
            mib);
        std::printf("%5s  %-9s %8s %8s %8s %10s %10s %9s %9s\n", "trip", "way", "list s", "co 50 s",
                    "ci 50 s", "fetch MB/s", "upld MB/s", "fetch cpu", "upld cpu");
        int run = 0;
        for (const int trip : trips) {
            std::unique_ptr<bench::DelayRelay> relays[2];
            const ServerThread* servers[2] = {&lockStep, &inFlight};
            Figures f[2];
            for (int way = 0; way < 2; ++way) {
                std::uint16_t port = servers[way]->port();
                if (trip > 0) {
                    relays[way] = std::make_unique<bench::DelayRelay>(port, trip);
                    port = relays[way]->port();
                }
                const std::int64_t size = way == 0 ? lockStepSize(trip) : whole;
                f[way] = measure(dir + "/desk" + std::to_string(run++), port, *servers[way],
                                 way == 1, small, bigFile(size), size);
                const std::string label = way == 0 ? "lock-step" : "in flight";
                std::printf(
                    "%3d ms  %-9s %8.2f %8.2f %8.2f %10.2f %10.2f %6.2f ms %6.2f ms  (%lld KiB)\n",
                    trip, label.c_str(), f[way].list, f[way].checkOuts, f[way].checkIns,
                    f[way].fetch, f[way].upload, f[way].fetchCpu, f[way].uploadCpu,
                    static_cast<long long>(size >> 10));
                std::fflush(stdout);
            }
            std::printf("%5s  %-9s %7.1fx %7.1fx %7.1fx %9.1fx %9.1fx %8.2fx %8.2fx\n", "", "ratio",
                        f[0].list / f[1].list, f[0].checkOuts / f[1].checkOuts,
                        f[0].checkIns / f[1].checkIns, f[1].fetch / f[0].fetch,
                        f[1].upload / f[0].upload, f[1].fetchCpu / f[0].fetchCpu,
                        f[1].uploadCpu / f[0].uploadCpu);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pipelining_bench: %s\n", e.what());
        status = 1;
    }
    std::filesystem::remove_all(dir);
    return status;
}
