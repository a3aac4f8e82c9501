#include <cstdio>

#include "client/core/client_core.h"
#include "client/core/texts.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"

// Check-out, the read-only view copy, the fetch into the Working folder, and the
// administrator's void. One transfer runs at a time; each answer triggers the next request.
namespace zelt::client {

using proto::Opcode;
using proto::Packet;

namespace {

// "<prefix> '<path>'."
std::string aboutPath(std::string_view prefix, const std::string& path) {
    return std::string(prefix) + " " + quoted(path) + ".";
}

std::string receivedLine(const std::string& path) {
    return quoted(files::baseName(path)) + " " + std::string(text::FileReceived);
}

// The chunk's data when its count and checksum hold, else nothing.
bool chunkData(const Packet& p, proto::Int64 countField, proto::Byte checksumField,
               proto::Bytes dataField, std::span<const std::uint8_t>* data) {
    const std::int64_t count = p.get(countField);
    if (count < 0 || count > static_cast<std::int64_t>(proto::ChunkSize)) return false;
    *data = p.get(dataField).first(static_cast<std::size_t>(count));
    return proto::chunkChecksum(*data) == p.get(checksumField);
}

}  // namespace

// --- check-out ---

void ClientCore::checkOutSelected() {
    if (available_.selected.empty() || !requireConnected()) return;
    for (int row : available_.selected) {
        table_.markRequested(available_.rows[static_cast<std::size_t>(row)].path);
    }
    available_.visible = false;
    ui_.availableFilesChanged(available_);
    checkOutLoop(0);
}

void ClientCore::checkOutLoop(int from) {
    for (int i = std::max(from, 0); i < CheckOutTable::size(); ++i) {
        if (table_.state(i) != RecordRequested) continue;
        Packet p(Opcode::ReqCheckOut);
        p.set(proto::ReqCheckOut::tag, i);
        p.set(proto::ReqCheckOut::path, table_.path(i));
        send(p);
        return;
    }
    showWorkingFilesWindow();
}

void ClientCore::onCheckOut(const Packet& p) {
    const int index = p.get(proto::RepCheckOut::tag);
    // Only an answer to a request still open may change a record; anything else could free a
    // file the user already holds and works on.
    if (index < 0 || index >= CheckOutTable::size() || table_.state(index) != RecordRequested) {
        return;
    }
    const std::uint8_t status = p.get(proto::RepCheckOut::status);
    const std::string path = p.get(proto::RepCheckOut::path);
    if (status == proto::RepCheckOut::kRefused) {
        console_.error(quoted(path) + " " + std::string(text::CheckOutFailed) + " " +
                       p.get(proto::RepCheckOut::reason));
    } else if (status == proto::RepCheckOut::kCheckedOut) {
        console_.important(quoted(path) + " " + std::string(text::CheckedOut));
    }
    if (status == proto::RepCheckOut::kCheckedOut) {
        table_.set(index, RecordCheckedOut, table_.path(index), "");
    } else {
        clearRecord(index);
    }
    saveTable();
    checkOutLoop(index + 1);
}

void ClientCore::clearRecord(int index) {
    const std::string working = table_.workingPath(index);
    if (!working.empty()) files::discardFile(working);
    table_.clear(index);
}

// --- shared transfer steps ---

bool ClientCore::transferBusy() {
    if (transferKind_ == TransferKind::None) return false;
    console_.plain(text::TransferBusy);
    return true;
}

void ClientCore::openTransferWindow(const std::string& path, std::int64_t size) {
    transferView_.exists = true;
    transferView_.visible = true;
    transferView_.label = path;
    transferView_.rangeMax = size / static_cast<std::int64_t>(proto::ChunkSize) - 1;
    transferView_.position = 0;
    ui_.fileTransferChanged(transferView_);
}

void ClientCore::advanceProgress() {
    ++transferView_.position;
    ui_.fileTransferChanged(transferView_);
}

void ClientCore::hideTransferWindow() {
    if (!transferView_.visible) return;
    transferView_.visible = false;
    ui_.fileTransferChanged(transferView_);
}

void ClientCore::cancelTransfer() {
    transfer_.cancel = true;
    fetchFlag_ = false;
    hideTransferWindow();
}

bool ClientCore::acceptBadChunk() {
    return ++transfer_.badChunks < kMaxBadChunks;
}

bool ClientCore::answersTransfer(TransferKind kind, int tag, std::size_t listSize) const {
    return transferKind_ == kind && tag >= 0 && static_cast<std::size_t>(tag) < listSize;
}

// Tells the server to delete its temporary copy of a download given up before its end.
void ClientCore::releaseServerCopy(Opcode close, const std::string& tempPath) {
    Packet p(close);
    p.set(proto::ReqViewClose::tempPath, tempPath);
    send(p);
}

// Whatever was under way ends with the connection; the Working Files buttons work again.
void ClientCore::endTransfers() {
    if (transferKind_ == TransferKind::None && !fetchFlag_) return;
    transferKind_ = TransferKind::None;
    fetchFlag_ = false;
    fetchList_.clear();
    checkInList_.clear();
    transfer_ = Transfer{};
    hideTransferWindow();
    if (working_.exists) workingFilesUpdated();
}

bool ClientCore::appendChunk(const std::string& file, std::span<const std::uint8_t> data,
                             bool* opened) {
    std::FILE* out = std::fopen(file.c_str(), transfer_.received == 0 ? "wb" : "ab");
    *opened = out != nullptr;
    if (out == nullptr) return false;
    const bool written =
        data.empty() || std::fwrite(data.data(), 1, data.size(), out) == data.size();
    return std::fclose(out) == 0 && written;
}

// --- view copy ---

void ClientCore::startView(const std::string& path) {
    if (path.empty() || !requireConnected() || transferBusy()) return;
    transfer_ = Transfer{};
    transferKind_ = TransferKind::View;
    hideTransferWindow();
    Packet p(Opcode::ReqViewOpen);
    p.set(proto::ReqViewOpen::path, path);
    send(p);
}

void ClientCore::onViewOpen(const Packet& p) {
    if (transferKind_ != TransferKind::View) return;
    transfer_.path = p.get(proto::RepViewOpen::path);
    transfer_.tempPath = p.get(proto::RepViewOpen::tempPath);
    transfer_.size = p.get(proto::RepViewOpen::size);
    // The server names no temporary copy when it could not make one; an empty file has one.
    if (transfer_.tempPath.empty() || transfer_.size < 0) {
        transferKind_ = TransferKind::None;
        ui_.messageBox(std::string(text::NoOriginalOnServer));
        return;
    }
    openTransferWindow(transfer_.path, transfer_.size);
    requestViewChunk();
}

void ClientCore::requestViewChunk() {
    if (transfer_.cancel) {
        releaseServerCopy(Opcode::ReqViewClose, transfer_.tempPath);
        console_.important(text::TransferCancelled);
        hideTransferWindow();
        transferKind_ = TransferKind::None;
        return;
    }
    Packet p(Opcode::ReqViewChunk);
    p.set(proto::ReqViewChunk::path, transfer_.path);
    p.set(proto::ReqViewChunk::tempPath, transfer_.tempPath);
    p.set(proto::ReqViewChunk::offset, transfer_.received);
    send(p);
}

void ClientCore::onViewChunk(const Packet& p) {
    if (transferKind_ != TransferKind::View) return;
    const std::int32_t status = p.get(proto::RepViewChunk::status);
    auto stop = [&](std::string_view line) {
        // A copy given up before its last chunk would stay in the server's Temp folder.
        if (status != proto::kChunkLast)
            releaseServerCopy(Opcode::ReqViewClose, transfer_.tempPath);
        console_.error(line);
        hideTransferWindow();
        transferKind_ = TransferKind::None;
    };
    if (status == proto::kChunkError) {
        stop(std::string(text::ServerCouldNotSend) + ".");
        return;
    }
    std::span<const std::uint8_t> data;
    if (!chunkData(p, proto::RepViewChunk::count, proto::RepViewChunk::checksum,
                   proto::RepViewChunk::data, &data)) {
        if (acceptBadChunk()) {
            requestViewChunk();
            return;
        }
        stop(std::string(text::ServerCouldNotSend) + ".");
        return;
    }
    transfer_.badChunks = 0;
    std::string base;
    std::string tempBase;
    if (!safeBaseName(transfer_.path, &base) || !safeBaseName(transfer_.tempPath, &tempBase)) {
        stop(text::NoOriginalName);
        return;
    }
    tempBase = tempBase.substr(0, tempBase.find(".tmp"));
    const std::string local = files::join(places_.temp, tempBase + "__" + base);
    bool opened = false;
    if (!appendChunk(local, data, &opened)) {
        stop(opened ? text::SaveFailed : text::TempFileFailed);
        return;
    }
    transfer_.received += static_cast<std::int64_t>(data.size());
    advanceProgress();
    if (status != proto::kChunkLast) {
        requestViewChunk();
        return;
    }
    hideTransferWindow();
    transferKind_ = TransferKind::None;
    console_.plain(receivedLine(transfer_.path));
    openWithShell(local);
}

// --- fetch into the Working folder ---

void ClientCore::startFetch(const std::vector<int>& rows) {
    if (!requireConnected() || transferBusy()) return;
    fetchList_.clear();
    for (int row : rows) {
        const int record = recordOfRow(row);
        if (record == CheckOutTable::kNone || table_.state(record) == RecordFetched) continue;
        fetchList_.push_back({record, table_.path(record), "", ""});
    }
    if (fetchList_.empty()) return;
    fetchIndex_ = 0;
    fetchFlag_ = true;
    transferKind_ = TransferKind::Fetch;
    working_.visible = false;
    workingFilesUpdated();
    hideTransferWindow();
    fetchLoop();
}

void ClientCore::fetchLoop() {
    transfer_ = Transfer{};
    if (fetchIndex_ >= static_cast<int>(fetchList_.size())) {
        fetchFlag_ = false;
        transferKind_ = TransferKind::None;
        fetchList_.clear();
        hideTransferWindow();
        saveTable();
        showWorkingFilesWindow();
        return;
    }
    Packet p(Opcode::ReqFetchOpen);
    p.set(proto::ReqFetchOpen::tag, fetchIndex_);
    p.set(proto::ReqFetchOpen::path, fetchList_[static_cast<std::size_t>(fetchIndex_)].path);
    send(p);
}

void ClientCore::nextFetch() {
    ++fetchIndex_;
    fetchLoop();
}

void ClientCore::onFetchOpen(const Packet& p) {
    const int index = p.get(proto::RepFetchOpen::tag);
    if (!answersTransfer(TransferKind::Fetch, index, fetchList_.size())) return;
    fetchIndex_ = index;
    FetchEntry& entry = fetchList_[static_cast<std::size_t>(index)];
    const std::string tempPath = p.get(proto::RepFetchOpen::tempPath);
    const std::int64_t size = p.get(proto::RepFetchOpen::size);
    if (tempPath.empty() || size < 0) {
        console_.error(aboutPath(text::FetchFailed, entry.path));
        nextFetch();
        return;
    }
    transfer_.path = entry.path;
    transfer_.size = size;
    entry.tempPath = tempPath;
    std::string base;
    entry.target = safeBaseName(entry.path, &base) ? files::join(places_.working, base) : "";
    // The check-out table keeps at most kMaxPath characters of a working path: a copy saved
    // under a longer one could never be found again to be checked in or voided.
    if (entry.target.size() > kMaxPath) {
        releaseServerCopy(Opcode::ReqFetchClose, tempPath);
        console_.error(aboutPath(text::FetchedNotSaved, entry.target));
        nextFetch();
        return;
    }
    openTransferWindow(entry.path, size);
    requestFetchChunk();
}

void ClientCore::requestFetchChunk() {
    const FetchEntry& entry = fetchList_[static_cast<std::size_t>(fetchIndex_)];
    if (fetchFlag_) {
        Packet p(Opcode::ReqFetchChunk);
        p.set(proto::ReqFetchChunk::tag, fetchIndex_);
        p.set(proto::ReqFetchChunk::path, entry.path);
        p.set(proto::ReqFetchChunk::tempPath, entry.tempPath);
        p.set(proto::ReqFetchChunk::offset, transfer_.received);
        send(p);
        return;
    }
    releaseServerCopy(Opcode::ReqFetchClose, entry.tempPath);
    if (!entry.target.empty() && table_.findByWorkingPath(entry.target) == CheckOutTable::kNone) {
        files::discardFile(entry.target);
    }
    console_.important(text::TransferCancelled);
    hideTransferWindow();
    transferKind_ = TransferKind::None;
    fetchList_.clear();
    showWorkingFilesWindow();
}

void ClientCore::onFetchChunk(const Packet& p) {
    const int index = p.get(proto::RepFetchChunk::tag);
    if (!answersTransfer(TransferKind::Fetch, index, fetchList_.size())) return;
    fetchIndex_ = index;
    const FetchEntry entry = fetchList_[static_cast<std::size_t>(index)];
    const std::int32_t status = p.get(proto::RepFetchChunk::status);
    auto skip = [&](const std::string& line) {
        // The server keeps its copy until its last chunk has been read; one given up before
        // that would stay in its Temp folder.
        if (status != proto::kChunkLast) releaseServerCopy(Opcode::ReqFetchClose, entry.tempPath);
        console_.error(line);
        nextFetch();
    };
    if (status == proto::kChunkError) {
        skip(aboutPath(text::ServerCouldNotSend, entry.path));
        return;
    }
    std::span<const std::uint8_t> data;
    if (!chunkData(p, proto::RepFetchChunk::count, proto::RepFetchChunk::checksum,
                   proto::RepFetchChunk::data, &data)) {
        if (acceptBadChunk()) {
            requestFetchChunk();
            return;
        }
        skip(aboutPath(text::ServerCouldNotSend, entry.path));
        return;
    }
    transfer_.badChunks = 0;
    // The administrator may have voided the check-out while the copy was on its way: what has
    // arrived is a working copy of nothing, so it goes and the next file comes. The void's own
    // line has told the user.
    if (table_.state(entry.record) != RecordCheckedOut || table_.path(entry.record) != entry.path) {
        if (status != proto::kChunkLast) releaseServerCopy(Opcode::ReqFetchClose, entry.tempPath);
        if (transfer_.received > 0) files::discardFile(entry.target);
        nextFetch();
        return;
    }
    if (entry.target.empty()) {
        skip(std::string(text::NoOriginalName));
        return;
    }
    // Two server files of one name would share a working copy; the one already fetched (and
    // perhaps edited) is never overwritten.
    bool opened = false;
    if (table_.findByWorkingPath(entry.target) != CheckOutTable::kNone) {
        skip(aboutPath(text::FetchedNotSaved, entry.target));
        return;
    }
    if (!appendChunk(entry.target, data, &opened)) {
        skip(opened ? std::string(text::SaveFailed)
                    : aboutPath(text::FetchedNotSaved, entry.target));
        return;
    }
    transfer_.received += static_cast<std::int64_t>(data.size());
    advanceProgress();
    if (status != proto::kChunkLast) {
        requestFetchChunk();
        return;
    }
    console_.plain(receivedLine(entry.path));
    table_.setFetched(entry.record, entry.target);
    saveTable();
    nextFetch();
}

// --- the administrator's void ---

void ClientCore::onCheckOutVoided(const Packet& p) {
    const std::string path = p.get(proto::PushCheckOutVoided::path);
    std::string keptAt;
    const int record = table_.findHeld(path);
    if (record != CheckOutTable::kNone) {
        const std::string working = table_.workingPath(record);
        if (table_.state(record) == RecordFetched && !working.empty() && files::isFile(working)) {
            keptAt = keepVoidedCopy(working);
        }
        table_.clear(record);
        saveTable();
        if (working_.exists) fillWorkingFiles();
    }
    console_.important(std::string(text::YourCheckOutFor) + " " + quoted(path) + " " +
                       std::string(text::VoidedByAdministrator));
    if (!keptAt.empty()) console_.plain(aboutPath(text::WorkingCopyKeptAs, keptAt));
    alert();
}

// The user's edits outlive the administrator's void: the working copy goes to the Backup
// folder as "<name>.voided". Returns where the copy is now.
std::string ClientCore::keepVoidedCopy(const std::string& workingPath) {
    std::string base;
    if (!safeBaseName(workingPath, &base)) return workingPath;
    const std::string kept = files::join(places_.backup, base + ".voided");
    if (files::renameFile(workingPath, kept)) return kept;
    if (files::copyFile(workingPath, kept) && files::removeFile(workingPath)) return kept;
    return workingPath;
}

}  // namespace zelt::client
