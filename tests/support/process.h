#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "common/platform/clock.h"

namespace zelt::test {

// A program started for a black-box test, its standard output read through a pipe.
class ChildProcess {
public:
    // With errorFile, the child's standard error goes to that file (created or emptied); with
    // inputFile, its standard input comes from that file.
    explicit ChildProcess(const std::vector<std::string>& argv, const std::string& errorFile = "",
                          const std::string& inputFile = "");
    ~ChildProcess();  // kills the child if it still runs

    // Reads output until a line containing text arrives; returns that line or "" on timeout.
    std::string waitForLine(const std::string& text, Millis timeout = 10000);
    // Everything read so far.
    const std::string& output() const { return output_; }
    void signal(int signo);
    // Waits for the end; returns the exit status, or -1 (killed by a signal or timed out).
    int wait(Millis timeout = 10000);
    pid_t pid() const { return pid_; }

private:
    bool readSome(Millis timeout);

    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
    std::size_t scanned_ = 0;
    bool reaped_ = false;
};

// What a program run to its end printed and returned.
struct Finished {
    int status = -1;  // the exit status; -1 when killed by a signal or still running at the timeout
    std::string out;
    std::string err;
    Millis took = 0;  // real time from start to end
};

// Runs a program with input on its standard input (then closed) and collects its standard
// output and standard error until it ends.
Finished runToEnd(const std::vector<std::string>& argv, const std::string& input = "",
                  Millis timeout = 10000);

// A TCP port of this host that nothing listens on right now.
unsigned short freePort();

}  // namespace zelt::test
