#include "client/core/transfer/check_out.h"

#include <algorithm>
#include <cctype>

#include "client/core/transfer/transfer_engine.h"
#include "client/core/ui/texts.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

void CheckOut::checkOut(const std::vector<std::string>& paths) {
    if (paths.empty() || !link_.requireConnected()) return;
    for (const std::string& path : paths) local_.table().markRequested(path);
    available_.close();
    loop(0);
}

void CheckOut::settleWaiting() {
    const int first = local_.table().nextInState(0, RecordRequested);
    if (first != CheckOutTable::kNone) loop(first);
}

void CheckOut::loop(int from) {
    const CheckOutTable& table = local_.table();
    // Waiting for every answer, one file is asked for at a time; with requests in flight, every
    // file of the list at once, each answer naming its record by the tag.
    const bool inFlight = link_.pipelined();
    bool waiting = false;
    for (int i = table.nextInState(from, RecordRequested); i != CheckOutTable::kNone;
         i = table.nextInState(i + 1, RecordRequested)) {
        if (inFlight && asked_.count(i) != 0) {
            waiting = true;
            continue;
        }
        Packet p(Opcode::ReqCheckOut);
        p.set(proto::ReqCheckOut::tag, i);
        p.set(proto::ReqCheckOut::path, table.path(i));
        link_.send(p);
        if (!inFlight) return;
        asked_.insert(i);
        waiting = true;
    }
    if (waiting) return;
    working_.show();
    events_.ended(Flow::CheckOut);
}

// The server refuses a file it already holds for this very account (names compare without
// regard to case there too): that refusal answers a request whose first answer never arrived,
// and the lock it names is the user's.
bool CheckOut::heldByMe(const std::string& reason) const {
    const std::string prefix = std::string(proto::RepCheckOut::kHeldBy) + " '";
    if (reason.rfind(prefix, 0) != 0) return false;
    const std::size_t end = reason.find("' at ", prefix.size());
    if (end == std::string::npos) return false;
    return sameName(std::string_view(reason).substr(prefix.size(), end - prefix.size()),
                    local_.comm().userName());
}

void CheckOut::onAnswer(const Packet& p) {
    const int index = p.get(proto::RepCheckOut::tag);
    CheckOutTable& table = local_.table();
    // Only an answer to a request still open may change a record; anything else could free a
    // file the user already holds and works on.
    if (index < 0 || index >= CheckOutTable::size() || table.state(index) != RecordRequested) {
        return;
    }
    asked_.erase(index);
    std::uint8_t status = p.get(proto::RepCheckOut::status);
    const std::string path = p.get(proto::RepCheckOut::path);
    if (status == proto::RepCheckOut::kRefused && heldByMe(p.get(proto::RepCheckOut::reason))) {
        status = proto::RepCheckOut::kCheckedOut;
    }
    FlowItem item(Flow::CheckOut, path, Outcome::Refused);
    if (status == proto::RepCheckOut::kRefused) {
        item.serverText = p.get(proto::RepCheckOut::reason);
        item.line = quoted(path) + " " + std::string(text::CheckOutFailed) + " " + item.serverText;
        console_.error(item.line);
    } else if (status == proto::RepCheckOut::kCheckedOut) {
        item.outcome = Outcome::Done;
        item.line = quoted(path) + " " + std::string(text::CheckedOut);
        console_.important(item.line);
    }
    if (status == proto::RepCheckOut::kCheckedOut) {
        table.set(index, RecordCheckedOut, table.path(index), "");
    } else {
        local_.dropRecord(index);
    }
    local_.saveTable();
    events_.settled(item);
    loop(link_.pipelined() ? 0 : index + 1);
}

void CheckOut::onVoided(const Packet& p) {
    const std::string path = p.get(proto::PushCheckOutVoided::path);
    CheckOutTable& table = local_.table();
    std::string keptAt;
    const int record = table.findHeld(path);
    if (record != CheckOutTable::kNone) {
        const std::string working = table.workingPath(record);
        if (table.state(record) == RecordFetched && !working.empty() && files::isFile(working)) {
            keptAt = keepVoidedCopy(working);
        }
        table.clear(record);
        local_.saveTable();
        working_.refill();
    }
    const std::string line = voidedLine(path);
    console_.important(line);
    if (!keptAt.empty()) {
        console_.plain(quotedLine(text::WorkingCopyKeptAs, keptAt));
    }
    ui_.alert(local_.notifyFile());
    ui_.notify(line);
    ServerPush push;
    push.kind = ServerPush::Kind::CheckOutVoided;
    push.path = path;
    push.keptAt = keptAt;
    events_.pushed(push);
}

// The user's edits outlive the administrator's void: the working copy goes to the Backup
// folder as "<name>.voided". Returns where the copy is now.
std::string CheckOut::keepVoidedCopy(const std::string& workingPath) {
    std::string base;
    if (!safeBaseName(workingPath, &base)) return workingPath;
    const std::string kept = files::join(local_.places().backup, base + ".voided");
    if (files::renameFile(workingPath, kept)) return kept;
    if (files::copyFile(workingPath, kept) && files::removeFile(workingPath)) return kept;
    return workingPath;
}

}  // namespace zelt::client
