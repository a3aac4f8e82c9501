#pragma once

#include <cstdio>
#include <string>

#include "common/console/console.h"
#include "server/core/ui/null_admin_ui.h"

namespace zelt::server {

// Writes every console line to a stream as STAMP<TAB>KIND<TAB>TAG<TAB>TEXT, flushed at once.
// Tabs, line breaks and other control characters inside a field are escaped, so one console
// line is always one output line whatever a client put into a message.
class StreamConsole final : public ConsoleObserver {
public:
    explicit StreamConsole(std::FILE* out) : out_(out) {}
    void lineAppended(const ConsoleLine& line, std::size_t index) override;
    void cleared() override {}

    static std::string format(const ConsoleLine& line);

private:
    std::FILE* out_;
};

// The front end without a window: nothing to open, nothing to flash; closing the main window
// ends the program, and a refused start-up ends it with its reason on errors.
class HeadlessUi final : public NullAdminUi {
public:
    explicit HeadlessUi(std::FILE* errors) : errors_(errors) {}

    void closeMainWindow() override { closeRequested = true; }
    void startRefused(const std::string& reason) override;

    bool closeRequested = false;
    bool refused = false;

private:
    std::FILE* errors_;
};

// The data directory: --data-dir when given, else the machine-wide setting, else ".".
std::string serverDataDirectory(const std::string& fromCommandLine);
// Whom Help > Contact offers to write to: the contact= line of the machine-wide setting, else "".
std::string serverContactAddress();

}  // namespace zelt::server
