#include "client/cli/manual.h"

#include <algorithm>

namespace zelt::cli {

namespace {

Manual makeManual() {
    Manual m;
    m.name = "zelt";
    m.purpose = "the ZELT client for scripts and terminals";
    m.synopsis =
        "zelt [--data-dir DIR] [--user-dir DIR] [--server ADDRESS[:PORT]] [--user NAME] [--json] "
        "COMMAND ...";
    m.description = {
        "zelt takes check-outs of the files of a ZELT server, fetches them, checks them back in "
        "with a comment and reports who holds what, from scripts, build jobs and terminals. It is "
        "the ZELT client without its window: it uses the same data directory (Comm.zelt, "
        "Chkout.zelt) and the same user folder (Working, Temp, Backup) as the window program, so "
        "a file checked out by one can be checked in by the other. One client at a time uses a "
        "data directory; a second one refuses to start.",
        "Every command but status connects to the server, logs in, does its work and disconnects "
        "again. The server's address and the user name are those of the last log-in, kept in "
        "Comm.zelt, unless --server and --user say otherwise; a successful log-in keeps what was "
        "used in Comm.zelt for the next time, as the window's Log-in dialog does.",
        "Results go to standard output as plain lines, one for each file, group or event; "
        "refusals and errors go to standard error, each with the server's reason. With --json "
        "the result is one JSON document on standard output instead. While a file is transferred "
        "and standard error is a terminal, a progress bar shows the rate and the time left.",
    };
    m.options = {
        {"--data-dir", "DIR",
         "The client's data directory, which holds Comm.zelt and Chkout.zelt. Without it, the "
         "one named by the path= line of the machine's client settings, else the current "
         "directory."},
        {"--user-dir", "DIR",
         "The user folder, which holds Working, Temp and Backup. Without it, the folder Zelt in "
         "the user's documents folder, else the data directory."},
        {"--server", "ADDRESS[:PORT]",
         "The server's IPv4 address and, after a colon, its port. Without a port, the one kept "
         "in Comm.zelt, else 32767."},
        {"--user", "NAME", "The user name to log in with."},
        {"--json", "", "Writes the result as one JSON document on standard output."},
        {"-h,--help", "", "Shows this manual, or with a command that command's part of it."},
    };
    m.commands = {
        {"groups", "", "Lists the groups you are a member of, one a line.", {}},
        {"files",
         "GROUP",
         "Lists the files of a group: each file's path on the server and, for a file that is "
         "checked out, who holds it and since when.",
         {}},
        {"info",
         "GROUP PATH",
         "Shows a file's properties: its group, who holds it checked out and since when, and "
         "its last update with the time, the user and the comment.",
         {}},
        {"checkout",
         "PATH...",
         "Checks out each file named by its path on the server, then fetches it into the "
         "Working folder, and prints the path of each working copy. A file you already hold "
         "is not asked for again; one not fetched yet is fetched.",
         {}},
        {"fetch",
         "PATH...",
         "Fetches files you already hold checked out into the Working folder and prints the "
         "path of each working copy. A working copy fetched before is left as it is, so your "
         "edits are never overwritten.",
         {}},
        {"view",
         "PATH [-o FILE | -o -]",
         "Makes a read-only copy of any file of your groups, whoever holds it: into the Temp "
         "folder (its path is printed; the window program empties Temp when it closes), or "
         "into FILE, or onto standard output.",
         {{"-o,--output", "FILE", "Where the copy goes; - for standard output."}}},
        {"checkin",
         "(-m TEXT | -F FILE) PATH...",
         "Uploads the working copy of each file and commits it with the comment, which the "
         "server keeps with the new version. Then, as in the window, the working copy goes to "
         "the Backup folder and the check-out is cleared. A comment may hold up to 1024 "
         "characters, each line counting its line end.",
         {{"-m,--message", "TEXT", "The comment."},
          {"-F,--file", "FILE", "Reads the comment from FILE; - reads standard input."}}},
        {"void",
         "[--yes] PATH...",
         "Voids your check-outs: the server frees the files without a new version, and their "
         "working copies are deleted. On a terminal you are asked first; elsewhere --yes is "
         "required.",
         {{"-y,--yes", "", "Voids without asking."}}},
        {"status",
         "",
         "Needs no server: shows the connection settings kept in Comm.zelt and every record of "
         "Chkout.zelt with its state (requested, checked-out or fetched) and its working copy.",
         {}},
        {"passwd",
         "",
         "Changes your password. The new password is asked twice on a terminal, or read from "
         "the next two lines of standard input.",
         {}},
        {"send",
         "[--important] RECIPIENTS TEXT",
         "Sends a message through the server and prints how many users it reached. "
         "RECIPIENTS are user names separated by semicolons; @group sends to the members of a "
         "group, @<all> to every user, and admin to the server's administrator.",
         {{"--important", "", "Marks the message important: it beeps and flashes."}}},
        {"notice", "", "Prints the server's log-in notice, if there is one.", {}},
        {"watch",
         "[--for SECONDS]",
         "Stays logged in, keeping the connection alive, and prints messages, broadcasts and "
         "voids of your check-outs as they arrive, one a line, until interrupted (Ctrl+C), "
         "the time is up, or the connection ends.",
         {{"--for", "SECONDS", "Ends after this many seconds."}}},
    };
    m.sections = {
        {"PASSWORD",
         {"The password comes from the environment variable ZELT_PASSWORD; else from the first "
          "line of standard input, when that is not a terminal; else from a prompt that does "
          "not show what is typed. It is never taken from the command line, where other users "
          "of the machine could read it."}},
        {"JSON",
         {"Each command writes one object. A command about files has an array \"files\" with "
          "one object for each path given: \"path\", \"result\" (\"done\", \"refused\" or "
          "\"failed\"), and as they apply \"reason\" (the server's words), \"message\" (the "
          "client's sentence), \"working\", \"backup\" or \"copy\" (the paths written). A "
          "command that could not run writes {\"error\": ...}. watch writes an array that grows "
          "by one object for each event."}},
    };
    m.exitStatus = {
        {"0", "Everything was done."},
        {"1",
         "At least one item was refused: by the server (its reason is on standard error), or "
         "because your check-outs do not allow it (a file not checked out or not fetched), or "
         "you said no."},
        {"2", "A usage error: the command line, or input the window's dialogs would refuse."},
        {"3",
         "Could not connect or log in, or the connection ended; the reason is on standard "
         "error as the Log-in dialog would show it."},
        {"4",
         "A local failure: a file that could not be read or written, the data directory in use "
         "by another client, or the command was interrupted."},
    };
    m.environment = {
        {"ZELT_PASSWORD", "The password to log in with."},
        {"ZELT_CLIENT_CONFIG",
         "The machine's client settings file, instead of /etc/zelt/client.conf."},
        {"XDG_DOCUMENTS_DIR, HOME", "Where the documents folder is, which holds Zelt."},
    };
    m.files = {
        {"/etc/zelt/client.conf",
         "The machine's client settings: path=DIR names the data directory."},
        {"DIR/Comm.zelt",
         "The last log-in: the server's address and port, the user name and the scrambled "
         "password."},
        {"DIR/Chkout.zelt", "The check-out table: every file held, and its working copy."},
        {"Zelt/Working", "The working copies of the files checked out."},
        {"Zelt/Temp", "Read-only copies."},
        {"Zelt/Backup", "A copy of each file as it was last checked in."},
    };
    m.examples = {
        "zelt --server 192.168.1.20 --user anna checkout /srv/docs/plan.ods",
        "zelt checkin -m \"Totals fixed.\" /srv/docs/plan.ods",
        "zelt --json files Team",
        "zelt view /srv/docs/plan.ods -o - > plan.ods",
    };
    return m;
}

// Wraps text to width columns, every line indented by indent spaces.
std::string wrap(std::string_view text, std::size_t indent, std::size_t width) {
    const std::size_t room = width > indent + 20 ? width - indent : 20;
    std::string out;
    std::string line;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string_view word = text.substr(at, end - at);
        at = end + 1;
        if (word.empty()) continue;
        if (!line.empty() && line.size() + 1 + word.size() > room) {
            out += std::string(indent, ' ') + line + "\n";
            line.clear();
        }
        if (!line.empty()) line += ' ';
        line += word;
    }
    if (!line.empty()) out += std::string(indent, ' ') + line + "\n";
    return out;
}

constexpr std::size_t kIndent = 7;
constexpr std::size_t kDeeper = 14;

std::string optionTerm(const OptionDoc& option) {
    std::string names(option.names);
    const std::size_t comma = names.find(',');
    if (comma != std::string::npos) names.replace(comma, 1, ", ");
    return option.argument.empty() ? names : names + " " + std::string(option.argument);
}

std::string commandTerm(const CommandDoc& command) {
    std::string term(command.name);
    if (!command.arguments.empty()) term += " " + std::string(command.arguments);
    return term;
}

void renderTerms(std::string& out, const std::vector<TermDoc>& terms, std::size_t width) {
    for (const TermDoc& t : terms) {
        // A short term shares its first line with the text, as manual pages set it.
        if (t.term.size() < kDeeper - kIndent) {
            std::string text = wrap(t.text, kDeeper, width);
            text.replace(kIndent, t.term.size(), t.term);
            out += text;
            continue;
        }
        out += wrap(t.term, kIndent, width);
        out += wrap(t.text, kDeeper, width);
    }
}

void renderOptions(std::string& out, const std::vector<OptionDoc>& options, std::size_t indent,
                   std::size_t width) {
    for (const OptionDoc& o : options) {
        out += wrap(optionTerm(o), indent, width);
        out += wrap(o.text, indent + kIndent, width);
    }
}

}  // namespace

const Manual& manual() {
    static const Manual m = makeManual();
    return m;
}

const CommandDoc* findCommand(std::string_view name) {
    for (const CommandDoc& c : manual().commands) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

const OptionDoc* findOption(const std::vector<OptionDoc>& options, std::string_view name) {
    for (const OptionDoc& o : options) {
        std::string_view names = o.names;
        while (!names.empty()) {
            const std::size_t comma = std::min(names.find(','), names.size());
            if (names.substr(0, comma) == name) return &o;
            names.remove_prefix(std::min(comma + 1, names.size()));
        }
    }
    return nullptr;
}

std::string renderManual(int columns) {
    const Manual& m = manual();
    const auto width = static_cast<std::size_t>(std::max(columns, 40));
    std::string out =
        "NAME\n" + wrap(std::string(m.name) + " - " + std::string(m.purpose), kIndent, width);
    out += "\nSYNOPSIS\n" + wrap(m.synopsis, kIndent, width);
    out += "\nDESCRIPTION\n";
    for (std::size_t i = 0; i < m.description.size(); ++i) {
        if (i > 0) out += "\n";
        out += wrap(m.description[i], kIndent, width);
    }
    out += "\nOPTIONS\n";
    renderOptions(out, m.options, kIndent, width);
    out += "\nCOMMANDS\n";
    for (const CommandDoc& c : m.commands) {
        out += wrap(commandTerm(c), kIndent, width);
        out += wrap(c.text, kDeeper, width);
        renderOptions(out, c.options, kDeeper, width);
    }
    for (const SectionDoc& s : m.sections) {
        out += "\n" + std::string(s.title) + "\n";
        for (std::string_view p : s.paragraphs) out += wrap(p, kIndent, width);
    }
    out += "\nEXIT STATUS\n";
    renderTerms(out, m.exitStatus, width);
    out += "\nENVIRONMENT\n";
    renderTerms(out, m.environment, width);
    out += "\nFILES\n";
    renderTerms(out, m.files, width);
    out += "\nEXAMPLES\n";
    for (std::string_view e : m.examples) out += std::string(kIndent, ' ') + std::string(e) + "\n";
    return out;
}

std::string renderCommand(const CommandDoc& command, int columns) {
    const auto width = static_cast<std::size_t>(std::max(columns, 40));
    std::string out = "SYNOPSIS\n" + wrap("zelt [OPTIONS] " + commandTerm(command), kIndent, width);
    out += "\nDESCRIPTION\n" + wrap(command.text, kIndent, width);
    if (!command.options.empty()) {
        out += "\nOPTIONS\n";
        renderOptions(out, command.options, kIndent, width);
    }
    out += "\n" + wrap(
                      "The options before the command, the password, the exit statuses and the "
                      "files are in zelt --help.",
                      kIndent, width);
    return out;
}

}  // namespace zelt::cli
