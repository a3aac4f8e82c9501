#pragma once

#include <string>
#include <string_view>
#include <vector>

// The manual of zelt, kept as data in this one place: --help renders it as a manual page on
// the terminal, the command line takes each option's name from it, and an installed manual
// page can be made from it, so the three never tell different stories.
namespace zelt::cli {

struct OptionDoc {
    std::string_view names;     // as given on the command line: "--json", "-o,--output"
    std::string_view argument;  // what follows the option ("DIR"); empty for a flag
    std::string_view text;
};

struct CommandDoc {
    std::string_view name;
    std::string_view arguments;  // as the synopsis shows them
    std::string_view text;
    std::vector<OptionDoc> options;
};

// A term and what it means: an exit status, a variable, a file.
struct TermDoc {
    std::string_view term;
    std::string_view text;
};

struct SectionDoc {
    std::string_view title;
    std::vector<std::string_view> paragraphs;
};

struct Manual {
    std::string_view name;
    std::string_view purpose;  // the NAME line after the dash
    std::string_view synopsis;
    std::vector<std::string_view> description;
    std::vector<OptionDoc> options;
    std::vector<CommandDoc> commands;
    std::vector<SectionDoc> sections;  // between the commands and the exit statuses
    std::vector<TermDoc> exitStatus;
    std::vector<TermDoc> environment;
    std::vector<TermDoc> files;
    std::vector<std::string_view> examples;
};

const Manual& manual();
const CommandDoc* findCommand(std::string_view name);
// The option of a table one of whose names is name ("-o" or "--output"), or nullptr.
const OptionDoc* findOption(const std::vector<OptionDoc>& options, std::string_view name);

// The whole manual page, its text wrapped to width columns.
std::string renderManual(int width);
// One command's part of it, with its own usage line.
std::string renderCommand(const CommandDoc& command, int width);

}  // namespace zelt::cli
