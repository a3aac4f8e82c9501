#include "common/platform/terminal.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace zelt::terminal {

namespace {

// The terminal's settings while a hidden line is read, for the interrupt handler to put back.
termios gSaved{};
volatile sig_atomic_t gHidden = 0;

void restoreAndRaise(int signo) {
    if (gHidden) ::tcsetattr(STDIN_FILENO, TCSANOW, &gSaved);
    ::signal(signo, SIG_DFL);
    ::raise(signo);
}

}  // namespace

bool inputIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

std::optional<std::string> readHidden(std::string_view prompt) {
    std::fwrite(prompt.data(), 1, prompt.size(), stderr);
    std::fflush(stderr);
    const bool hide = ::tcgetattr(STDIN_FILENO, &gSaved) == 0;
    struct sigaction previous[2]{};
    if (hide) {
        struct sigaction sa {};
        sa.sa_handler = restoreAndRaise;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGINT, &sa, &previous[0]);
        ::sigaction(SIGTERM, &sa, &previous[1]);
        termios quiet = gSaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        gHidden = 1;
        ::tcsetattr(STDIN_FILENO, TCSADRAIN, &quiet);
    }
    std::string line;
    bool ended = false;
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n <= 0) {
            ended = line.empty();
            break;
        }
        if (c == '\n') break;
        line.push_back(c);
    }
    if (hide) {
        ::tcsetattr(STDIN_FILENO, TCSADRAIN, &gSaved);
        gHidden = 0;
        ::sigaction(SIGINT, &previous[0], nullptr);
        ::sigaction(SIGTERM, &previous[1], nullptr);
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (ended) return std::nullopt;
    return line;
}

}  // namespace zelt::terminal
