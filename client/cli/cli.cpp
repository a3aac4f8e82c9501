#include "client/cli/cli.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "client/cli/commands.h"
#include "client/cli/manual.h"
#include "client/cli/texts.h"
#include "client/core/ui/forms.h"
#include "common/platform/terminal.h"

namespace zelt::cli {

namespace {

// Every option comes from the manual, so that --help and the parser cannot disagree; one
// missing from it is a mistake of this program, found by its tests.
const OptionDoc& documented(const std::vector<OptionDoc>& docs, std::string_view name) {
    const OptionDoc* doc = findOption(docs, name);
    if (doc == nullptr) throw std::logic_error("undocumented option " + std::string(name));
    return *doc;
}

template <typename T>
CLI::Option* addOption(CLI::App& app, const std::vector<OptionDoc>& docs, std::string_view name,
                       T& value) {
    const OptionDoc& doc = documented(docs, name);
    return app.add_option(std::string(doc.names), value, std::string(doc.text));
}

CLI::Option* addFlag(CLI::App& app, const std::vector<OptionDoc>& docs, std::string_view name,
                     bool& value) {
    const OptionDoc& doc = documented(docs, name);
    return app.add_flag(std::string(doc.names), value, std::string(doc.text));
}

CLI::App* addCommand(CLI::App& app, std::string_view name) {
    const CommandDoc* doc = findCommand(name);
    if (doc == nullptr) throw std::logic_error("undocumented command " + std::string(name));
    CLI::App* sub = app.add_subcommand(std::string(doc->name), std::string(doc->text));
    sub->set_help_flag(std::string(documented(manual().options, "--help").names));
    return sub;
}

int helpWidth() {
    return terminal::isTerminal(terminal::Stream::Output)
               ? std::min(terminal::columns(terminal::Stream::Output), 100)
               : 80;
}

void writeOut(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int usageError(const std::string& reason) {
    std::fprintf(stderr, "zelt: %s\n%s\n", reason.c_str(), std::string(text::TryHelp).c_str());
    return kUsage;
}

// A line of standard input without its line end; nothing at its end.
std::optional<std::string> inputLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// The lines of a comment as the Comment dialog's edit would hold them.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Reads the comment of checkin; the exit status when it cannot be had, else -1.
int readComment(const CommandLine& line, TerminalUi& ui, Report& report) {
    std::string text = line.message;
    if (line.commentFileGiven) {
        std::ostringstream read;
        if (line.commentFile == "-") {
            read << std::cin.rdbuf();
        } else {
            std::ifstream in(line.commentFile, std::ios::binary);
            if (!in) {
                return report.fail(kLocalFailure,
                                   std::string(text::CommentUnreadable) + " " + line.commentFile);
            }
            read << in.rdbuf();
        }
        text = read.str();
    }
    ui.commentLines = linesOf(text);
    // The dialog's edit takes no more; the core would cut the rest off without a word.
    std::size_t total = 0;
    for (const std::string& l : ui.commentLines) total += l.size() + 1;
    if (total > client::kMaxComment) return report.fail(kUsage, std::string(text::CommentTooLong));
    return -1;
}

// What must be right before anything is sent; the exit status when it is not, else -1.
int checkInput(const CommandLine& line, TerminalUi& ui, Report& report) {
    if (line.command == "checkin") return readComment(line, ui, report);
    if (line.command == "view" && line.json && line.outputGiven && line.output == "-") {
        return report.fail(kUsage, std::string(text::JsonOnStandardOutput));
    }
    if (line.command == "void" && !line.yes && !terminal::isTerminal(terminal::Stream::Input)) {
        return report.fail(kUsage, std::string(text::VoidNeedsYes));
    }
    if (line.command == "send") {
        if (line.recipients.size() > ui::MaxRecipients) {
            return report.fail(kUsage, std::string(text::RecipientsTooLong));
        }
        if (line.text.size() > ui::MaxMessage) {
            return report.fail(kUsage, std::string(text::MessageTooLong));
        }
        if (const auto refusal =
                ui::checkMessageForm({line.recipients, line.text, line.important})) {
            return report.fail(kUsage, *refusal);
        }
    }
    return -1;
}

std::function<std::optional<std::string>()> hiddenPrompt(std::string_view prompt) {
    return [prompt] { return terminal::readTyped(std::string(prompt), terminal::Echo::Hidden); };
}

// Where the passwords come from. Lines of standard input are read now, in their order: the
// log-in password first, then passwd's new password twice.
void setPasswordSources(const CommandLine& line, TerminalUi& ui) {
    const bool interactive = terminal::isTerminal(terminal::Stream::Input);
    if (const char* given = std::getenv("ZELT_PASSWORD")) {
        ui.password = [password = std::string(given)](const std::string&) { return password; };
    } else if (!interactive) {
        const std::string password = inputLine().value_or("");
        ui.password = [password](const std::string&) { return password; };
    } else {
        ui.password = [](const std::string& user) {
            return terminal::readTyped(std::string(text::PasswordPrompt) + " " + user + ": ",
                                       terminal::Echo::Hidden);
        };
    }
    if (line.command != "passwd") return;
    if (interactive) {
        ui.newPassword = hiddenPrompt(text::NewPasswordPrompt);
        ui.retype = hiddenPrompt(text::RetypePrompt);
    } else {
        const std::string replacement = inputLine().value_or("");
        const std::string retype = inputLine().value_or("");
        ui.newPassword = [replacement] { return replacement; };
        ui.retype = [retype] { return retype; };
    }
}

}  // namespace

int parseCommandLine(int argc, const char* const* argv, CommandLine* line) {
    const Manual& m = manual();
    CLI::App app(std::string(m.purpose), std::string(m.name));
    app.set_help_flag(std::string(documented(m.options, "--help").names));
    // The options before the command may also follow it.
    app.fallthrough();
    app.require_subcommand(0, 1);
    addOption(app, m.options, "--data-dir", line->places.dataDirectory);
    addOption(app, m.options, "--user-dir", line->places.userFolder);
    addOption(app, m.options, "--server", line->server);
    addOption(app, m.options, "--user", line->user);
    addFlag(app, m.options, "--json", line->json);

    addCommand(app, "groups");
    addCommand(app, "files")->add_option("GROUP", line->group)->required();
    CLI::App* info = addCommand(app, "info");
    info->add_option("GROUP", line->group)->required();
    info->add_option("PATH", line->paths)->required()->expected(1);
    for (const char* name : {"checkout", "fetch"}) {
        addCommand(app, name)->add_option("PATH", line->paths)->required();
    }
    CLI::App* view = addCommand(app, "view");
    view->add_option("PATH", line->paths)->required()->expected(1);
    CLI::Option* output = addOption(*view, findCommand("view")->options, "--output", line->output);
    CLI::App* checkin = addCommand(app, "checkin");
    const auto& checkinDocs = findCommand("checkin")->options;
    CLI::Option* message = addOption(*checkin, checkinDocs, "--message", line->message);
    CLI::Option* file = addOption(*checkin, checkinDocs, "--file", line->commentFile);
    message->excludes(file);
    checkin->add_option("PATH", line->paths)->required();
    CLI::App* voids = addCommand(app, "void");
    addFlag(*voids, findCommand("void")->options, "--yes", line->yes);
    voids->add_option("PATH", line->paths)->required();
    addCommand(app, "status");
    addCommand(app, "passwd");
    CLI::App* send = addCommand(app, "send");
    addFlag(*send, findCommand("send")->options, "--important", line->important);
    send->add_option("RECIPIENTS", line->recipients)->required();
    send->add_option("TEXT", line->text)->required();
    addCommand(app, "notice");
    addOption(*addCommand(app, "watch"), findCommand("watch")->options, "--for", line->forSeconds)
        ->check(CLI::NonNegativeNumber);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const std::vector<CLI::App*> chosen = app.get_subcommands();
        writeOut(chosen.empty()
                     ? renderManual(helpWidth())
                     : renderCommand(*findCommand(chosen.front()->get_name()), helpWidth()));
        return kAllDone;
    } catch (const CLI::ParseError& e) {
        return usageError(e.what());
    }
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    if (chosen.empty()) {
        std::fprintf(stderr, "zelt: %s\n", std::string(text::NoCommand).c_str());
        return kUsage;
    }
    line->command = chosen.front()->get_name();
    line->outputGiven = output->count() > 0;
    line->messageGiven = message->count() > 0;
    line->commentFileGiven = file->count() > 0;
    if (line->command == "checkin" && !line->messageGiven && !line->commentFileGiven) {
        return usageError(std::string(text::NeedsComment));
    }
    return -1;
}

int zeltMain(int argc, const char* const* argv) {
    CommandLine line;
    if (const int status = parseCommandLine(argc, argv, &line); status >= 0) return status;

    SystemClock clock;
    TerminalUi ui(clock);
    Report report(line.json, ui);
    ui.logInWanted = needsServer(line.command);
    ui.yes = line.yes;
    ui.answers.userName = line.user;
    if (!line.server.empty()) parseServer(line.server, &ui.answers);
    if (ui.logInWanted) setPasswordSources(line, ui);
    if (const int status = checkInput(line, ui, report); status >= 0) {
        report.finish();
        return status;
    }

    int status = kAllDone;
    {
        Run run(line.places, ui);
        status = run.start();
        if (status == kAllDone) {
            Command command{line, ui, run, report};
            status = runCommand(command);
        }
        run.finish();
        if (!run.failureReason().empty()) report.doc()["error"] = run.failureReason();
        // A lost connection says all; otherwise an error that no file accounts for makes the
        // run a local failure, whatever the files came to.
        if (status != kNoLogIn && run.unexplainedError()) status = kLocalFailure;
    }
    report.finish();
    return status;
}

}  // namespace zelt::cli
