#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

#include "client/cli/terminal_ui.h"
#include "client/core/ui/flow_events.h"

namespace zelt::cli {

// How one file of a command came out.
struct FileResult {
    std::string path;
    client::Outcome outcome = client::Outcome::Done;
    std::string reason;   // the server's own words
    std::string message;  // the client's sentence about it
    std::string working;  // the working copy
    std::string backup;   // the copy kept in Backup at a check-in
    std::string copy;     // a read-only copy
    std::optional<bool> checkedOut;

    static FileResult from(const client::FlowItem& item);
};

// What a command tells: plain lines on standard output, or one JSON document there with
// --json; refusals and failures on standard error either way. It also works out the exit
// status from the files' outcomes.
class Report {
public:
    Report(bool json, TerminalUi& ui) : json_(json), ui_(ui) {}

    bool json() const { return json_; }
    nlohmann::json& doc() { return doc_; }

    // A line on standard output, unless the document is written instead.
    void line(const std::string& text);
    // One file of the command; plainLine goes to standard output when it is done.
    void file(const FileResult& result, const std::string& plainLine = "");
    // The command could not do its work: the reason on standard error and in the document.
    int fail(int status, const std::string& reason);
    // The document's part has been written already, piece by piece (watch).
    void written() { written_ = true; }

    // The exit status the files call for, at least status.
    int status(int status) const;
    // Writes the document, with --json.
    void finish();

private:
    bool json_;
    TerminalUi& ui_;
    nlohmann::json doc_ = nlohmann::json::object();
    int worst_ = 0;
    bool written_ = false;
};

}  // namespace zelt::cli
