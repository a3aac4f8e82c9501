#pragma once

#include <string>

#include "client/cli/cli.h"
#include "client/cli/report.h"
#include "client/cli/run.h"
#include "client/cli/terminal_ui.h"

namespace zelt::cli {

// What a command works with.
struct Command {
    const CommandLine& line;
    TerminalUi& ui;
    Run& run;
    Report& report;
};

// Whether a command needs the server (every one but status).
bool needsServer(const std::string& command);

// Runs the command once the client has started (and, when it needs the server, logged in);
// returns its exit status.
int runCommand(Command& c);

}  // namespace zelt::cli
