#include "server/admin/admin_help.h"

#include <algorithm>

namespace zelt::server::admin {

namespace {

// --- zelt-server admin ----------------------------------------------------------------------

constexpr std::string_view kAdminNames[] = {""};
constexpr std::string_view kAdminSynopsis[] = {
    "[--data-dir DIR] [--json] COMMAND ...",
    "[COMMAND] --help",
};
constexpr HelpEntry kAdminCommands[] = {
    {"status", "The group, account and session information blocks."},
    {"sessions", "The users logged in now."},
    {"checkouts [--older-than DAYS]",
     "The checked-out files; with --older-than only those checked out longer ago than DAYS "
     "days, each with its holder and time."},
    {"account ...", "User accounts: add, set, remove, disconnect, list, search."},
    {"group ...", "Groups, their member users and their member files."},
    {"file ...",
     "One member file: its holder and versions, voiding its check-out, restoring "
     "a version."},
    {"notice ...", "The notice users are shown after logging in."},
    {"backup ...", "How many versions of each member file are kept."},
    {"port ...", "The port the server listens on from its next start."},
    {"shutdown ...", "Scheduling, cancelling or carrying out a shut-down."},
    {"send [--important] RECIPIENTS TEXT...", "A message from admin to users."},
};
constexpr HelpEntry kAdminOptions[] = {
    {"--data-dir DIR",
     "The data directory of the server. Without it, the directory the server itself would use: "
     "the one named by the path= line of /etc/zelt/server.conf (or of the file that "
     "ZELT_SERVER_CONFIG names), else the current directory."},
    {"--json",
     "Print one JSON document instead of lines: the server's answer, with its \"status\" "
     "(done, refused or error), the console \"lines\" (each with text, kind and tag), the "
     "\"reason\" of a refusal, and the \"data\" of a command that shows something."},
    {"-h, --help", "This page; after a command, that command's page."},
};
constexpr HelpEntry kAdminExit[] = {
    {"0", "The command was carried out."},
    {"1",
     "The server refused it. The reason is on standard error, in the words of the window's "
     "message box or of the console line."},
    {"2", "The command line is wrong; a usage text is on standard error."},
    {"3", "No server is running on the data directory."},
};
constexpr HelpEntry kAdminFiles[] = {
    {"DIR/admin.sock",
     "The administration socket, there while a server runs on DIR. Only the user the server "
     "runs as and root may use it."},
};

// --- status, sessions, checkouts ------------------------------------------------------------

constexpr std::string_view kStatusNames[] = {"status", "sessions", "checkouts"};
constexpr std::string_view kStatusSynopsis[] = {
    "status",
    "sessions",
    "checkouts [--older-than DAYS]",
};
constexpr HelpEntry kStatusCommands[] = {
    {"status",
     "The group, account and session information, as Status > All shows it: how many groups "
     "and accounts there are, enabled and disabled, how many users are connected and how many "
     "files are checked out."},
    {"sessions", "The user name of every account logged in now."},
    {"checkouts",
     "Every checked-out member file as GROUP::PATH, a file in two groups once for each."},
};
constexpr HelpEntry kStatusOptions[] = {
    {"--older-than DAYS",
     "Only the files checked out longer ago than DAYS days, each followed by who holds it and "
     "since when, so that a forgotten check-out is found before it holds up a team. A "
     "check-out whose time cannot be read is listed too."},
};

// --- account --------------------------------------------------------------------------------

constexpr std::string_view kAccountNames[] = {"account"};
constexpr std::string_view kAccountSynopsis[] = {
    "account add USER [--name TEXT] [--dept TEXT] [--disabled]",
    "account set USER [--rename NEW] [--name TEXT] [--dept TEXT] [--password] "
    "[--enable | --disable]",
    "account remove USER",
    "account disconnect USER",
    "account list",
    "account search WORD...",
};
constexpr HelpEntry kAccountCommands[] = {
    {"add USER",
     "Creates an account, enabled unless --disabled is given, and asks for its password. A user "
     "name has 1 to 50 characters, no space or tab and none of \\ / : * ? \" < > | ; and it may "
     "not be admin; a password has 1 to 20 characters."},
    {"set USER",
     "Changes an account. A renamed account keeps its group memberships and its check-outs. "
     "Disabling a connected account disconnects it."},
    {"remove USER",
     "Removes an account: it is disconnected and dismissed from every group it belongs to."},
    {"disconnect USER", "Closes the connection of a logged-in account."},
    {"list", "The user name of every account."},
    {"search WORD...",
     "The accounts whose user name, name, dept, email, phone or misc holds the words (joined "
     "by spaces, at most 30 characters), letter case ignored."},
};
constexpr HelpEntry kAccountOptions[] = {
    {"--name TEXT", "The user's name, at most 30 characters."},
    {"--dept TEXT", "The user's department, at most 30 characters."},
    {"--disabled", "Creates the account disabled: it cannot log in until it is enabled."},
    {"--rename NEW", "Gives the account the user name NEW."},
    {"--password", "Asks for a new password."},
    {"--enable, --disable", "Enables or disables the account."},
};

// --- group ----------------------------------------------------------------------------------

constexpr std::string_view kGroupNames[] = {"group"};
constexpr std::string_view kGroupSynopsis[] = {
    "group add NAME [--disabled]",
    "group set NAME [--rename NEW] [--enable | --disable]",
    "group remove NAME",
    "group list",
    "group show NAME",
    "group users NAME add|remove USER...",
    "group files NAME add|remove PATH...",
};
constexpr HelpEntry kGroupCommands[] = {
    {"add NAME", "Creates a group without users or files, enabled unless --disabled is given."},
    {"set NAME", "Renames, enables or disables a group."},
    {"remove NAME", "Removes a group. The versions kept of its files stay."},
    {"list", "The name of every group."},
    {"show NAME",
     "The group's users and files; a checked-out file is followed by who holds it and since "
     "when."},
    {"users NAME add USER...",
     "Adds accounts to the group, each new one at the top of the list as the window adds them; "
     "remove takes them out."},
    {"files NAME add PATH...",
     "Adds files of this machine to the group, each new one at the top of the list; a path "
     "has at most 255 characters, and a relative one is taken from the current directory. "
     "remove takes files out; their versions stay."},
};
constexpr HelpEntry kGroupOptions[] = {
    {"--disabled", "Creates the group disabled: its files cannot be checked out or in."},
    {"--rename NEW", "Gives the group the name NEW."},
    {"--enable, --disable", "Enables or disables the group."},
};

// --- file -----------------------------------------------------------------------------------

constexpr std::string_view kFileNames[] = {"file"};
constexpr std::string_view kFileSynopsis[] = {
    "file show PATH",
    "file void PATH",
    "file restore PATH STAMP",
};
constexpr HelpEntry kFileCommands[] = {
    {"show PATH",
     "The groups that hold the file, who has it checked out and since when, and the versions "
     "kept of it, oldest first, each with its time, user and comment."},
    {"void PATH",
     "Voids the file's check-out: the file is free again, and the holder's client, when it "
     "is connected, is told."},
    {"restore PATH STAMP",
     "Makes the version STAMP (as file show lists it) the latest content of the file. The "
     "content it replaces is kept first as a new version by admin."},
};

// --- notice ---------------------------------------------------------------------------------

constexpr std::string_view kNoticeNames[] = {"notice"};
constexpr std::string_view kNoticeSynopsis[] = {
    "notice show",
    "notice set [--on | --off] [TEXT... | --file F | -]",
};
constexpr HelpEntry kNoticeCommands[] = {
    {"show", "Whether the notice is sent, and its text."},
    {"set",
     "Switches the notice on or off, and gives it a text: the words TEXT joined by spaces, the "
     "content of the file F, or standard input (-). Giving a text switches the notice on; "
     "while it is off its text stays as it is. The text may hold 1024 characters, each line "
     "counting one more; a longer one is refused."},
};
constexpr HelpEntry kNoticeOptions[] = {
    {"--on", "Send the notice to every user who logs in."},
    {"--off", "Send no notice; its text is kept for later."},
    {"--file F", "Take the text from the file F."},
};

// --- backup, port ---------------------------------------------------------------------------

constexpr std::string_view kBackupNames[] = {"backup"};
constexpr std::string_view kBackupSynopsis[] = {
    "backup show",
    "backup set 5|10|20",
};
constexpr HelpEntry kBackupCommands[] = {
    {"show", "How many versions are kept of each member file."},
    {"set 5|10|20",
     "Keeps that many. A file's surplus versions go at its next check-in, oldest first."},
};

constexpr std::string_view kPortNames[] = {"port"};
constexpr std::string_view kPortSynopsis[] = {
    "port show",
    "port set N",
};
constexpr HelpEntry kPortCommands[] = {
    {"show", "The port for the next start, and the one listened on now when it differs."},
    {"set N",
     "Makes N (1 to 65535) the port from the next start on. The clients must be given it in "
     "their log-in window."},
};

// --- shutdown, send -------------------------------------------------------------------------

constexpr std::string_view kShutdownNames[] = {"shutdown"};
constexpr std::string_view kShutdownSynopsis[] = {
    "shutdown MINUTES",
    "shutdown cancel",
    "shutdown now",
};
constexpr HelpEntry kShutdownCommands[] = {
    {"MINUTES",
     "Schedules the shut-down in MINUTES minutes (1 or more), replacing a schedule that runs. "
     "Every logged-in user is warned now and then once a minute."},
    {"cancel", "Cancels the schedule, and tells the users."},
    {"now", "Closes the communication at once."},
};
constexpr std::string_view kShutdownDescription =
    "The Shut Down Schedule window and the shut-down lines of the console. When the time is "
    "up, the communication closes: every client is disconnected and no new one is accepted. "
    "The program itself keeps running, and answering this command, until it is stopped (with "
    "SIGTERM, or by stopping its service).";

constexpr std::string_view kSendNames[] = {"send"};
constexpr std::string_view kSendSynopsis[] = {
    "send [--important] RECIPIENTS TEXT...",
};
constexpr HelpEntry kSendOptions[] = {
    {"--important", "Marks the message important: the receiving clients beep and flash."},
};
constexpr std::string_view kSendDescription =
    "The Send Message window: a message from admin. RECIPIENTS is a list of user names "
    "separated by semicolons, where @NAME stands for every member of the group NAME and "
    "@<all> for every user (quote the list for the shell). The words of TEXT, joined by "
    "spaces, are the message, at most 1024 characters. The server says how many users "
    "received it; only users logged in now receive it.";

constexpr HelpPage kPages[] = {
    {kAdminNames, "administer a running ZELT server", kAdminSynopsis,
     "Has the ZELT server that runs on a data directory carry out one command, through its "
     "administration socket: the same work, checks and refusals as the server's own windows. "
     "A change appears on the server's console as if it had been made in the window, and is "
     "saved before the command ends. The command prints the console lines the server printed "
     "for it, one a line, or with --json one JSON document.\n\n"
     "A password is read from the first line of standard input when that is not a terminal; "
     "on a terminal it is asked for twice, without being shown. It is never taken from the "
     "command line.",
     kAdminCommands, kAdminOptions, kAdminExit, kAdminFiles},
    {kStatusNames,
     "show what the server holds now",
     kStatusSynopsis,
     "The status blocks and listings of the server's console, which shows them too.",
     kStatusCommands,
     kStatusOptions,
     {},
     {}},
    {kAccountNames,
     "create, change, disconnect, remove, list and search user accounts",
     kAccountSynopsis,
     "The work of the Account Properties and Search Account windows, with their checks. User "
     "names compare without regard to letter case.\n\n"
     "A password is read from the first line of standard input when that is not a terminal; "
     "on a terminal it is asked for twice, without being shown, and the two must agree.",
     kAccountCommands,
     kAccountOptions,
     {},
     {}},
    {kGroupNames,
     "create, change and remove groups, their users and their files",
     kGroupSynopsis,
     "The work of the Group Properties window, with its checks. There are at most 50 groups. A "
     "group's name has 1 to 30 characters and none of \\ / : * ? \" < > | ; @ and it compares "
     "without regard to letter case; a group has at most 100 users and 500 files. A group "
     "whose users are connected or whose files are checked out may be changed; the server "
     "warns of it first, as the window does.",
     kGroupCommands,
     kGroupOptions,
     {},
     {}},
    {kFileNames,
     "look after one member file",
     kFileSynopsis,
     "The File Properties window of a member file, named by its full path (a relative path is "
     "taken from the current directory).",
     kFileCommands,
     {},
     {},
     {}},
    {kNoticeNames,
     "the notice shown to users after they log in",
     kNoticeSynopsis,
     "The Notice Properties window.",
     kNoticeCommands,
     kNoticeOptions,
     {},
     {}},
    {kBackupNames,
     "how many versions of each member file are kept",
     kBackupSynopsis,
     "The Backup Properties window.",
     kBackupCommands,
     {},
     {},
     {}},
    {kPortNames,
     "the port the server listens on",
     kPortSynopsis,
     "The Change Communication Port window. A new port applies from the next start of the "
     "server.",
     kPortCommands,
     {},
     {},
     {}},
    {kShutdownNames,
     "schedule, cancel or carry out a shut-down",
     kShutdownSynopsis,
     kShutdownDescription,
     kShutdownCommands,
     {},
     {},
     {}},
    {kSendNames,
     "send a message to users",
     kSendSynopsis,
     kSendDescription,
     {},
     kSendOptions,
     {},
     {}},
};

constexpr std::size_t kWidth = 80;
constexpr std::string_view kIndent = "       ";
constexpr std::string_view kTermIndent = "              ";

// Appends text wrapped at kWidth, each line starting with indent, or with hanging after the
// first line of a paragraph when given.
void wrap(std::string& out, std::string_view text, std::string_view indent,
          std::string_view hanging = {}) {
    if (hanging.empty()) hanging = indent;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t breakAt = text.find("\n\n", at);
        const std::string_view paragraph = text.substr(
            at, breakAt == std::string_view::npos ? std::string_view::npos : breakAt - at);
        std::string line(indent);
        bool empty = true;
        std::size_t word = 0;
        while (word < paragraph.size()) {
            const std::size_t end = std::min(paragraph.find(' ', word), paragraph.size());
            const std::string_view w = paragraph.substr(word, end - word);
            if (!empty && line.size() + 1 + w.size() > kWidth) {
                out += line + "\n";
                line = std::string(hanging);
                empty = true;
            }
            if (!empty) line.push_back(' ');
            line += w;
            empty = false;
            word = end + 1;
        }
        out += line + "\n";
        if (breakAt == std::string_view::npos) break;
        out += "\n";
        at = breakAt + 2;
    }
}

std::string fullName(const HelpPage& page) {
    std::string name = "zelt-server admin";
    for (std::size_t i = 0; i < page.commands.size(); ++i) {
        if (page.commands[i].empty()) continue;
        name += i == 0 ? " " : ", ";
        name += page.commands[i];
    }
    return name;
}

void section(std::string& out, std::string_view title, std::span<const HelpEntry> entries) {
    if (entries.empty()) return;
    out += "\n";
    out += title;
    out += "\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) out += "\n";
        out += std::string(kIndent) + std::string(entries[i].term) + "\n";
        wrap(out, entries[i].text, kTermIndent);
    }
}

}  // namespace

std::span<const HelpPage> helpPages() {
    return kPages;
}

const HelpPage& helpPage(std::string_view command) {
    for (const HelpPage& page : kPages) {
        if (std::find(page.commands.begin(), page.commands.end(), command) != page.commands.end()) {
            return page;
        }
    }
    return kPages[0];
}

std::string renderHelp(const HelpPage& page) {
    std::string out = "NAME\n";
    wrap(out, fullName(page) + " - " + std::string(page.summary), kIndent);
    out += "\nSYNOPSIS\n";
    for (const std::string_view form : page.synopsis) {
        wrap(out, "zelt-server admin " + std::string(form), kIndent, kTermIndent);
    }
    out += "\nDESCRIPTION\n";
    wrap(out, page.description, kIndent);
    section(out, "COMMANDS", page.subcommands);
    section(out, "OPTIONS", page.options);
    section(out, "EXIT STATUS", page.exitStatus);
    section(out, "FILES", page.files);
    if (!page.commands.front().empty()) {
        out += "\nSEE ALSO\n";
        out += std::string(kIndent) + "zelt-server admin --help\n";
    }
    return out;
}

std::string renderUsage(const HelpPage& page) {
    std::string out;
    for (std::size_t i = 0; i < page.synopsis.size(); ++i) {
        out += i == 0 ? "usage: " : "       ";
        out += "zelt-server admin " + std::string(page.synopsis[i]) + "\n";
    }
    const std::string_view name = page.commands.front();
    out += "Try 'zelt-server admin " + std::string(name) + (name.empty() ? "" : " ") +
           "--help' for more.\n";
    return out;
}

}  // namespace zelt::server::admin
