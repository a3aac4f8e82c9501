#include "client/cli/report.h"

#include <algorithm>
#include <cstdio>

#include "client/cli/run.h"

namespace zelt::cli {

using client::Outcome;

namespace {

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Done:
            return "done";
        case Outcome::Refused:
            return "refused";
        case Outcome::Failed:
            break;
    }
    return "failed";
}

void putIfGiven(nlohmann::json& object, const char* key, const std::string& value) {
    if (!value.empty()) object[key] = value;
}

}  // namespace

FileResult FileResult::from(const client::FlowItem& item) {
    FileResult result;
    result.path = item.path;
    result.outcome = item.outcome;
    result.reason = item.serverText;
    result.message = item.line;
    return result;
}

void Report::line(const std::string& text) {
    if (json_) return;
    ui_.clearProgress();
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void Report::file(const FileResult& result, const std::string& plainLine) {
    nlohmann::json entry = {{"path", result.path}, {"result", outcomeName(result.outcome)}};
    putIfGiven(entry, "reason", result.reason);
    putIfGiven(entry, "message", result.message);
    putIfGiven(entry, "working", result.working);
    putIfGiven(entry, "backup", result.backup);
    putIfGiven(entry, "copy", result.copy);
    if (result.checkedOut) entry["checkedOut"] = *result.checkedOut;
    doc_["files"].push_back(entry);

    if (result.outcome == Outcome::Done) {
        if (!plainLine.empty()) line(plainLine);
        return;
    }
    worst_ =
        std::max(worst_, result.outcome == Outcome::Refused ? int{kRefused} : int{kLocalFailure});
    // The sentence names its file, or it is said of the file.
    std::string said = result.message.empty() ? result.reason : result.message;
    if (said.find(result.path) == std::string::npos) said = "'" + result.path + "': " + said;
    // The console's error line or a message box has said it already.
    if (!ui_.told(result.message)) ui_.tell(said);
}

int Report::fail(int status, const std::string& reason) {
    ui_.tell(reason);
    doc_["error"] = reason;
    return status;
}

int Report::status(int status) const {
    return std::max(status, worst_);
}

void Report::finish() {
    if (!json_ || written_) return;
    const std::string text = doc_.dump(2) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace zelt::cli
