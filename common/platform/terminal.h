#pragma once

#include <optional>
#include <string>

// The terminal a command-line program may be talking to.
namespace zelt::terminal {

enum class Stream { Input, Output, Error };

bool isTerminal(Stream stream);
// The width of the terminal on the stream in columns; 80 when it is none or does not say.
int columns(Stream stream);

enum class Echo { Shown, Hidden };
// Writes prompt to standard error and reads one line typed on the terminal at standard input,
// without its line end; with Echo::Hidden nothing typed is shown. Ctrl+C and Ctrl+D on an
// empty line give nothing back: the user gave up. The terminal is left as it was found.
// Standard input must be a terminal.
std::optional<std::string> readTyped(const std::string& prompt, Echo echo);

}  // namespace zelt::terminal
