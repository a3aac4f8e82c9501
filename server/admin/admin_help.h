#pragma once

#include <span>
#include <string>
#include <string_view>

// The help of `zelt-server admin`, written once as data: --help renders a page as plain text in
// the manner of a manual page, and the same pages can be turned into real manual pages.
namespace zelt::server::admin {

// A term and what it means: a command with its arguments, an option, an exit status, a file.
struct HelpEntry {
    std::string_view term;
    std::string_view text;
};

struct HelpPage {
    // The command words the page is for, the first naming it ("" for the admin command itself).
    std::span<const std::string_view> commands;
    // What follows "zelt-server admin NAME - " in the NAME section.
    std::string_view summary;
    // The forms of the command line, after "zelt-server admin".
    std::span<const std::string_view> synopsis;
    // Paragraphs separated by an empty line.
    std::string_view description;
    std::span<const HelpEntry> subcommands;
    std::span<const HelpEntry> options;
    std::span<const HelpEntry> exitStatus;
    std::span<const HelpEntry> files;
};

// Every page: the admin command's own first, then one per command group.
std::span<const HelpPage> helpPages();
// The page of a command word ("account", "sessions"); the admin command's own for "" or a word
// no page is for.
const HelpPage& helpPage(std::string_view command);

// The page as --help prints it: NAME, SYNOPSIS, DESCRIPTION, COMMANDS, OPTIONS, EXIT STATUS,
// FILES, with the terms indented as a manual page indents them, wrapped at 80 columns.
std::string renderHelp(const HelpPage& page);
// "usage: " and the page's synopsis, for the standard error of a wrong command line.
std::string renderUsage(const HelpPage& page);

}  // namespace zelt::server::admin
