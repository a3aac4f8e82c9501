#include "tests/support/process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <stdexcept>

extern char** environ;

namespace zelt::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& errorFile,
                           const std::string& inputFile) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    if (!errorFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    if (!inputFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 0, inputFile.c_str(), O_RDONLY, 0);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    out_ = pipeEnds[0];
    if (rc != 0) throw std::runtime_error("posix_spawn " + argv[0]);
}

ChildProcess::~ChildProcess() {
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
}

bool ChildProcess::readSome(Millis timeout) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout)) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) return false;
    output_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::string ChildProcess::waitForLine(const std::string& text, Millis timeout) {
    SystemClock clock;
    const Millis end = clock.monotonic() + timeout;
    for (;;) {
        for (auto nl = output_.find('\n', scanned_); nl != std::string::npos;
             nl = output_.find('\n', scanned_)) {
            const std::string line = output_.substr(scanned_, nl - scanned_);
            scanned_ = nl + 1;
            if (line.find(text) != std::string::npos) return line;
        }
        const Millis left = end - clock.monotonic();
        if (left <= 0 || !readSome(left)) return "";
    }
}

void ChildProcess::signal(int signo) {
    ::kill(pid_, signo);
}

int ChildProcess::wait(Millis timeout) {
    SystemClock clock;
    const Millis end = clock.monotonic() + timeout;
    while (clock.monotonic() < end) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            reaped_ = true;
            while (readSome(0)) {
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        readSome(10);
    }
    return -1;
}

Finished runToEnd(const std::vector<std::string>& argv, const std::string& input, Millis timeout) {
    SystemClock clock;
    const Millis start = clock.monotonic();
    int in[2];
    int out[2];
    int err[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (const int fd : {in[0], out[1], err[1]}) ::close(fd);
    if (rc != 0) throw std::runtime_error("posix_spawn " + argv[0]);
    // Small inputs only: the pipe takes them whole before the program reads.
    [[maybe_unused]] const ssize_t written = ::write(in[1], input.data(), input.size());
    ::close(in[1]);

    Finished f;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* into[2] = {&f.out, &f.err};
    int open = 2;
    while (open > 0) {
        const Millis left = start + timeout - clock.monotonic();
        if (left <= 0 || ::poll(fds, 2, static_cast<int>(left)) <= 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                into[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0) ::close(p.fd);
    }
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (clock.monotonic() - start >= timeout) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        ::usleep(1000);
    }
    f.took = clock.monotonic() - start;
    return f;
}

namespace {

// Whether a listening socket could take port now (0: any), and which port it got.
unsigned short tryBind(unsigned short port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    unsigned short got = 0;
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        got = ntohs(addr.sin_port);
    }
    ::close(fd);
    return got;
}

}  // namespace

unsigned short freePort() {
    // Below the range the system takes connecting sockets' ports from: a test that opens
    // thousands of connections at once must not take the port a server is about to listen on.
    unsigned low = 32768;
    unsigned high = 60999;
    if (std::FILE* f = std::fopen("/proc/sys/net/ipv4/ip_local_port_range", "r")) {
        if (std::fscanf(f, "%u %u", &low, &high) != 2) low = 32768;
        std::fclose(f);
    }
    if (low > 11024) {
        std::mt19937 rng(std::random_device{}());
        std::uniform_int_distribution<unsigned> pick(low - 10000, low - 1);
        for (int tries = 0; tries < 200; ++tries) {
            const auto port = static_cast<unsigned short>(pick(rng));
            if (tryBind(port) == port) return port;
        }
    }
    return tryBind(0);
}

}  // namespace zelt::test
