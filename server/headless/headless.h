#pragma once

#include <cstdio>
#include <string>

#include "common/console/console.h"
#include "server/core/admin_ui.h"

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
// ends the program.
class HeadlessUi final : public AdminUi {
public:
    void closeMainWindow() override { closeRequested = true; }
    bool closeRequested = false;
};

// The data directory: --data-dir when given, else the machine-wide setting, else ".".
std::string serverDataDirectory(const std::string& fromCommandLine);

}  // namespace zelt::server
