#include <array>
#include <fstream>

#include "client/core/client_core.h"
#include "client/core/texts.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"

// The Working Files window, check-in with its comment, and the user's own void.
namespace zelt::client {

using proto::Opcode;
using proto::Packet;

namespace {

// Reads the chunk of a working copy that starts at offset; false when the file cannot be
// opened or positioned there.
bool readChunk(const std::string& file, std::int64_t offset, std::vector<std::uint8_t>* data) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    if (offset != 0 && !in.seekg(offset)) return false;
    data->resize(proto::ChunkSize);
    in.read(reinterpret_cast<char*>(data->data()), static_cast<std::streamsize>(data->size()));
    data->resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

}  // namespace

// --- the Working Files window ---

void ClientCore::showWorkingFiles() {
    if (table_.checkedOutCount() == 0) {
        console_.plain(text::NoFileCheckedOut);
        if (working_.exists) fillWorkingFiles();
        return;
    }
    showWorkingFilesWindow();
}

void ClientCore::showWorkingFilesWindow() {
    working_.exists = true;
    working_.visible = true;
    fillWorkingFiles();
}

void ClientCore::fillWorkingFiles() {
    working_.rows.clear();
    working_.selected.clear();
    for (int i = 0; i < CheckOutTable::size(); ++i) {
        const std::uint8_t state = table_.state(i);
        if (state == RecordCheckedOut) {
            working_.rows.push_back({table_.path(i), IconNotFetched, ""});
        } else if (state == RecordFetched) {
            working_.rows.push_back({table_.path(i), IconFetched, std::string(text::Fetched)});
        }
    }
    working_.countLabel = fileCountLabel(static_cast<int>(working_.rows.size()));
    workingFilesUpdated();
}

void ClientCore::workingFilesUpdated() {
    working_.buttons = workingFilesButtons(fetchFlag_, state_ == ConnectionState::Connected,
                                           working_.selected.size());
    ui_.workingFilesChanged(working_);
}

void ClientCore::selectWorkingFiles(std::vector<int> rows) {
    working_.selected = rowsWithin(std::move(rows), working_.rows.size());
    workingFilesUpdated();
}

void ClientCore::closeWorkingFiles() {
    working_.visible = false;
    ui_.workingFilesChanged(working_);
}

int ClientCore::recordOfRow(int row) const {
    if (row < 0 || row >= static_cast<int>(working_.rows.size())) return CheckOutTable::kNone;
    return table_.findHeld(working_.rows[static_cast<std::size_t>(row)].path);
}

void ClientCore::fetchSelected() {
    startFetch(working_.selected);
}

void ClientCore::openSelected() {
    if (working_.selected.empty()) return;
    const int record = recordOfRow(working_.selected.front());
    if (record == CheckOutTable::kNone) return;
    if (table_.state(record) == RecordFetched) {
        openWithShell(table_.workingPath(record));
    } else if (table_.state(record) == RecordCheckedOut) {
        fetchSelected();
    }
}

std::string ClientCore::uploadName(const std::string& workingPath) const {
    return comm_.userName() + "__" + files::baseName(workingPath);
}

// --- check-in ---

void ClientCore::checkInSelected() {
    if (!requireConnected() || transferBusy()) return;
    checkInList_.clear();
    comment_ = CommentState{};
    bool told = false;
    for (int row : working_.selected) {
        const int record = recordOfRow(row);
        if (record == CheckOutTable::kNone) continue;
        if (table_.state(record) == RecordFetched) {
            const std::string working = table_.workingPath(record);
            checkInList_.push_back({table_.path(record), working, uploadName(working), record, 0});
        } else if (!told) {
            ui_.messageBox(std::string(text::NotFetchedYet));
            told = true;
        }
    }
    working_.visible = false;
    ui_.workingFilesChanged(working_);
    hideTransferWindow();
    checkInIndex_ = 0;
    transferKind_ = TransferKind::CheckIn;
    checkInLoop();
}

void ClientCore::checkInLoop() {
    transfer_ = Transfer{};
    for (; checkInIndex_ < static_cast<int>(checkInList_.size()); ++checkInIndex_) {
        const CheckInEntry& entry = checkInList_[static_cast<std::size_t>(checkInIndex_)];
        const std::optional<std::int64_t> size = files::fileSize(entry.workingPath);
        if (!size) {
            console_.error(quoted(entry.workingPath) + " " + std::string(text::WorkingCopyMissing));
            continue;
        }
        transfer_.path = entry.path;
        transfer_.size = *size;
        openTransferWindow(entry.path, *size);
        sendCheckInChunk();
        return;
    }
    transferKind_ = TransferKind::None;
    checkInList_.clear();
    if (table_.checkedOutCount() > 0) showWorkingFilesWindow();
}

void ClientCore::sendCheckInChunk() {
    const CheckInEntry& entry = checkInList_[static_cast<std::size_t>(checkInIndex_)];
    if (transfer_.cancel) {
        Packet abort(Opcode::ReqCheckInAbort);
        abort.set(proto::ReqCheckInAbort::uploadName, entry.uploadName);
        send(abort);
        hideTransferWindow();
        transferKind_ = TransferKind::None;
        checkInList_.clear();
        if (working_.exists) showWorkingFilesWindow();
        return;
    }
    std::vector<std::uint8_t> data;
    if (!readChunk(entry.workingPath, entry.nextOffset, &data)) {
        // The upload cannot go on; say so rather than skip the file without a word, and let
        // the server drop what it has of it (an administrator's void moves the working copy
        // away in the middle of an upload).
        if (entry.nextOffset != 0) {
            Packet abort(Opcode::ReqCheckInAbort);
            abort.set(proto::ReqCheckInAbort::uploadName, entry.uploadName);
            send(abort);
        }
        console_.error(quoted(entry.workingPath) + " " + std::string(text::WorkingCopyMissing));
        ++checkInIndex_;
        checkInLoop();
        return;
    }
    Packet p(Opcode::ReqCheckInChunk);
    p.set(proto::ReqCheckInChunk::tag, checkInIndex_);
    p.set(proto::ReqCheckInChunk::last, data.size() < proto::ChunkSize ? 1 : 0);
    p.set(proto::ReqCheckInChunk::uploadName, uploadName(entry.workingPath));
    p.set(proto::ReqCheckInChunk::offset, entry.nextOffset);
    p.set(proto::ReqCheckInChunk::count, static_cast<std::int64_t>(data.size()));
    p.set(proto::ReqCheckInChunk::checksum, proto::chunkChecksum(data));
    p.set(proto::ReqCheckInChunk::data, std::span<const std::uint8_t>(data));
    send(p);
}

void ClientCore::onCheckInChunk(const Packet& p) {
    const int index = p.get(proto::RepCheckInChunk::tag);
    if (!answersTransfer(TransferKind::CheckIn, index, checkInList_.size())) return;
    checkInIndex_ = index;
    CheckInEntry& entry = checkInList_[static_cast<std::size_t>(index)];
    if (p.get(proto::RepCheckInChunk::done) != 0) {
        advanceProgress();
        hideTransferWindow();
        commitCheckIn();
        return;
    }
    const std::int64_t next = p.get(proto::RepCheckInChunk::nextOffset);
    // The server answers its own offset again when the chunk arrived damaged; a chunk that
    // never gets through ends this file's upload instead of repeating for ever.
    const bool refused = next == -1 || (next == entry.nextOffset && !acceptBadChunk());
    if (refused) {
        if (next != -1) {
            Packet abort(Opcode::ReqCheckInAbort);
            abort.set(proto::ReqCheckInAbort::uploadName, entry.uploadName);
            send(abort);
        }
        console_.error(std::string(text::ServerFailedToSave) + " " + entry.path);
        ++checkInIndex_;
        checkInLoop();
        return;
    }
    if (next != entry.nextOffset) {
        transfer_.badChunks = 0;
        advanceProgress();
    }
    entry.nextOffset = next;
    sendCheckInChunk();
}

void ClientCore::commitCheckIn() {
    const int index = checkInIndex_;
    const CheckInEntry entry = checkInList_[static_cast<std::size_t>(index)];
    if (!comment_.apply) {
        const CommentReply reply = ui_.runComment(entry.path);
        // The dialog runs the reactor: the connection, and with it this check-in, may be gone.
        if (transferKind_ != TransferKind::CheckIn || index != checkInIndex_) return;
        if (reply.accepted) {
            comment_.apply = reply.applyToRest;
            comment_.text = collectComment(reply.lines);
        } else {
            comment_.apply = false;
            comment_.text = std::string(text::NoComment);
        }
    }
    Packet p(Opcode::ReqCheckIn);
    p.set(proto::ReqCheckIn::tag, index);
    p.set(proto::ReqCheckIn::path, entry.path);
    p.set(proto::ReqCheckIn::uploadName, entry.uploadName);
    p.set(proto::ReqCheckIn::userName, comm_.userName());
    p.set(proto::ReqCheckIn::comment, comment_.text);
    send(p);
}

void ClientCore::onCheckIn(const Packet& p) {
    const int index = p.get(proto::RepCheckIn::tag);
    if (!answersTransfer(TransferKind::CheckIn, index, checkInList_.size())) return;
    checkInIndex_ = index;
    const CheckInEntry entry = checkInList_[static_cast<std::size_t>(index)];
    if (p.get(proto::RepCheckIn::status) == proto::RepCheckIn::kFailed) {
        console_.error(quoted(entry.path) + " " + std::string(text::CheckInFailed) + " " +
                       p.get(proto::RepCheckIn::reason));
    } else {
        console_.important(quoted(entry.path) + " " + std::string(text::CheckedIn));
        // The working copy goes only once its copy in the Backup folder is safe.
        std::string base;
        bool keptInBackup = false;
        if (!safeBaseName(entry.path, &base)) {
            console_.error(text::NoOriginalName);
        } else if (!files::copyFile(entry.workingPath, files::join(places_.backup, base))) {
            console_.error(text::SaveFailed);
        } else {
            keptInBackup = true;
        }
        if (table_.findHeld(entry.path) == entry.record) table_.clear(entry.record);
        if (keptInBackup) files::discardFile(entry.workingPath);
        saveTable();
    }
    ++checkInIndex_;
    checkInLoop();
}

// --- the user's own void ---

void ClientCore::voidSelected() {
    if (!requireConnected()) return;
    if (!ui_.askYesNo(std::string(text::ConfirmVoid))) return;
    voidList_.clear();
    for (int row : working_.selected) {
        const int record = recordOfRow(row);
        if (record != CheckOutTable::kNone) voidList_.push_back(table_.path(record));
    }
    working_.visible = false;
    ui_.workingFilesChanged(working_);
    voidLoop(0);
}

void ClientCore::voidLoop(int from) {
    for (int i = std::max(from, 0); i < static_cast<int>(voidList_.size()); ++i) {
        if (voidList_[static_cast<std::size_t>(i)].empty()) continue;
        Packet p(Opcode::ReqVoidCheckOut);
        p.set(proto::ReqVoidCheckOut::tag, i);
        p.set(proto::ReqVoidCheckOut::path, voidList_[static_cast<std::size_t>(i)]);
        send(p);
        return;
    }
    showWorkingFilesWindow();
}

void ClientCore::onVoidCheckOut(const Packet& p) {
    const int index = p.get(proto::RepVoidCheckOut::tag);
    const std::string path = p.get(proto::RepVoidCheckOut::path);
    // Only the answer to a void the user confirmed may delete a working copy.
    if (index < 0 || index >= static_cast<int>(voidList_.size()) ||
        voidList_[static_cast<std::size_t>(index)] != path) {
        return;
    }
    console_.important(quoted(path) + " " + std::string(text::CheckOutVoided));
    const int record = table_.findHeld(path);
    if (record != CheckOutTable::kNone) {
        clearRecord(record);
        saveTable();
    }
    voidList_[static_cast<std::size_t>(index)].clear();
    voidLoop(index + 1);
}

}  // namespace zelt::client
