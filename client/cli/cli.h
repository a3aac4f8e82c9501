#pragma once

#include <string>
#include <vector>

#include "client/core/state/places.h"

namespace zelt::cli {

// The command line as zelt reads it.
struct CommandLine {
    client::PlaceOptions places;
    std::string server;  // ADDRESS[:PORT]; empty: as in Comm.zelt
    std::string user;
    bool json = false;

    std::string command;
    std::string group;
    std::vector<std::string> paths;
    std::string output;  // view -o
    bool outputGiven = false;
    std::string message;  // checkin -m
    bool messageGiven = false;
    std::string commentFile;  // checkin -F
    bool commentFileGiven = false;
    bool yes = false;
    bool important = false;
    std::string recipients;
    std::string text;
    double forSeconds = -1;  // watch --for; below 0: not given
};

// Reads the command line. Returns -1 when the command is to run, else the exit status: the
// manual was shown (0), or the command line is wrong (2, with the reason on standard error).
int parseCommandLine(int argc, const char* const* argv, CommandLine* line);

// The program: reads the command line and runs its command.
int zeltMain(int argc, const char* const* argv);

}  // namespace zelt::cli
