#include "client/core/transfer/fetch.h"

#include <algorithm>

#include "client/core/transfer/early_answers.h"
#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;
using Kind = TransferEngine::Kind;

namespace {

// A copy on its way waits in the Temp folder under this prefix; view copies there are named
// after the server's temporary copies, which never begin so.
constexpr std::string_view kPartPrefix = "fetching__";

}  // namespace

void Fetch::fetchSelected() {
    if (!link_.requireConnected() || engine_.busy()) return;
    const CheckOutTable& table = local_.table();
    list_.clear();
    for (int row : working_.selectedRows()) {
        const int record = working_.recordOfRow(row);
        if (record == CheckOutTable::kNone || table.state(record) == RecordFetched) continue;
        Entry entry;
        entry.record = record;
        entry.path = table.path(record);
        list_.push_back(std::move(entry));
    }
    if (list_.empty()) return;
    index_ = 0;
    opensSent_ = 0;
    engine_.begin(Kind::Fetch);
    engine_.setFetching(true);
    working_.hide();
    engine_.hideWindow();
    loop();
}

void Fetch::loop() {
    engine_.resetRecord();
    if (index_ >= static_cast<int>(list_.size())) {
        engine_.setFetching(false);
        engine_.finish();
        list_.clear();
        engine_.hideWindow();
        local_.saveTable();
        working_.show();
        events_.ended(Flow::Fetch);
        return;
    }
    if (link_.pipelined()) {
        openAhead();
        takeEarly();
        return;
    }
    Packet p(Opcode::ReqFetchOpen);
    p.set(proto::ReqFetchOpen::tag, index_);
    p.set(proto::ReqFetchOpen::path, list_[static_cast<std::size_t>(index_)].path);
    link_.send(p);
}

void Fetch::openAhead() {
    // The server makes a copy of each file it opens: the ones opened ahead are kept to a few,
    // and to a size that a cancel throws away without regret. The current one always opens.
    std::int64_t aheadBytes = 0;
    for (std::size_t k = static_cast<std::size_t>(index_) + 1; k < opensSent_; ++k) {
        aheadBytes += list_[k].size;
    }
    opensSent_ = std::max(opensSent_, static_cast<std::size_t>(index_));
    while (opensSent_ < list_.size() &&
           (opensSent_ == static_cast<std::size_t>(index_) ||
            (opensSent_ < static_cast<std::size_t>(index_) + kOpensAhead &&
             aheadBytes < kOpenAheadBytes))) {
        Entry& entry = list_[opensSent_];
        Packet p(Opcode::ReqFetchOpen);
        p.set(proto::ReqFetchOpen::tag, static_cast<std::int32_t>(opensSent_));
        p.set(proto::ReqFetchOpen::path, entry.path);
        link_.send(p);
        entry.openAsked = true;
        ++opensSent_;
    }
}

void Fetch::askAhead() {
    if (!engine_.fetching()) return;
    const ChunkWindow& current = engine_.record().window;
    if (!current.allAsked()) return;
    // What is asked ahead stays within what the link carries for the current file.
    const auto budget = static_cast<std::size_t>(
        std::max(current.window(), ChunkWindow::kSmallestWindow) / ChunkWindow::kChunk);
    std::size_t used = current.inFlight();
    for (std::size_t k = static_cast<std::size_t>(index_) + 1; k < opensSent_; ++k) {
        used += list_[k].window.inFlight();
    }
    const Millis now = engine_.now();
    for (std::size_t k = static_cast<std::size_t>(index_) + 1; k < opensSent_ && used < budget;
         ++k) {
        Entry& entry = list_[k];
        if (!entry.openAnswered) return;
        if (!entry.opened) continue;
        Packet p(Opcode::ReqFetchChunk);
        p.set(proto::ReqFetchChunk::tag, static_cast<std::int32_t>(k));
        p.set(proto::ReqFetchChunk::path, entry.path);
        p.set(proto::ReqFetchChunk::tempPath, entry.tempPath);
        while (used < budget) {
            const std::optional<std::int64_t> offset = entry.window.next(now);
            if (!offset) break;
            p.set(proto::ReqFetchChunk::offset, *offset);
            link_.send(p);
            ++used;
        }
        // A file's last chunk waits for the rest of it; the files behind it wait too.
        if (!entry.window.allAsked()) return;
    }
}

bool Fetch::keepEarly(int index, const Packet& p) {
    if (index <= index_ || static_cast<std::size_t>(index) >= opensSent_) return false;
    Entry& entry = list_[static_cast<std::size_t>(index)];
    const auto bytes = p.bytes();
    entry.early.emplace_back(bytes.begin(), bytes.end());
    return true;
}

void Fetch::takeEarly() {
    takeEarlyAnswers(list_, index_, takingEarly_, [this](Entry&, const Packet& p) {
        if (p.opcode() == Opcode::RepFetchOpen) {
            onOpen(p);
        } else {
            onChunk(p);
        }
    });
}

void Fetch::releaseAhead() {
    for (std::size_t k = static_cast<std::size_t>(index_) + 1; k < opensSent_; ++k) {
        const Entry& entry = list_[k];
        if (entry.opened) {
            engine_.releaseServerCopy(Opcode::ReqFetchClose, entry.tempPath);
        } else if (entry.openAsked && !entry.openAnswered) {
            ++staleOpens_;
        }
    }
}

void Fetch::next() {
    ++index_;
    loop();
}

void Fetch::skip(const Entry& given, std::int32_t status, Outcome outcome,
                 const std::string& line) {
    const Entry entry = given;
    // The server keeps its copy until its last chunk has been read; one given up before that
    // would stay in its Temp folder.
    if (status != proto::kChunkLast)
        engine_.releaseServerCopy(Opcode::ReqFetchClose, entry.tempPath);
    if (!entry.part.empty()) files::discardFile(entry.part);
    console_.error(line);
    events_.settled(FlowItem(Flow::Fetch, entry.path, outcome, line));
    next();
}

bool Fetch::place(const Entry& entry) {
    if (files::renameFile(entry.part, entry.target)) return true;
    // A Temp folder on another file system than Working: a copy, and the part goes.
    const bool copied = static_cast<bool>(files::copyFile(entry.part, entry.target));
    if (!copied) files::discardFile(entry.target);
    return copied;
}

void Fetch::abandon() {
    if (engine_.kind() == Kind::Fetch && index_ < static_cast<int>(list_.size())) {
        const std::string& part = list_[static_cast<std::size_t>(index_)].part;
        if (!part.empty()) files::discardFile(part);
    }
    list_.clear();
    staleOpens_ = 0;
}

void Fetch::onOpen(const Packet& p) {
    const std::string tempPath = p.get(proto::RepFetchOpen::tempPath);
    if (staleOpens_ > 0 && link_.pipelined()) {
        --staleOpens_;
        if (!tempPath.empty()) engine_.releaseServerCopy(Opcode::ReqFetchClose, tempPath);
        return;
    }
    const int index = p.get(proto::RepFetchOpen::tag);
    if (!engine_.answers(Kind::Fetch, index, list_.size())) return;
    const std::int64_t size = p.get(proto::RepFetchOpen::size);
    if (link_.pipelined() && index != index_) {
        if (!keepEarly(index, p)) return;
        Entry& ahead = list_[static_cast<std::size_t>(index)];
        ahead.openAnswered = true;
        if (!tempPath.empty() && size >= 0) {
            ahead.opened = true;
            ahead.tempPath = tempPath;
            ahead.size = size;
            ahead.window.start(size, true);
            askAhead();
        }
        return;
    }
    index_ = index;
    Entry& entry = list_[static_cast<std::size_t>(index)];
    if (tempPath.empty() || size < 0) {
        const std::string line = quotedLine(text::FetchFailed, entry.path);
        console_.error(line);
        events_.settled(FlowItem(Flow::Fetch, entry.path, Outcome::Refused, line));
        next();
        return;
    }
    TransferEngine::Record& record = engine_.record();
    record.path = entry.path;
    record.size = size;
    entry.tempPath = tempPath;
    std::string base;
    if (safeBaseName(entry.path, &base)) {
        entry.target = files::join(local_.places().working, base);
        entry.part = files::join(local_.places().temp, std::string(kPartPrefix) + base);
    }
    // The check-out table keeps at most kMaxPath characters of a working path: a copy saved
    // under a longer one could never be found again to be checked in or voided.
    if (entry.target.size() > kMaxPath) {
        skip(entry, proto::kChunkMore, Outcome::Failed,
             quotedLine(text::FetchedNotSaved, entry.target));
        return;
    }
    engine_.openWindow(entry.path, size);
    // Chunks asked for while the file waited its turn are still on their way, in its window.
    if (entry.opened) {
        record.window = std::move(entry.window);
    } else {
        record.window.start(size, true);
    }
    requestChunk();
}

void Fetch::requestChunk() {
    const Entry& entry = list_[static_cast<std::size_t>(index_)];
    if (engine_.fetching()) {
        Packet p(Opcode::ReqFetchChunk);
        p.set(proto::ReqFetchChunk::tag, index_);
        p.set(proto::ReqFetchChunk::path, entry.path);
        p.set(proto::ReqFetchChunk::tempPath, entry.tempPath);
        if (!link_.pipelined()) {
            p.set(proto::ReqFetchChunk::offset, engine_.record().received);
            link_.send(p);
            return;
        }
        TransferEngine::Record& record = engine_.record();
        // One reading of the clock for the whole burst: they all leave in one write.
        const Millis now = engine_.now();
        while (const std::optional<std::int64_t> offset = record.window.next(now)) {
            p.set(proto::ReqFetchChunk::offset, *offset);
            link_.send(p);
        }
        askAhead();
        return;
    }
    if (link_.pipelined()) releaseAhead();
    engine_.releaseServerCopy(Opcode::ReqFetchClose, entry.tempPath);
    if (!entry.part.empty()) files::discardFile(entry.part);
    console_.important(text::TransferCancelled);
    events_.settled(
        FlowItem(Flow::Fetch, entry.path, Outcome::Failed, std::string(text::TransferCancelled)));
    engine_.hideWindow();
    engine_.finish();
    list_.clear();
    working_.show();
    events_.ended(Flow::Fetch);
}

void Fetch::onChunk(const Packet& p) {
    const int index = p.get(proto::RepFetchChunk::tag);
    if (!engine_.answers(Kind::Fetch, index, list_.size())) return;
    const bool inFlight = link_.pipelined();
    // With chunks in flight, answers to a file already given up may still come: they are not
    // this file's. Those for a file behind the current one wait for their turn.
    if (inFlight &&
        p.get(proto::RepFetchChunk::tempPath) != list_[static_cast<std::size_t>(index)].tempPath) {
        return;
    }
    if (inFlight && index != index_) {
        keepEarly(index, p);
        return;
    }
    index_ = index;
    // Every way out of this file below copies what it needs before the list can change.
    const Entry& entry = list_[static_cast<std::size_t>(index)];
    const std::int32_t status = p.get(proto::RepFetchChunk::status);
    std::span<const std::uint8_t> data;
    std::int64_t offset = 0;
    switch (engine_.takeChunk(p, status, proto::RepFetchChunk::count,
                              proto::RepFetchChunk::checksum, proto::RepFetchChunk::data, &data,
                              inFlight ? &offset : nullptr)) {
        case TransferEngine::Chunk::Ignore:
            return;
        case TransferEngine::Chunk::AskAgain:
            return requestChunk();
        case TransferEngine::Chunk::GiveUp:
            return skip(entry, status, Outcome::Refused,
                        quotedLine(text::ServerCouldNotSend, entry.path));
        case TransferEngine::Chunk::Good:
            break;
    }
    CheckOutTable& table = local_.table();
    // The administrator may have voided the check-out while the copy was on its way: what has
    // arrived is a working copy of nothing, so it goes and the next file comes. The void's own
    // line has told the user.
    if (table.state(entry.record) != RecordCheckedOut || table.path(entry.record) != entry.path) {
        const Entry voided = entry;
        if (status != proto::kChunkLast) {
            engine_.releaseServerCopy(Opcode::ReqFetchClose, voided.tempPath);
        }
        if (!voided.part.empty()) files::discardFile(voided.part);
        events_.settled(
            FlowItem(Flow::Fetch, voided.path, Outcome::Refused, voidedLine(voided.path)));
        next();
        return;
    }
    if (entry.target.empty()) {
        skip(entry, status, Outcome::Failed, std::string(text::NoOriginalName));
        return;
    }
    // Two server files of one name would share a working copy; the one already fetched (and
    // perhaps edited) is never overwritten. Only this fetch makes working copies, so looking
    // once, before the first bytes are kept, is enough.
    if (engine_.record().received == 0 &&
        table.findByWorkingPath(entry.target) != CheckOutTable::kNone) {
        skip(entry, status, Outcome::Failed, quotedLine(text::FetchedNotSaved, entry.target));
        return;
    }
    bool opened = false;
    const bool stored = inFlight ? engine_.storeChunk(entry.part, offset, data, &opened)
                                 : engine_.appendChunk(entry.part, data, &opened);
    if (!stored) {
        skip(entry, status, Outcome::Failed,
             opened ? std::string(text::SaveFailed)
                    : quotedLine(text::FetchedNotSaved, entry.target));
        return;
    }
    if (status != proto::kChunkLast) {
        requestChunk();
        return;
    }
    if (!engine_.record().out.close()) {
        skip(entry, status, Outcome::Failed, std::string(text::SaveFailed));
        return;
    }
    if (!place(entry)) {
        skip(entry, status, Outcome::Failed, quotedLine(text::FetchedNotSaved, entry.target));
        return;
    }
    const Entry done = entry;
    const std::string line = receivedLine(done.path);
    console_.plain(line);
    table.setFetched(done.record, done.target);
    local_.saveTable();
    events_.settled(FlowItem(Flow::Fetch, done.path, Outcome::Done, line, done.target));
    next();
}

}  // namespace zelt::client
