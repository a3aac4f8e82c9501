// checkin_torture [cycles [seed [server-binary]]]: check-in cycles (check-out, upload, commit)
// against the built zelt-server --headless, killed with SIGKILL at random moments and started
// again. After every restart it checks that
//   - every check-in the server answered is there: the member file holds that content or the
//     one whose commit was under way, and the answered version is kept with its details (a
//     commit cut between replacing the file and keeping its version leaves the file new and
//     its version missing: it was never answered, the version before it is kept, and the
//     client's next check-in keeps it; such cuts are counted, not failed);
//   - every check-out and void the server answered is there: the file is held or free as the
//     last answer said (either, while a request that changes it went unanswered);
//   - every member file and every kept version is one whole content, never a torn one;
//   - nothing half-written is left anywhere (no temporary copy beside a member file, in a
//     version folder or in the data directory, an empty Temp, table files of their full size).
// It prints its figures at the end and exits non-zero when any check failed. Not a test: it
// runs for minutes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/platform/files.h"
#include "common/protocol/layouts.h"
#include "common/protocol/packet.h"
#include "common/scramble/scramble.h"
#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"
#include "server/core/store/settings_files.h"
#include "server/core/store/store.h"
#include "tests/support/process.h"

namespace {

using namespace zelt;
using proto::Opcode;
using proto::Packet;
namespace fs = std::filesystem;

constexpr int kFiles = 4;  // the last one is a symbolic link to a file in another folder
constexpr std::size_t kMaxSize = 200 * 1024;
constexpr const char* kUser = "torture";

// What the answers said of a file's check-out mark.
enum class Mark { Free, Held, Unknown };

// The content of cycle `id` (-1: a member file's first content): a header that names it, then
// bytes that follow from it, so that any file can be told whole or not.
std::string contentOf(int id, std::size_t size) {
    std::string text = "ZELT torture content " + std::to_string(id) + " " + std::to_string(size) + "\n";
    std::mt19937 rng(static_cast<unsigned>(id + 1000));
    while (text.size() < size) text.push_back(static_cast<char>(rng() & 0xFF));
    return text;
}

// The id of a whole content, or nothing for anything else.
std::optional<int> idOf(const std::string& content) {
    static const std::regex head("^ZELT torture content (-?[0-9]+) ([0-9]+)\n");
    std::smatch m;
    const std::string first = content.substr(0, 64);
    if (!std::regex_search(first, m, head)) return std::nullopt;
    const int id = std::stoi(m[1]);
    const std::size_t size = std::stoul(m[2]);
    if (contentOf(id, size) != content) return std::nullopt;
    return id;
}

std::string readAll(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return "<missing>";
    std::string out;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    std::fclose(f);
    return out;
}

void writeAll(const std::string& path, const std::string& content) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::exit(2);
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
}

// A plain blocking client: one request, one answer, with a time limit.
class Client {
public:
    explicit Client(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        timeval limit{10, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) close();
    }
    ~Client() { close(); }
    bool ok() const { return fd_ >= 0; }

    std::optional<Packet> ask(const Packet& request) {
        if (fd_ < 0) return std::nullopt;
        const auto bytes = request.bytes();
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return std::nullopt;
            sent += static_cast<std::size_t>(n);
        }
        std::uint8_t head[2];
        if (!receive(head, 2)) return std::nullopt;
        const proto::OpcodeInfo* info = proto::findOpcode(head[1], proto::Receiver::Client);
        if (head[0] != proto::PacketMarker || info == nullptr) return std::nullopt;
        std::vector<std::uint8_t> packet(info->sent);
        packet[0] = head[0];
        packet[1] = head[1];
        if (!receive(packet.data() + 2, packet.size() - 2)) return std::nullopt;
        return Packet::received(packet, info->acceptedUpTo);
    }

private:
    bool receive(std::uint8_t* out, std::size_t size) {
        std::size_t got = 0;
        while (got < size) {
            const ssize_t n = ::recv(fd_, out + got, size - got, 0);
            if (n <= 0) return false;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
};

enum Phase { Between, CheckingOut, Uploading, Committing, PhaseCount };
const char* const kPhaseNames[] = {"between requests", "check-out", "upload", "commit"};

struct Figures {
    int cycles = 0;
    int answered = 0;
    int kills = 0;
    int killsIn[PhaseCount] = {};
    int restarts = 0;
    int besideMembers = 0;
    int inVersionFolders = 0;
    int tableLeftovers = 0;
    int tempLeftovers = 0;
    int unpairedReports = 0;
    int voids = 0;
    int unversionedCuts = 0;
    int failures = 0;
};

class Torture {
public:
    Torture(std::string binary, unsigned seed) : binary_(std::move(binary)), rng_(seed) {
        char pattern[] = "/tmp/zelt-torture-XXXXXX";
        root_ = ::mkdtemp(pattern);
        data_ = root_ + "/data";
        fs::create_directories(data_);
        fs::create_directories(root_ + "/docs");
        fs::create_directories(root_ + "/elsewhere");
        for (int k = 0; k < kFiles; ++k) {
            const std::string content = contentOf(-1, 100 + static_cast<std::size_t>(k));
            if (k == kFiles - 1) {
                writeAll(root_ + "/elsewhere/real.txt", content);
                fs::create_symlink(root_ + "/elsewhere/real.txt", member(k));
            } else {
                writeAll(member(k), content);
            }
            answered_[k] = -1;
            marks_[k] = Mark::Free;
        }
        setUpTables();
    }
    ~Torture() {
        server_.reset();
        if (figures_.failures == 0) fs::remove_all(root_);
    }

    int run(int cycles) {
        const auto began = std::chrono::steady_clock::now();
        start();
        for (int i = 0; i < cycles; ++i) {
            maybeArmKill();
            const bool done = cycle(i);
            ++figures_.cycles;
            if (!done || killed_) restart();
        }
        disarm();
        server_->signal(SIGTERM);
        server_->wait();
        verify("the end");
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        report(seconds);
        return figures_.failures == 0 ? 0 : 1;
    }

private:
    std::string member(int k) const {
        return root_ + "/docs/" + (k == kFiles - 1 ? "link.txt" : "f" + std::to_string(k) + ".txt");
    }
    std::string realFile(int k) const {
        return k == kFiles - 1 ? root_ + "/elsewhere/real.txt" : member(k);
    }

    void setUpTables() {
        const server::ServerPaths paths = server::ServerPaths::under(data_);
        fs::create_directories(data_);
        port_ = static_cast<std::uint16_t>(test::freePort());
        if (!server::writePort(paths.comm, port_)) std::exit(2);
        server::AccountTable accounts;
        auto a = accounts.record(0);
        a.set(server::AccountRecord::state, server::StateEnabled);
        a.set(server::AccountRecord::userName, kUser);
        a.set(server::AccountRecord::password, scramble::scramble("pw"));
        server::GroupTable groups;
        auto g = groups.record(0);
        g.set(server::GroupRecord::state, server::StateEnabled);
        g.set(server::GroupRecord::name, "torture");
        g.set(server::GroupRecord::members.at(0), kUser);
        for (int k = 0; k < kFiles; ++k) {
            groups.fileEntry(0, static_cast<std::size_t>(k)).set(server::FileEntry::path, member(k));
        }
        if (!accounts.save(paths.accounts) || !groups.save(paths.groups)) std::exit(2);
    }

    void start() {
        server_ = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{binary_, "--headless", "--data-dir", data_});
        if (server_->waitForLine("Server is ready").empty()) {
            std::fprintf(stderr, "the server did not start:\n%s\n", server_->output().c_str());
            std::exit(2);
        }
        countCleanUp(server_->output());
        client_ = std::make_unique<Client>(port_);
        Packet login(Opcode::ReqLogin);
        login.set(proto::ReqLogin::userName, kUser);
        login.set(proto::ReqLogin::password, scramble::scramble("pw"));
        const auto r = client_->ask(login);
        if (!r || r->get(proto::RepLogin::result) != 1) fail("the log-in after a start failed");
    }

    // Reads the start-up's clean-up line into the figures.
    void countCleanUp(const std::string& output) {
        static const std::regex beside("([0-9]+) half-written file\\(s\\) beside member files");
        static const std::regex versions("([0-9]+) in version folders");
        static const std::regex tables("([0-9]+) half-written table file");
        static const std::regex temp("([0-9]+) leftover\\(s\\) in Temp");
        std::smatch m;
        if (std::regex_search(output, m, beside)) figures_.besideMembers += std::stoi(m[1]);
        if (std::regex_search(output, m, versions)) figures_.inVersionFolders += std::stoi(m[1]);
        if (std::regex_search(output, m, tables)) figures_.tableLeftovers += std::stoi(m[1]);
        if (std::regex_search(output, m, temp)) figures_.tempLeftovers += std::stoi(m[1]);
        if (output.find("have no details") != std::string::npos ||
            output.find("have no version file") != std::string::npos) {
            ++figures_.unpairedReports;
        }
    }

    // One time in three, a kill at a random moment within about one cycle from now.
    void maybeArmKill() {
        if (killer_.joinable() || std::uniform_int_distribution<int>(0, 2)(rng_) != 0) return;
        const double span = std::max(averageCycleMs_ * 1.2, 1.0);
        const auto delay = std::chrono::microseconds(
            static_cast<long>(std::uniform_real_distribution<double>(0, span * 1000)(rng_)));
        const pid_t pid = server_->pid();
        killer_ = std::thread([this, delay, pid] {
            std::this_thread::sleep_for(delay);
            ::kill(pid, SIGKILL);
            killedIn_ = phase_.load();
            killed_ = true;
        });
    }
    void disarm() {
        if (killer_.joinable()) killer_.join();
    }

    // Check-out, upload, commit of one file; false when the server went away meanwhile.
    bool cycle(int id) {
        const auto began = std::chrono::steady_clock::now();
        const int k = id % kFiles;
        phase_ = CheckingOut;
        if (!checkOut(k)) return false;
        // One time in three the lock is given up and taken again.
        if (std::uniform_int_distribution<int>(0, 2)(rng_) == 0) {
            Packet release(Opcode::ReqVoidCheckOut);
            release.set(proto::ReqVoidCheckOut::path, member(k));
            marks_[k] = Mark::Unknown;
            if (!client_->ask(release)) return false;
            marks_[k] = Mark::Free;
            ++figures_.voids;
            if (!checkOut(k)) return false;
        }

        phase_ = Uploading;
        const std::size_t size = std::uniform_int_distribution<std::size_t>(0, kMaxSize)(rng_);
        const std::string content = contentOf(id, std::max<std::size_t>(size, 64));
        const std::string upload = std::string(kUser) + "__f" + std::to_string(k);
        for (std::size_t at = 0;; at += proto::ChunkSize) {
            const std::size_t n = std::min(proto::ChunkSize, content.size() - at);
            const bool last = n < proto::ChunkSize;
            Packet chunk(Opcode::ReqCheckInChunk);
            chunk.set(proto::ReqCheckInChunk::last, last ? 1 : 0);
            chunk.set(proto::ReqCheckInChunk::uploadName, upload);
            chunk.set(proto::ReqCheckInChunk::offset, static_cast<std::int64_t>(at));
            chunk.set(proto::ReqCheckInChunk::count, static_cast<std::int64_t>(n));
            const std::span<const std::uint8_t> data(
                reinterpret_cast<const std::uint8_t*>(content.data()) + at, n);
            chunk.set(proto::ReqCheckInChunk::checksum, proto::chunkChecksum(data));
            chunk.set(proto::ReqCheckInChunk::data, data);
            const auto r = client_->ask(chunk);
            if (!r) return false;
            if (r->get(proto::RepCheckInChunk::nextOffset) != static_cast<std::int64_t>(at + n)) {
                fail("a chunk was not stored");
                return false;
            }
            if (last) break;
        }

        phase_ = Committing;
        Packet commit(Opcode::ReqCheckIn);
        commit.set(proto::ReqCheckIn::path, member(k));
        commit.set(proto::ReqCheckIn::uploadName, upload);
        commit.set(proto::ReqCheckIn::userName, kUser);
        commit.set(proto::ReqCheckIn::comment, "cycle " + std::to_string(id));
        pending_[k] = id;
        marks_[k] = Mark::Unknown;
        const auto r = client_->ask(commit);
        phase_ = Between;
        if (!r) return false;
        if (r->get(proto::RepCheckIn::status) != proto::RepCheckIn::kCheckedIn) {
            fail("check-in refused: " + r->get(proto::RepCheckIn::reason));
            return false;
        }
        answered_[k] = id;
        pending_.erase(k);
        marks_[k] = Mark::Free;
        ++figures_.answered;
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began)
                .count();
        averageCycleMs_ = averageCycleMs_ == 0 ? ms : 0.9 * averageCycleMs_ + 0.1 * ms;
        return true;
    }

    // Checks out member k; false when the server went away meanwhile.
    bool checkOut(int k) {
        Packet request(Opcode::ReqCheckOut);
        request.set(proto::ReqCheckOut::path, member(k));
        marks_[k] = Mark::Unknown;
        const auto held = client_->ask(request);
        if (!held) return false;
        // A refusal naming this very account is its own lock, whose answer a kill lost.
        if (held->get(proto::RepCheckOut::status) != proto::RepCheckOut::kCheckedOut &&
            held->get(proto::RepCheckOut::reason).find("'torture'") == std::string::npos) {
            fail("check-out refused: " + held->get(proto::RepCheckOut::reason));
            return false;
        }
        marks_[k] = Mark::Held;
        return true;
    }

    void restart() {
        disarm();
        client_.reset();
        if (killed_) {
            ++figures_.kills;
            ++figures_.killsIn[killedIn_];
            killed_ = false;
        } else {
            server_->signal(SIGKILL);  // gone for another reason; make sure
        }
        server_->wait();
        server_.reset();
        ++figures_.restarts;
        verifyFilesAtRest("before restart " + std::to_string(figures_.restarts));
        start();
        verify("after restart " + std::to_string(figures_.restarts));
    }

    // What a kill may leave until the next start: the member files and versions must be whole
    // already, the copies beside them are the start-up's to remove.
    void verifyFilesAtRest(const std::string& when) {
        for (int k = 0; k < kFiles; ++k) {
            const auto id = idOf(readAll(member(k)));
            if (!id) {
                fail(when + ": member file " + std::to_string(k) + " is not one whole content");
                continue;
            }
            const auto p = pending_.find(k);
            if (*id != answered_[k] && (p == pending_.end() || *id != p->second)) {
                fail(when + ": member file " + std::to_string(k) + " holds content " +
                     std::to_string(*id) + ", not the answered " + std::to_string(answered_[k]));
            }
            // A commit the kill cut after the file was replaced: its version may be missing.
            if (p != pending_.end() && *id == p->second && *id != answered_[k]) {
                cutCommits_.insert(*id);
            }
            // What it holds now is the baseline of the next check.
            answered_[k] = *id;
            pending_.erase(k);
        }
        // The marks as the next start reads them.
        const auto groups = server::Store::readGroups(server::ServerPaths::under(data_));
        for (int k = 0; k < kFiles; ++k) {
            const auto e = groups->fileEntry(0, static_cast<std::size_t>(k));
            const bool held = e.get(server::FileEntry::checkedOut) == 1;
            if (held && e.get(server::FileEntry::holder) != kUser) {
                fail(when + ": member file " + std::to_string(k) + " held by someone else");
            }
            if (marks_[k] != Mark::Unknown && held != (marks_[k] == Mark::Held)) {
                fail(when + ": member file " + std::to_string(k) + " is " +
                     (held ? "held" : "free") + ", not as the last answer said");
            }
            marks_[k] = held ? Mark::Held : Mark::Free;
        }
    }

    void verify(const std::string& when) {
        verifyFilesAtRest(when);
        const std::regex temporary(".*\\.[0-9a-f]{16}\\.part$");
        for (const auto& entry : fs::recursive_directory_iterator(root_)) {
            const std::string name = entry.path().filename().string();
            if (std::regex_match(name, temporary)) {
                fail(when + ": half-written copy left: " + entry.path().string());
            }
            if (entry.is_regular_file() && name.ends_with(".__file__") &&
                !idOf(readAll(entry.path().string()))) {
                fail(when + ": a kept version is not whole: " + entry.path().string());
            }
            if (entry.is_regular_file() && name.ends_with(".__detail__") &&
                fs::file_size(entry.path()) != proto::DetailRecord::kSize) {
                fail(when + ": torn details: " + entry.path().string());
            }
        }
        if (!fs::is_empty(data_ + "/Temp")) fail(when + ": Temp is not empty");
        if (fs::file_size(data_ + "/Groups.zelt") != server::kGroupsFileSize ||
            fs::file_size(data_ + "/Accounts.zelt") != server::kAccountsFileSize) {
            fail(when + ": a table file is not whole");
        }
        // The answered content of every checked-in file is kept as a version.
        for (int k = 0; k < kFiles; ++k) {
            if (answered_[k] < 0) continue;
            bool kept = false;
            const std::string folder =
                data_ + "/Files/" + std::regex_replace(member(k), std::regex("[/:\\\\]"), "-");
            if (fs::is_directory(folder)) {
                for (const auto& entry : fs::directory_iterator(folder)) {
                    if (entry.path().string().ends_with(".__file__") &&
                        idOf(readAll(entry.path().string())) == answered_[k]) {
                        kept = true;
                    }
                }
            }
            if (kept) continue;
            if (cutCommits_.count(answered_[k]) == 0) {
                fail(when + ": no version of content " + std::to_string(answered_[k]));
            } else if (counted_.insert(answered_[k]).second) {
                ++figures_.unversionedCuts;
            }
        }
    }

    void fail(const std::string& what) {
        ++figures_.failures;
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    }

    void report(double seconds) const {
        const Figures& f = figures_;
        std::printf("check-in cycles: %d started, %d answered, %d voids answered, in %.0f s\n",
                    f.cycles, f.answered, f.voids, seconds);
        std::printf("kill -9: %d (", f.kills);
        for (int p = 0; p < PhaseCount; ++p) {
            std::printf("%s%d during %s", p == 0 ? "" : ", ", f.killsIn[p], kPhaseNames[p]);
        }
        std::printf("), %d restarts\n", f.restarts);
        std::printf("removed by the start-ups: %d half-written files beside member files, %d in "
                    "version folders, %d table files, %d leftovers in Temp\n",
                    f.besideMembers, f.inVersionFolders, f.tableLeftovers, f.tempLeftovers);
        std::printf("start-ups that reported versions missing half of their pair: %d\n",
                    f.unpairedReports);
        std::printf("unanswered commits cut after the file was replaced, before its version: %d\n",
                    f.unversionedCuts);
        std::printf("failed checks: %d%s\n", f.failures,
                    f.failures == 0 ? "" : (" (kept: " + root_ + ")").c_str());
    }

    std::string binary_;
    std::mt19937 rng_;
    std::string root_;
    std::string data_;
    std::uint16_t port_ = 0;
    std::unique_ptr<test::ChildProcess> server_;
    std::unique_ptr<Client> client_;
    std::thread killer_;
    std::atomic<int> phase_{Between};
    std::atomic<int> killedIn_{Between};
    std::atomic<bool> killed_{false};
    double averageCycleMs_ = 0;
    std::map<int, int> answered_;  // file -> content id the server answered for
    std::map<int, int> pending_;   // file -> content id whose commit was sent, not answered
    std::map<int, Mark> marks_;    // file -> its check-out mark as the answers left it
    std::set<int> cutCommits_;     // unanswered contents a kill left in a member file
    std::set<int> counted_;        // of those, the ones found without a version
    Figures figures_;
};

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1;
    const std::string binary = argc > 3 ? argv[3] : ZELT_SERVER_BINARY;
    ::signal(SIGPIPE, SIG_IGN);
    Torture torture(binary, seed);
    return torture.run(cycles);
}
