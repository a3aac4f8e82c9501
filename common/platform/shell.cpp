#include "common/platform/shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace zelt::shell {

namespace {

bool isAddress(const std::string& target) {
    return target.rfind("http://", 0) == 0 || target.rfind("https://", 0) == 0 ||
           target.rfind("mailto:", 0) == 0;
}

}  // namespace

int openProblem(const std::string& target) {
    if (target.empty()) return 2;
    if (isAddress(target)) return 0;
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) {
        if (errno == EACCES) return 5;
        const auto slash = target.rfind('/');
        if (slash != std::string::npos && slash > 0) {
            struct stat parent {};
            if (::stat(target.substr(0, slash).c_str(), &parent) != 0) return 3;
        }
        return 2;
    }
    if (::access(target.c_str(), R_OK) != 0) return 5;
    return 0;
}

int open(const std::string& target) {
    if (const int problem = openProblem(target); problem != 0) return problem;
    // The shell starts xdg-open in the background and ends at once; waiting for the shell
    // reaps it, and the viewer itself is left to run on its own.
    const char* argv[] = {"/bin/sh", "-c", "xdg-open \"$1\" >/dev/null 2>&1 &", "sh",
                          target.c_str(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv),
                      environ) != 0) {
        return 31;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return Opened;
}

}  // namespace zelt::shell
