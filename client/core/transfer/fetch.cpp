#include "client/core/transfer/fetch.h"

#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;
using Kind = TransferEngine::Kind;

void Fetch::fetchSelected() {
    if (!link_.requireConnected() || engine_.busy()) return;
    const CheckOutTable& table = local_.table();
    list_.clear();
    for (int row : working_.selectedRows()) {
        const int record = working_.recordOfRow(row);
        if (record == CheckOutTable::kNone || table.state(record) == RecordFetched) continue;
        list_.push_back({record, table.path(record), "", ""});
    }
    if (list_.empty()) return;
    index_ = 0;
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
        return;
    }
    Packet p(Opcode::ReqFetchOpen);
    p.set(proto::ReqFetchOpen::tag, index_);
    p.set(proto::ReqFetchOpen::path, list_[static_cast<std::size_t>(index_)].path);
    link_.send(p);
}

void Fetch::next() {
    ++index_;
    loop();
}

void Fetch::skip(const Entry& entry, std::int32_t status, const std::string& line) {
    // The server keeps its copy until its last chunk has been read; one given up before that
    // would stay in its Temp folder.
    if (status != proto::kChunkLast)
        engine_.releaseServerCopy(Opcode::ReqFetchClose, entry.tempPath);
    console_.error(line);
    next();
}

void Fetch::onOpen(const Packet& p) {
    const int index = p.get(proto::RepFetchOpen::tag);
    if (!engine_.answers(Kind::Fetch, index, list_.size())) return;
    index_ = index;
    Entry& entry = list_[static_cast<std::size_t>(index)];
    const std::string tempPath = p.get(proto::RepFetchOpen::tempPath);
    const std::int64_t size = p.get(proto::RepFetchOpen::size);
    if (tempPath.empty() || size < 0) {
        console_.error(quotedLine(text::FetchFailed, entry.path));
        next();
        return;
    }
    TransferEngine::Record& record = engine_.record();
    record.path = entry.path;
    record.size = size;
    entry.tempPath = tempPath;
    std::string base;
    entry.target =
        safeBaseName(entry.path, &base) ? files::join(local_.places().working, base) : "";
    // The check-out table keeps at most kMaxPath characters of a working path: a copy saved
    // under a longer one could never be found again to be checked in or voided.
    if (entry.target.size() > kMaxPath) {
        engine_.releaseServerCopy(Opcode::ReqFetchClose, tempPath);
        console_.error(quotedLine(text::FetchedNotSaved, entry.target));
        next();
        return;
    }
    engine_.openWindow(entry.path, size);
    requestChunk();
}

void Fetch::requestChunk() {
    const Entry& entry = list_[static_cast<std::size_t>(index_)];
    if (engine_.fetching()) {
        Packet p(Opcode::ReqFetchChunk);
        p.set(proto::ReqFetchChunk::tag, index_);
        p.set(proto::ReqFetchChunk::path, entry.path);
        p.set(proto::ReqFetchChunk::tempPath, entry.tempPath);
        p.set(proto::ReqFetchChunk::offset, engine_.record().received);
        link_.send(p);
        return;
    }
    engine_.releaseServerCopy(Opcode::ReqFetchClose, entry.tempPath);
    if (!entry.target.empty() &&
        local_.table().findByWorkingPath(entry.target) == CheckOutTable::kNone) {
        files::discardFile(entry.target);
    }
    console_.important(text::TransferCancelled);
    engine_.hideWindow();
    engine_.finish();
    list_.clear();
    working_.show();
}

void Fetch::onChunk(const Packet& p) {
    const int index = p.get(proto::RepFetchChunk::tag);
    if (!engine_.answers(Kind::Fetch, index, list_.size())) return;
    index_ = index;
    const Entry entry = list_[static_cast<std::size_t>(index)];
    const std::int32_t status = p.get(proto::RepFetchChunk::status);
    std::span<const std::uint8_t> data;
    switch (engine_.takeChunk(p, status, proto::RepFetchChunk::count,
                              proto::RepFetchChunk::checksum, proto::RepFetchChunk::data, &data)) {
        case TransferEngine::Chunk::AskAgain:
            return requestChunk();
        case TransferEngine::Chunk::GiveUp:
            return skip(entry, status, quotedLine(text::ServerCouldNotSend, entry.path));
        case TransferEngine::Chunk::Good:
            break;
    }
    CheckOutTable& table = local_.table();
    // The administrator may have voided the check-out while the copy was on its way: what has
    // arrived is a working copy of nothing, so it goes and the next file comes. The void's own
    // line has told the user.
    if (table.state(entry.record) != RecordCheckedOut || table.path(entry.record) != entry.path) {
        if (status != proto::kChunkLast) {
            engine_.releaseServerCopy(Opcode::ReqFetchClose, entry.tempPath);
        }
        if (engine_.record().received > 0) files::discardFile(entry.target);
        next();
        return;
    }
    if (entry.target.empty()) {
        skip(entry, status, std::string(text::NoOriginalName));
        return;
    }
    // Two server files of one name would share a working copy; the one already fetched (and
    // perhaps edited) is never overwritten.
    if (table.findByWorkingPath(entry.target) != CheckOutTable::kNone) {
        skip(entry, status, quotedLine(text::FetchedNotSaved, entry.target));
        return;
    }
    bool opened = false;
    if (!engine_.appendChunk(entry.target, data, &opened)) {
        skip(entry, status,
             opened ? std::string(text::SaveFailed)
                    : quotedLine(text::FetchedNotSaved, entry.target));
        return;
    }
    if (status != proto::kChunkLast) {
        requestChunk();
        return;
    }
    console_.plain(receivedLine(entry.path));
    table.setFetched(entry.record, entry.target);
    local_.saveTable();
    next();
}

}  // namespace zelt::client
