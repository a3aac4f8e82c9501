#include "common/platform/terminal.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace zelt::terminal {

namespace {

int descriptor(Stream stream) {
    switch (stream) {
        case Stream::Input:
            return STDIN_FILENO;
        case Stream::Output:
            return STDOUT_FILENO;
        case Stream::Error:
            break;
    }
    return STDERR_FILENO;
}

void writeError(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

constexpr char kInterrupt = 0x03;
constexpr char kEndOfInput = 0x04;
constexpr char kBackspace = 0x08;
constexpr char kDelete = 0x7F;

}  // namespace

bool isTerminal(Stream stream) {
    return ::isatty(descriptor(stream)) == 1;
}

int columns(Stream stream) {
    winsize size{};
    if (::ioctl(descriptor(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
    return size.ws_col;
}

std::optional<std::string> readTyped(const std::string& prompt, Echo echo) {
    termios saved{};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0) return std::nullopt;
    // Key by key, with the terminal's own echo and signals off: a program that turns Ctrl+C
    // into an orderly end of its loop would otherwise never see it while a prompt waits.
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (::tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return std::nullopt;
    writeError(prompt);

    std::optional<std::string> line = std::string();
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || c == kInterrupt || (c == kEndOfInput && line->empty())) {
            line.reset();
            break;
        }
        if (c == '\n' || c == '\r') break;
        if (c == kBackspace || c == kDelete) {
            if (line->empty()) continue;
            line->pop_back();
            if (echo == Echo::Shown) writeError("\b \b");
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x20) continue;
        line->push_back(c);
        if (echo == Echo::Shown) writeError(std::string(1, c));
    }
    writeError("\n");
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return line;
}

}  // namespace zelt::terminal
