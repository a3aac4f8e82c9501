#include "server/admin/admin_command.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

#include "common/platform/files.h"
#include "common/platform/terminal.h"
#include "server/admin/admin_client.h"
#include "server/admin/admin_help.h"
#include "server/admin/admin_output.h"
#include "server/core/admin/admin_protocol.h"
#include "server/core/ui/texts.h"
#include "server/headless/headless.h"

namespace zelt::server::admin {

namespace {

using nlohmann::json;
namespace ap = adminproto;

// A command line that cannot be carried out as it stands.
struct UsageError {
    std::string message;
};

// The request a command line makes, once parsed.
struct Request {
    std::string_view command;
    json args = json::object();
    // The command takes a password, asked for once the server is known to be there.
    bool wantsPassword = false;
};

// Everything the options and arguments of every command are read into.
struct Values {
    std::string dataDir;
    bool json = false;
    int olderThan = 0;
    std::string user, rename, name, dept, group, action, path, stamp, file, number, recipients;
    std::vector<std::string> words, items;
    bool disabled = false, enable = false, disable = false, password = false;
    bool on = false, off = false, important = false;
};

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& word : words) {
        if (!out.empty()) out.push_back(' ');
        out += word;
    }
    return out;
}

// A path as the server must see it: whole, since the server does not run where the command does.
std::string absolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

std::vector<std::string> absolute(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const std::string& path : paths) out.push_back(absolute(path));
    return out;
}

std::string readStream(std::istream& in) {
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The word of the first command level the app belongs to ("" for the admin command itself).
std::string commandWord(const CLI::App* app) {
    while (app->get_parent() != nullptr && app->get_parent()->get_parent() != nullptr) {
        app = app->get_parent();
    }
    return app->get_parent() == nullptr ? "" : app->get_name();
}

// The command word the parse got to, for the usage text of a wrong command line.
std::string reachedWord(const CLI::App& app) {
    const auto chosen = app.get_subcommands();
    return chosen.empty() ? "" : chosen.front()->get_name();
}

// The password of the command: the first line of standard input, or asked twice on the
// terminal. What was typed goes to the server's checks as the dialog's two edits would. False
// when the administrator gave up at a prompt (Ctrl+C, or Ctrl+D on an empty line).
bool askPassword(json& args) {
    std::string password;
    std::string retype;
    if (terminal::isTerminal(terminal::Stream::Input)) {
        const auto ask = [](std::string_view label) {
            std::string prompt;
            for (const char c : label) {
                if (c != '&') prompt.push_back(c);
            }
            return terminal::readTyped(prompt + " ", terminal::Echo::Hidden);
        };
        const auto typed = ask(text::PasswordLabel);
        if (!typed) return false;
        const auto again = ask(text::RetypeLabel);
        if (!again) return false;
        password = *typed;
        retype = *again;
    } else {
        std::getline(std::cin, password);
        if (!password.empty() && password.back() == '\r') password.pop_back();
        retype = password;
    }
    args[ap::arg::Password] = password;
    args[ap::arg::Retype] = retype;
    return true;
}

// Declares the command line; each command's callback fills the request from the values.
class CommandLine {
public:
    CommandLine(Values& v, Request& r) : v_(v), r_(r) {
        app_.formatter(std::make_shared<CLI::FormatterLambda>(
            [](const CLI::App* app, std::string, CLI::AppFormatMode) {
                return renderHelp(helpPage(commandWord(app)));
            }));
        // The global options may also follow the command.
        app_.fallthrough();
        app_.require_subcommand(1);
        app_.add_option("--data-dir", v.dataDir);
        app_.add_flag("--json", v.json);
        listings();
        accounts();
        groups();
        files();
        settings();
        messages();
    }

    CLI::App& app() { return app_; }

private:
    // A command that makes the request when it was the one given.
    CLI::App* command(CLI::App* parent, const std::string& word, std::string_view request,
                      std::function<void(json&)> fill = {}) {
        CLI::App* sub = parent->add_subcommand(word);
        sub->callback([this, request, fill = std::move(fill)] {
            r_.command = request;
            if (fill) fill(r_.args);
        });
        return sub;
    }
    CLI::App* group(const std::string& word) {
        CLI::App* sub = app_.add_subcommand(word);
        sub->require_subcommand(1);
        return sub;
    }
    CLI::Option* positional(CLI::App* sub, const std::string& name, std::string& into) {
        return sub->add_option(name, into)->required();
    }
    void positionals(CLI::App* sub, const std::string& name, std::vector<std::string>& into) {
        sub->add_option(name, into)->required()->expected(-1);
    }
    // --enable | --disable into args as "enabled", when one is given.
    void stateOptions(CLI::App* sub) {
        sub->add_flag("--enable", v_.enable)->excludes(sub->add_flag("--disable", v_.disable));
    }
    void putState(json& args) const {
        if (v_.enable || v_.disable) args[ap::arg::Enabled] = v_.enable;
    }

    void listings() {
        command(&app_, "status", ap::command::Status);
        command(&app_, "sessions", ap::command::Sessions);
        CLI::App* checkouts = app_.add_subcommand("checkouts");
        CLI::Option* older =
            checkouts->add_option("--older-than", v_.olderThan)->check(CLI::NonNegativeNumber);
        checkouts->callback([this, older] {
            r_.command = ap::command::Checkouts;
            if (older->count() > 0) r_.args[ap::arg::OlderThanDays] = v_.olderThan;
        });
    }

    void accounts() {
        CLI::App* account = group("account");
        CLI::App* add = command(account, "add", ap::command::AccountAdd, [this](json& args) {
            args[ap::arg::User] = v_.user;
            args[ap::arg::Name] = v_.name;
            args[ap::arg::Dept] = v_.dept;
            args[ap::arg::Disabled] = v_.disabled;
            r_.wantsPassword = true;
        });
        positional(add, "USER", v_.user);
        add->add_option("--name", v_.name);
        add->add_option("--dept", v_.dept);
        add->add_flag("--disabled", v_.disabled);

        CLI::App* set = account->add_subcommand("set");
        positional(set, "USER", v_.user);
        CLI::Option* rename = set->add_option("--rename", v_.rename);
        CLI::Option* name = set->add_option("--name", v_.name);
        CLI::Option* dept = set->add_option("--dept", v_.dept);
        set->add_flag("--password", v_.password);
        stateOptions(set);
        set->callback([this, rename, name, dept] {
            r_.command = ap::command::AccountSet;
            json& args = r_.args;
            args[ap::arg::User] = v_.user;
            if (rename->count() > 0) args[ap::arg::Rename] = v_.rename;
            if (name->count() > 0) args[ap::arg::Name] = v_.name;
            if (dept->count() > 0) args[ap::arg::Dept] = v_.dept;
            putState(args);
            r_.wantsPassword = v_.password;
            if (args.size() == 1 && !v_.password)
                throw UsageError{"account set: nothing to change"};
        });

        const auto byUser = [this](json& args) { args[ap::arg::User] = v_.user; };
        positional(command(account, "remove", ap::command::AccountRemove, byUser), "USER", v_.user);
        positional(command(account, "disconnect", ap::command::AccountDisconnect, byUser), "USER",
                   v_.user);
        command(account, "list", ap::command::AccountList);
        positionals(command(account, "search", ap::command::AccountSearch,
                            [this](json& args) { args[ap::arg::Keywords] = joined(v_.words); }),
                    "WORD", v_.words);
    }

    void groups() {
        CLI::App* groupApp = group("group");
        const auto byGroup = [this](json& args) { args[ap::arg::Group] = v_.group; };
        CLI::App* add = command(groupApp, "add", ap::command::GroupAdd, [this](json& args) {
            args[ap::arg::Group] = v_.group;
            args[ap::arg::Disabled] = v_.disabled;
        });
        positional(add, "NAME", v_.group);
        add->add_flag("--disabled", v_.disabled);

        CLI::App* set = groupApp->add_subcommand("set");
        positional(set, "NAME", v_.group);
        CLI::Option* rename = set->add_option("--rename", v_.rename);
        stateOptions(set);
        set->callback([this, rename] {
            r_.command = ap::command::GroupSet;
            r_.args[ap::arg::Group] = v_.group;
            if (rename->count() > 0) r_.args[ap::arg::Rename] = v_.rename;
            putState(r_.args);
            if (r_.args.size() == 1) throw UsageError{"group set: nothing to change"};
        });

        positional(command(groupApp, "remove", ap::command::GroupRemove, byGroup), "NAME",
                   v_.group);
        command(groupApp, "list", ap::command::GroupList);
        positional(command(groupApp, "show", ap::command::GroupShow, byGroup), "NAME", v_.group);

        const auto members = [&](const std::string& word, std::string_view request,
                                 const char* listKey, bool paths, const std::string& itemName) {
            CLI::App* sub = command(groupApp, word, request, [this, listKey, paths](json& args) {
                args[ap::arg::Group] = v_.group;
                args[ap::arg::Action] = v_.action;
                args[listKey] = paths ? absolute(v_.items) : v_.items;
            });
            positional(sub, "NAME", v_.group);
            sub->add_option("ACTION", v_.action)
                ->required()
                ->check(CLI::IsMember(std::vector<std::string>{std::string(ap::arg::Add),
                                                               std::string(ap::arg::Remove)}));
            positionals(sub, itemName, v_.items);
        };
        members("users", ap::command::GroupUsers, ap::arg::Users, false, "USER");
        members("files", ap::command::GroupFiles, ap::arg::Paths, true, "PATH");
    }

    void files() {
        CLI::App* file = group("file");
        const auto byPath = [this](json& args) { args[ap::arg::Path] = absolute(v_.path); };
        positional(command(file, "show", ap::command::FileShow, byPath), "PATH", v_.path);
        positional(command(file, "void", ap::command::FileVoid, byPath), "PATH", v_.path);
        CLI::App* restore = command(file, "restore", ap::command::FileRestore, [this](json& args) {
            args[ap::arg::Path] = absolute(v_.path);
            args[ap::arg::Stamp] = v_.stamp;
        });
        positional(restore, "PATH", v_.path);
        positional(restore, "STAMP", v_.stamp);
    }

    void settings() {
        CLI::App* notice = group("notice");
        command(notice, "show", ap::command::NoticeShow);
        CLI::App* set = notice->add_subcommand("set");
        CLI::Option* on = set->add_flag("--on", v_.on);
        on->excludes(set->add_flag("--off", v_.off));
        CLI::Option* file = set->add_option("--file", v_.file);
        file->excludes(set->add_option("TEXT", v_.words)->expected(-1));
        set->callback([this, file] {
            r_.command = ap::command::NoticeSet;
            std::optional<std::string> text;
            if (file->count() > 0) {
                std::ifstream in(v_.file, std::ios::binary);
                if (!in) {
                    throw UsageError{text::format(text::CannotReadFile, v_.file,
                                                  files::Status::fromErrno().message())};
                }
                text = readStream(in);
            } else if (v_.words.size() == 1 && v_.words.front() == "-") {
                text = readStream(std::cin);
            } else if (!v_.words.empty()) {
                text = joined(v_.words);
            }
            if (text && v_.off) throw UsageError{"notice set: a text goes with the notice on"};
            if (!text && !v_.on && !v_.off) throw UsageError{"notice set: nothing to change"};
            if (text || v_.on) r_.args[ap::arg::Send] = true;
            if (v_.off) r_.args[ap::arg::Send] = false;
            if (text) r_.args[ap::arg::Text] = *text;
        });

        CLI::App* backup = group("backup");
        command(backup, "show", ap::command::BackupShow);
        CLI::App* retain = command(backup, "set", ap::command::BackupSet, [this](json& args) {
            args[ap::arg::Retain] = std::stoi(v_.number);
        });
        positional(retain, "COUNT", v_.number)
            ->check(CLI::IsMember(std::vector<std::string>{"5", "10", "20"}));

        CLI::App* port = group("port");
        command(port, "show", ap::command::PortShow);
        positional(command(port, "set", ap::command::PortSet,
                           [this](json& args) { args[ap::arg::Port] = v_.number; }),
                   "N", v_.number);
    }

    void messages() {
        CLI::App* shutdown = app_.add_subcommand("shutdown");
        shutdown->add_option("MINUTES", v_.number);
        // The words win over the minutes: "cancel" and "now" are never read as a number.
        command(shutdown, "cancel", ap::command::ShutdownCancel);
        command(shutdown, "now", ap::command::ShutdownNow);
        // Runs after the callback of cancel or now, when one of them was given.
        shutdown->callback([this, shutdown] {
            if (!shutdown->get_subcommands().empty()) return;
            if (v_.number.empty()) throw UsageError{"shutdown: MINUTES, cancel or now"};
            r_.command = ap::command::Shutdown;
            r_.args[ap::arg::Minutes] = v_.number;
        });

        CLI::App* send = command(&app_, "send", ap::command::Send, [this](json& args) {
            args[ap::arg::Recipients] = v_.recipients;
            args[ap::arg::Text] = joined(v_.words);
            args[ap::arg::Important] = v_.important;
        });
        send->add_flag("--important", v_.important);
        positional(send, "RECIPIENTS", v_.recipients);
        positionals(send, "TEXT", v_.words);
    }

    Values& v_;
    Request& r_;
    CLI::App app_{"", "zelt-server admin"};
};

}  // namespace

int run(int argc, char** argv) {
    Values values;
    Request request;
    CommandLine line(values, request);
    CLI::App& app = line.app();
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return ExitDone;
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help();
        return ExitDone;
    } catch (const CLI::ParseError& e) {
        // A word the command line has no place for says more than what it then lacks.
        const std::vector<std::string> unknown = app.remaining();
        std::cerr << "zelt-server admin: "
                  << (unknown.empty() ? std::string(e.what()) : "unknown: " + joined(unknown))
                  << "\n"
                  << renderUsage(helpPage(reachedWord(app)));
        return ExitUsage;
    } catch (const UsageError& e) {
        std::cerr << "zelt-server admin: " << e.message << "\n"
                  << renderUsage(helpPage(reachedWord(app)));
        return ExitUsage;
    }

    const std::string dataDir = serverDataDirectory(values.dataDir);
    if (request.wantsPassword) {
        // Nobody types a password twice to learn that there is no server.
        const Exchange reached = reachServer(dataDir);
        if (reached.exitStatus != ExitDone) {
            std::cerr << reached.error << "\n";
            return reached.exitStatus;
        }
        // Nothing is asked of the server then.
        if (!askPassword(request.args)) return ExitRefused;
    }
    json message = {{ap::field::Version, ap::Version},
                    {ap::field::Command, request.command},
                    {ap::field::Args, request.args}};
    const Exchange result = askServer(dataDir, message);
    if (result.exitStatus != ExitDone) {
        std::cerr << result.error << "\n";
        return result.exitStatus;
    }
    return report(request.command, result.answer, values.json);
}

}  // namespace zelt::server::admin
