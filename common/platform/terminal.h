#pragma once

#include <optional>
#include <string>
#include <string_view>

// Standard input as a command reads it: a terminal it can ask on, or a pipe or file it takes
// lines from.
namespace zelt::terminal {

// Whether standard input is a terminal.
bool inputIsTerminal();

// Shows prompt on standard error and reads one line from the terminal without showing what is
// typed. The terminal shows input again afterwards, also when the program is interrupted while
// it waits. Nothing at the end of input.
std::optional<std::string> readHidden(std::string_view prompt);

}  // namespace zelt::terminal
