#include "client/cli/commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>

#include "client/cli/texts.h"
#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/platform/files.h"

namespace zelt::cli {

using client::CheckOutTable;
using client::ClientCore;
using client::Flow;
using client::FlowItem;
using client::Outcome;
using Wait = Run::Wait;
using nlohmann::json;

namespace {

// How long the server may take to count a message's users. It sends no count at all when
// the user name was typed in other letter case than the account's.
constexpr Millis kCountLimit = 10000;

bool sameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

std::string sentence(const std::string& path, std::string_view tail) {
    return client::quoted(path) + " " + std::string(tail);
}

std::vector<std::string> distinct(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    for (const std::string& p : paths) {
        if (std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
    }
    return out;
}

// The state of the record held for path; free when there is none.
std::uint8_t stateOf(const ClientCore& core, const std::string& path) {
    const CheckOutTable& table = core.checkOutTable();
    const int record = table.findHeld(path);
    return record == CheckOutTable::kNone ? std::uint8_t{client::RecordFree} : table.state(record);
}

std::string workingOf(const ClientCore& core, const std::string& path) {
    const CheckOutTable& table = core.checkOutTable();
    return table.workingPath(table.findHeld(path));
}

FileResult resultOf(const std::string& path, Outcome outcome, std::string_view tail) {
    FileResult r;
    r.path = path;
    r.outcome = outcome;
    r.message = sentence(path, tail);
    return r;
}

// Selects the rows of the Working Files window that show paths, as a user would.
void selectWorking(ClientCore& core, const std::vector<std::string>& paths) {
    core.showWorkingFiles();
    std::vector<int> rows;
    const auto& shown = core.workingFiles().rows;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (std::find(paths.begin(), paths.end(), shown[i].path) != paths.end()) {
            rows.push_back(static_cast<int>(i));
        }
    }
    core.selectWorkingFiles(rows);
}

// Waits for the end of a flow and hands each of its items on. Returns kAllDone, or the exit
// status of a wait that ended otherwise (the items that did arrive are handed on first).
int await(Command& c, Flow flow, const std::function<void(const FlowItem&)>& onItem,
          Millis limit = -1) {
    const Wait wait = c.run.waitForEnd(flow, limit);
    for (const FlowItem& item : c.run.takeItems(flow)) onItem(item);
    return wait == Wait::Done ? int{kAllDone} : c.run.failure(wait);
}

// The results, in the order of the paths, and the exit status they and status call for. A
// run cut short (the connection lost, an interrupt) says so by its own status: the files it
// did not get to are not failures of their own.
int reportFiles(Command& c, const std::vector<std::string>& paths,
                const std::map<std::string, FileResult>& results, int status,
                const std::function<std::string(const FileResult&)>& plainLine) {
    for (const std::string& p : paths) {
        const FileResult& r = results.at(p);
        c.report.file(r, plainLine(r));
    }
    return status != kAllDone ? status : c.report.status(status);
}

// Fetches the files (held, not fetched yet) into Working, each outcome into results.
int fetchInto(Command& c, const std::vector<std::string>& paths,
              std::map<std::string, FileResult>& results) {
    if (paths.empty()) return kAllDone;
    selectWorking(c.run.core(), paths);
    c.run.core().fetchSelected();
    return await(c, Flow::Fetch, [&](const FlowItem& item) {
        FileResult& r = results[item.path];
        const std::optional<bool> checkedOut = r.checkedOut;
        r = FileResult::from(item);
        r.checkedOut = checkedOut;
        r.working = item.localPath;
    });
}

// The group of the user's whose name is group, in the server's spelling.
std::optional<std::string> memberGroup(Command& c, const std::string& group) {
    for (const std::string& g : c.run.core().groups()) {
        if (sameName(g, group)) return g;
    }
    return std::nullopt;
}

// Opens a group's file list; kAllDone, or the status of a group the user is not in.
int openGroup(Command& c, std::string* group) {
    const std::optional<std::string> found = memberGroup(c, *group);
    if (!found) return c.report.fail(kRefused, client::quotedLine(text::NotMember, *group));
    *group = *found;
    c.run.core().openGroup(*group);
    return await(c, Flow::FileList, [](const FlowItem&) {});
}

// The properties of a row of the file list.
int askProperties(Command& c, int row) {
    c.run.core().selectAvailableFiles({row});
    c.run.core().requestSelectedProperties();
    return await(c, Flow::FileProperties, [](const FlowItem&) {});
}

json orNull(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

// --- the commands ---

int groups(Command& c) {
    c.report.doc()["groups"] = c.run.core().groups();
    for (const std::string& g : c.run.core().groups()) c.report.line(g);
    return kAllDone;
}

int files(Command& c) {
    std::string group = c.line.group;
    if (const int status = openGroup(c, &group); status != kAllDone) return status;
    const std::vector<client::AvailableFileRow> rows = c.run.core().availableFiles().rows;
    json list = json::array();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::string since;
        // The list names the holder; the time is among the file's properties.
        if (!rows[i].holder.empty()) {
            if (const int status = askProperties(c, static_cast<int>(i)); status != kAllDone) {
                return status;
            }
            since = c.run.core().fileProperties().checkOutTime;
        }
        list.push_back(
            {{"path", rows[i].path}, {"holder", orNull(rows[i].holder)}, {"since", orNull(since)}});
        c.report.line(rows[i].holder.empty() ? rows[i].path
                                             : rows[i].path + "\t" + rows[i].holder + "\t" + since);
    }
    c.report.doc()["group"] = group;
    c.report.doc()["files"] = list;
    return kAllDone;
}

int info(Command& c) {
    std::string group = c.line.group;
    if (const int status = openGroup(c, &group); status != kAllDone) return status;
    const std::string& path = c.line.paths.front();
    const auto& rows = c.run.core().availableFiles().rows;
    const auto row = std::find_if(rows.begin(), rows.end(), [&](const client::AvailableFileRow& r) {
        return r.path == path;
    });
    if (row == rows.end()) {
        return c.report.fail(kRefused,
                             sentence(path, text::NotInGroup) + " " + client::quoted(group) + ".");
    }
    if (const int status = askProperties(c, static_cast<int>(row - rows.begin()));
        status != kAllDone) {
        return status;
    }
    const client::FilePropertiesModel& p = c.run.core().fileProperties();
    json& doc = c.report.doc();
    doc = {{"group", p.groupName},
           {"path", p.path},
           {"holder", orNull(p.holder)},
           {"since", orNull(p.checkOutTime)},
           {"lastUpdate", nullptr}};
    if (!p.updateTime.empty()) {
        doc["lastUpdate"] = {{"time", p.updateTime}, {"user", p.updatedBy}, {"comment", p.comment}};
    }
    namespace window = client::text::properties;
    c.report.line(p.path);
    c.report.line(std::string(window::IncludedIn) + " " + p.groupName);
    if (!p.holder.empty()) {
        c.report.line(std::string(window::CheckedOutBy) + " " + p.holder + " " +
                      std::string(window::At) + p.checkOutTime);
    }
    c.report.line(std::string(window::LastUpdateGroup) + ":");
    std::string details = p.details;
    std::erase(details, '\r');
    while (!details.empty() && details.back() == '\n') details.pop_back();
    c.report.line(details);
    return kAllDone;
}

// The files of a command: each once, in the order given, with what it has come to so far,
// and those the command goes on with.
struct Files {
    std::vector<std::string> paths;
    std::map<std::string, FileResult> results;
    std::vector<std::string> chosen;
};

// Sorts the command's files by the state of their check-out records: judge gives each file its
// result for now and says whether the command goes on with it.
Files sortFiles(Command& c,
                const std::function<bool(const std::string&, std::uint8_t, FileResult*)>& judge) {
    Files files;
    files.paths = distinct(c.line.paths);
    for (const std::string& p : files.paths) {
        FileResult& result = files.results[p];
        result.path = p;
        if (judge(p, stateOf(c.run.core(), p), &result)) files.chosen.push_back(p);
    }
    return files;
}

void setResult(FileResult* result, Outcome outcome, std::string_view tail) {
    result->outcome = outcome;
    result->message = sentence(result->path, tail);
}

int checkOut(Command& c) {
    ClientCore& core = c.run.core();
    std::vector<std::string> toFetch;
    Files f = sortFiles(c, [&](const std::string& p, std::uint8_t state, FileResult* r) {
        r->checkedOut = state == client::RecordFetched || state == client::RecordCheckedOut;
        if (state == client::RecordFetched) {
            r->working = workingOf(core, p);
        } else if (state == client::RecordCheckedOut) {
            setResult(r, Outcome::Failed, text::NotFetched);
            toFetch.push_back(p);
        } else {
            // Stays so only when the table had no room to ask for it.
            setResult(r, Outcome::Refused, text::TableFull);
            return true;
        }
        return false;
    });
    int status = kAllDone;
    if (!f.chosen.empty()) {
        core.checkOut(f.chosen);
        status = await(c, Flow::CheckOut, [&](const FlowItem& item) {
            const bool taken = item.outcome == Outcome::Done;
            FileResult r = taken ? resultOf(item.path, Outcome::Failed, text::NotFetched)
                                 : FileResult::from(item);
            r.checkedOut = taken;
            if (taken) toFetch.push_back(item.path);
            f.results[item.path] = r;
        });
    }
    if (status == kAllDone) status = fetchInto(c, toFetch, f.results);
    return reportFiles(c, f.paths, f.results, status,
                       [](const FileResult& r) { return r.working; });
}

int fetch(Command& c) {
    ClientCore& core = c.run.core();
    Files f = sortFiles(c, [&](const std::string& p, std::uint8_t state, FileResult* r) {
        if (state == client::RecordFetched) {
            // The copy may hold edits: it is never fetched over.
            r->working = workingOf(core, p);
            if (!files::isFile(r->working)) {
                r->outcome = Outcome::Failed;
                r->message = sentence(r->working, client::text::WorkingCopyMissing);
            }
            return false;
        }
        const bool held = state == client::RecordCheckedOut;
        setResult(r, held ? Outcome::Failed : Outcome::Refused,
                  held ? text::NotFetched : text::NotCheckedOut);
        return held;
    });
    const int status = fetchInto(c, f.chosen, f.results);
    return reportFiles(c, f.paths, f.results, status,
                       [](const FileResult& r) { return r.working; });
}

// Writes a file's bytes to standard output.
bool toStandardOutput(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        const auto n = static_cast<std::size_t>(in.gcount());
        if (std::fwrite(buffer, 1, n, stdout) != n) return false;
    }
    return std::fflush(stdout) == 0 && !in.bad();
}

int view(Command& c) {
    const std::string& path = c.line.paths.front();
    FileResult result = resultOf(path, Outcome::Failed, text::NotViewed);
    c.run.core().viewFile(path);
    const int status = await(c, Flow::View, [&](const FlowItem& item) {
        result = FileResult::from(item);
        result.copy = item.localPath;
    });
    if (result.outcome == Outcome::Done && c.line.outputGiven) {
        // The copy in Temp was only the way there.
        const std::string inTemp = result.copy;
        if (c.line.output == "-") {
            result.copy.clear();
            if (!toStandardOutput(inTemp)) {
                result.outcome = Outcome::Failed;
                result.message = std::string(client::text::SaveFailed);
            }
        } else if (const files::Status copied = files::replaceWithCopy(inTemp, c.line.output);
                   !copied) {
            result.outcome = Outcome::Failed;
            result.message =
                client::quotedLine(text::CopyNotWritten, c.line.output) + " " + copied.message();
            result.copy.clear();
        } else {
            result.copy = c.line.output;
        }
        files::discardFile(inTemp);
    }
    c.report.file(result, result.copy);
    return status != kAllDone ? status : c.report.status(status);
}

int checkIn(Command& c) {
    Files f = sortFiles(c, [](const std::string&, std::uint8_t state, FileResult* r) {
        if (state == client::RecordFetched) {
            setResult(r, Outcome::Failed, text::NotCheckedIn);
            return true;
        }
        setResult(r, Outcome::Refused,
                  state == client::RecordCheckedOut ? text::NotFetched : text::NotCheckedOut);
        return false;
    });
    int status = kAllDone;
    if (!f.chosen.empty()) {
        selectWorking(c.run.core(), f.chosen);
        c.run.core().checkInSelected();
        status = await(c, Flow::CheckIn, [&](const FlowItem& item) {
            f.results[item.path] = FileResult::from(item);
            f.results[item.path].backup = item.localPath;
        });
    }
    return reportFiles(c, f.paths, f.results, status,
                       [](const FileResult& r) { return r.message; });
}

int voidCheckOuts(Command& c) {
    Files f = sortFiles(c, [](const std::string&, std::uint8_t state, FileResult* r) {
        const bool held = state == client::RecordFetched || state == client::RecordCheckedOut;
        setResult(r, held ? Outcome::Failed : Outcome::Refused,
                  held ? text::NotVoidedFile : text::NotCheckedOut);
        return held;
    });
    int status = kAllDone;
    if (!f.chosen.empty()) {
        selectWorking(c.run.core(), f.chosen);
        c.run.core().voidSelected();
        if (c.ui.gaveUp) {
            status = c.run.failure(Wait::Interrupted);
        } else if (c.ui.declined) {
            for (const std::string& p : f.chosen)
                setResult(&f.results[p], Outcome::Refused, text::NotVoidedFile);
            c.ui.tell(std::string(text::NotVoided));
        } else {
            status = await(c, Flow::Void, [&](const FlowItem& item) {
                f.results[item.path] = FileResult::from(item);
            });
        }
    }
    return reportFiles(c, f.paths, f.results, status,
                       [](const FileResult& r) { return r.message; });
}

std::string stateName(std::uint8_t state) {
    switch (state) {
        case client::RecordRequested:
            return std::string(text::Requested);
        case client::RecordCheckedOut:
            return std::string(text::CheckedOut);
        default:
            break;
    }
    return std::string(text::Fetched);
}

int showStatus(Command& c) {
    const ClientCore& core = c.run.core();
    const client::CommSettings& comm = core.commSettings();
    std::string server;
    if (comm.address() != 0) {
        const auto o = comm.octets();
        server = std::to_string(o[0]) + "." + std::to_string(o[1]) + "." + std::to_string(o[2]) +
                 "." + std::to_string(o[3]);
    }
    json& doc = c.report.doc();
    doc["dataDirectory"] = core.places().dataDirectory;
    doc["userFolder"] = core.places().userFolder;
    doc["server"] = {{"address", orNull(server)}, {"port", comm.port()}};
    doc["user"] = orNull(comm.userName());
    doc["checkOuts"] = json::array();
    c.report.line(
        std::string(text::ServerLabel) + " " +
        (server.empty() ? std::string(text::NotSet) : server + ":" + std::to_string(comm.port())));
    c.report.line(std::string(text::UserLabel) + " " +
                  (comm.userName().empty() ? std::string(text::NotSet) : comm.userName()));
    c.report.line(std::string(text::DataDirectoryLabel) + " " + core.places().dataDirectory);
    c.report.line(std::string(text::UserFolderLabel) + " " + core.places().userFolder);
    const CheckOutTable& table = core.checkOutTable();
    bool any = false;
    for (int i = 0; i < CheckOutTable::size(); ++i) {
        const std::uint8_t state = table.state(i);
        if (state == client::RecordFree || state == client::RecordRefused) continue;
        any = true;
        doc["checkOuts"].push_back({{"path", table.path(i)},
                                    {"state", stateName(state)},
                                    {"working", orNull(table.workingPath(i))}});
        std::string line = stateName(state) + "\t" + table.path(i);
        if (!table.workingPath(i).empty()) line += "\t" + table.workingPath(i);
        c.report.line(line);
    }
    if (!any) c.report.line(std::string(client::text::NoFileCheckedOut));
    return kAllDone;
}

int passwd(Command& c) {
    c.run.core().accountProperties();
    if (c.ui.refusedInput) return c.report.fail(kUsage, *c.ui.refusedInput);
    if (c.ui.gaveUp) return c.run.failure(Wait::Interrupted);
    std::optional<FlowItem> answer;
    const int status = await(c, Flow::PasswordChange, [&](const FlowItem& item) { answer = item; });
    if (!answer) return status;
    c.report.doc()["changed"] = answer->outcome == Outcome::Done;
    if (answer->outcome != Outcome::Done) {
        c.report.doc()["reason"] = answer->serverText;
        return c.report.fail(kRefused, answer->line);
    }
    c.report.line(answer->line);
    return status;
}

int send(Command& c) {
    const ui::MessageForm form{c.line.recipients, c.line.text, c.line.important};
    c.run.core().sendMessage(form);
    std::optional<FlowItem> count;
    const int status = await(
        c, Flow::Message, [&](const FlowItem& item) { count = item; }, kCountLimit);
    c.report.doc()["recipients"] = form.recipients;
    c.report.doc()["delivered"] = count ? json(count->count) : json(nullptr);
    c.report.line(count ? count->line : std::string(text::NoCount));
    return status;
}

int notice(Command& c) {
    std::string text;
    const int status =
        await(c, Flow::Notice, [&](const FlowItem& item) { text = item.serverText; });
    c.report.doc()["notice"] = orNull(text);
    if (!text.empty()) c.report.line(text);
    return status;
}

int watch(Command& c) {
    // Each event is written as it arrives: the lines, or one growing JSON array.
    const bool asJson = c.report.json();
    bool first = true;
    const auto write = [](const std::string& text) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    };
    if (asJson) write("[\n");
    c.ui.bell = true;
    c.run.onPush = [&](const client::ServerPush& push) {
        nlohmann::json event;
        std::string line;
        switch (push.kind) {
            case client::ServerPush::Kind::Message:
                event = {{"type", "message"},
                         {"sender", push.sender},
                         {"text", push.text},
                         {"important", push.important}};
                line =
                    std::string(push.important ? text::ImportantMessageFrom : text::MessageFrom) +
                    " " + push.sender + ": " + push.text;
                break;
            case client::ServerPush::Kind::Broadcast:
                event = {{"type", "broadcast"}, {"text", push.text}};
                line = std::string(text::Broadcast) + " " + push.text;
                break;
            case client::ServerPush::Kind::CheckOutVoided:
                event = {{"type", "voided"}, {"path", push.path}, {"keptAs", orNull(push.keptAt)}};
                line = std::string(text::Voided) + " " + push.path;
                if (!push.keptAt.empty())
                    line += " (" + std::string(text::KeptAs) + " " + push.keptAt + ")";
                break;
        }
        if (asJson) {
            write((first ? "" : ",\n") + event.dump());
            first = false;
        } else {
            c.report.line(line);
        }
    };
    const Millis limit = c.line.forSeconds < 0 ? -1 : static_cast<Millis>(c.line.forSeconds * 1000);
    const Wait wait = c.run.waitFor([] { return false; }, limit, Run::OnInterrupt::Stop);
    c.run.onPush = nullptr;
    if (asJson) {
        write(first ? "]\n" : "\n]\n");
        c.report.written();
    }
    // Ctrl+C is how a watch is meant to end.
    return wait == Wait::Lost ? c.run.failure(wait) : int{kAllDone};
}

}  // namespace

bool needsServer(const std::string& command) {
    return command != "status";
}

int runCommand(Command& c) {
    static const std::map<std::string, int (*)(Command&)> kCommands = {
        {"groups", groups},     {"files", files},   {"info", info},       {"checkout", checkOut},
        {"fetch", fetch},       {"view", view},     {"checkin", checkIn}, {"void", voidCheckOuts},
        {"status", showStatus}, {"passwd", passwd}, {"send", send},       {"notice", notice},
        {"watch", watch},
    };
    return kCommands.at(c.line.command)(c);
}

}  // namespace zelt::cli
