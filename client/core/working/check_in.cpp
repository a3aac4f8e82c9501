#include "client/core/working/check_in.h"

#include <array>
#include <fstream>

#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;
using Kind = TransferEngine::Kind;

namespace {

// The next offset of an answer to a chunk the server could not store: both halves all ones.
constexpr std::int64_t kUploadFailed = -1;

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

std::string CheckIn::uploadName(const std::string& workingPath) const {
    return local_.comm().userName() + "__" + files::baseName(workingPath);
}

void CheckIn::checkInSelected() {
    if (!link_.requireConnected() || engine_.busy()) return;
    const CheckOutTable& table = local_.table();
    list_.clear();
    comment_ = Comment{};
    bool told = false;
    for (int row : working_.selectedRows()) {
        const int record = working_.recordOfRow(row);
        if (record == CheckOutTable::kNone) continue;
        if (table.state(record) == RecordFetched) {
            const std::string working = table.workingPath(record);
            list_.push_back({table.path(record), working, uploadName(working), record, 0});
        } else {
            if (!told) ui_.messageBox(std::string(text::NotFetchedYet));
            told = true;
            events_.settled(FlowItem(Flow::CheckIn, table.path(record), Outcome::Failed,
                                     std::string(text::NotFetchedYet)));
        }
    }
    working_.hide();
    engine_.hideWindow();
    index_ = 0;
    engine_.begin(Kind::CheckIn);
    loop();
}

void CheckIn::loop() {
    engine_.resetRecord();
    for (; index_ < static_cast<int>(list_.size()); ++index_) {
        const Entry& entry = list_[static_cast<std::size_t>(index_)];
        const std::optional<std::int64_t> size = files::fileSize(entry.workingPath);
        if (!size) {
            const std::string line =
                quoted(entry.workingPath) + " " + std::string(text::WorkingCopyMissing);
            console_.error(line);
            events_.settled(FlowItem(Flow::CheckIn, entry.path, Outcome::Failed, line));
            continue;
        }
        TransferEngine::Record& record = engine_.record();
        record.path = entry.path;
        record.size = *size;
        engine_.openWindow(entry.path, *size);
        if (link_.pipelined()) {
            // The server keeps its upload file however the chunks come; the last one may go
            // before the others are through.
            record.window.start(*size, false);
            record.file = files::OpenFile::forReading(entry.workingPath);
        }
        sendChunk();
        return;
    }
    engine_.finish();
    list_.clear();
    if (local_.table().checkedOutCount() > 0) working_.show();
    events_.ended(Flow::CheckIn);
}

void CheckIn::next() {
    ++index_;
    loop();
}

void CheckIn::giveUp(const Entry& entry, Outcome outcome, const std::string& line) {
    console_.error(line);
    events_.settled(FlowItem(Flow::CheckIn, entry.path, outcome, line));
    next();
}

// Lets the server drop what it has of an upload that will not be finished.
void CheckIn::abort(const Entry& entry) {
    Packet p(Opcode::ReqCheckInAbort);
    p.set(proto::ReqCheckInAbort::uploadName, entry.uploadName);
    link_.send(p);
}

void CheckIn::sendChunk() {
    const Entry& entry = list_[static_cast<std::size_t>(index_)];
    if (engine_.record().cancel) {
        abort(entry);
        events_.settled(FlowItem(Flow::CheckIn, entry.path, Outcome::Failed,
                                 std::string(text::TransferCancelled)));
        engine_.hideWindow();
        engine_.finish();
        list_.clear();
        if (working_.exists()) working_.show();
        events_.ended(Flow::CheckIn);
        return;
    }
    if (link_.pipelined()) {
        if (!sendChunksInFlight(entry)) {
            abort(entry);
            giveUp(entry, Outcome::Failed,
                   quoted(entry.workingPath) + " " + std::string(text::WorkingCopyMissing));
        }
        return;
    }
    std::vector<std::uint8_t> data;
    if (!readChunk(entry.workingPath, entry.nextOffset, &data)) {
        // The upload cannot go on; say so rather than skip the file without a word, and let
        // the server drop what it has of it (an administrator's void moves the working copy
        // away in the middle of an upload).
        if (entry.nextOffset != 0) abort(entry);
        giveUp(entry, Outcome::Failed,
               quoted(entry.workingPath) + " " + std::string(text::WorkingCopyMissing));
        return;
    }
    Packet p(Opcode::ReqCheckInChunk);
    p.set(proto::ReqCheckInChunk::tag, index_);
    p.set(proto::ReqCheckInChunk::last, data.size() < proto::ChunkSize ? 1 : 0);
    p.set(proto::ReqCheckInChunk::uploadName, uploadName(entry.workingPath));
    p.set(proto::ReqCheckInChunk::offset, entry.nextOffset);
    p.set(proto::ReqCheckInChunk::count, static_cast<std::int64_t>(data.size()));
    p.set(proto::ReqCheckInChunk::checksum, proto::chunkChecksum(data));
    p.set(proto::ReqCheckInChunk::data, std::span<const std::uint8_t>(data));
    link_.send(p);
}

bool CheckIn::sendChunksInFlight(const Entry& entry) {
    TransferEngine::Record& record = engine_.record();
    // The file kept open would still read after an administrator's void moved the working copy
    // away; the upload ends there, as it does for a copy that is gone.
    const CheckOutTable& table = local_.table();
    if (table.state(entry.record) != RecordFetched || table.path(entry.record) != entry.path) {
        return false;
    }
    if (record.window.complete()) {
        record.file.close();
        engine_.hideWindow();
        commit();
        return true;
    }
    std::array<std::uint8_t, proto::ChunkSize> data{};
    // One reading of the clock for the whole burst: they all leave in one write.
    const Millis now = engine_.now();
    while (const std::optional<std::int64_t> offset = record.window.next(now)) {
        const std::int64_t count = record.window.countAt(*offset);
        // A working copy that shrank or went while it was sent cannot be checked in whole.
        const auto n = record.file.readAt(*offset, data.data(), static_cast<std::size_t>(count));
        if (!n || static_cast<std::int64_t>(*n) != count) return false;
        const std::span<const std::uint8_t> chunk(data.data(), *n);
        Packet p(Opcode::ReqCheckInChunk);
        p.set(proto::ReqCheckInChunk::tag, index_);
        p.set(proto::ReqCheckInChunk::last, record.window.isLast(*offset) ? 1 : 0);
        p.set(proto::ReqCheckInChunk::uploadName, entry.uploadName);
        p.set(proto::ReqCheckInChunk::offset, *offset);
        p.set(proto::ReqCheckInChunk::count, count);
        p.set(proto::ReqCheckInChunk::checksum, proto::chunkChecksum(chunk));
        p.set(proto::ReqCheckInChunk::data, chunk);
        link_.send(p);
    }
    return true;
}

void CheckIn::onChunkInFlight(Entry& entry, const Packet& p) {
    TransferEngine::Record& record = engine_.record();
    const std::optional<std::int64_t> offset = record.window.answered(engine_.now());
    if (!offset) return;
    const std::int64_t count = record.window.countAt(*offset);
    const std::int64_t nextOffset = p.get(proto::RepCheckInChunk::nextOffset);
    // An empty last chunk names the same next offset stored or not; its flag tells.
    const bool stored = count > 0
                            ? nextOffset == *offset + count
                            : nextOffset == *offset && p.get(proto::RepCheckInChunk::done) != 0;
    const bool damaged = !stored && nextOffset == *offset;
    if (!stored && !(damaged && engine_.acceptBadChunk())) {
        abort(entry);
        giveUp(entry, Outcome::Refused, std::string(text::ServerFailedToSave) + " " + entry.path);
        return;
    }
    if (damaged) {
        record.window.again(*offset);
    } else {
        engine_.chunkArrived();
        record.window.arrived(*offset);
        record.received += count;
        engine_.advance();
    }
    sendChunk();
}

void CheckIn::onChunk(const Packet& p) {
    const int index = p.get(proto::RepCheckInChunk::tag);
    if (!engine_.answers(Kind::CheckIn, index, list_.size())) return;
    // With chunks in flight, answers for a file already given up may still come.
    if (link_.pipelined()) {
        if (index == index_) onChunkInFlight(list_[static_cast<std::size_t>(index)], p);
        return;
    }
    index_ = index;
    Entry& entry = list_[static_cast<std::size_t>(index)];
    if (p.get(proto::RepCheckInChunk::done) != 0) {
        engine_.record().received = engine_.record().size;
        engine_.advance();
        engine_.hideWindow();
        commit();
        return;
    }
    const std::int64_t nextOffset = p.get(proto::RepCheckInChunk::nextOffset);
    // The server answers its own offset again when the chunk arrived damaged; a chunk that
    // never gets through ends this file's upload instead of repeating for ever. Either way
    // the server is told to drop what it has: a chunk it could not store may still have left
    // a file in its Temp folder.
    const bool refused = nextOffset == kUploadFailed ||
                         (nextOffset == entry.nextOffset && !engine_.acceptBadChunk());
    if (refused) {
        abort(entry);
        giveUp(entry, Outcome::Refused, std::string(text::ServerFailedToSave) + " " + entry.path);
        return;
    }
    if (nextOffset != entry.nextOffset) {
        engine_.chunkArrived();
        engine_.record().received = nextOffset;
        engine_.advance();
    }
    entry.nextOffset = nextOffset;
    sendChunk();
}

void CheckIn::commit() {
    const int index = index_;
    const Entry entry = list_[static_cast<std::size_t>(index)];
    if (!comment_.apply) {
        const CommentReply reply = ui_.runComment(entry.path);
        // The dialog runs the reactor: the connection, and with it this check-in, may be gone.
        if (engine_.kind() != Kind::CheckIn || index != index_) return;
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
    p.set(proto::ReqCheckIn::userName, local_.comm().userName());
    p.set(proto::ReqCheckIn::comment, comment_.text);
    link_.send(p);
}

void CheckIn::onAnswer(const Packet& p) {
    const int index = p.get(proto::RepCheckIn::tag);
    if (!engine_.answers(Kind::CheckIn, index, list_.size())) return;
    index_ = index;
    const Entry entry = list_[static_cast<std::size_t>(index)];
    FlowItem item(Flow::CheckIn, entry.path, Outcome::Refused);
    if (p.get(proto::RepCheckIn::status) == proto::RepCheckIn::kFailed) {
        item.serverText = p.get(proto::RepCheckIn::reason);
        item.line =
            quoted(entry.path) + " " + std::string(text::CheckInFailed) + " " + item.serverText;
        console_.error(item.line);
    } else {
        item.outcome = Outcome::Done;
        item.line = quoted(entry.path) + " " + std::string(text::CheckedIn);
        console_.important(item.line);
        // The working copy goes only once its copy in the Backup folder is safe.
        std::string base;
        bool keptInBackup = false;
        if (!safeBaseName(entry.path, &base)) {
            console_.error(text::NoOriginalName);
        } else if (!files::copyFile(entry.workingPath, files::join(local_.places().backup, base))) {
            console_.error(text::SaveFailed);
        } else {
            keptInBackup = true;
            item.localPath = files::join(local_.places().backup, base);
        }
        CheckOutTable& table = local_.table();
        if (table.findHeld(entry.path) == entry.record) table.clear(entry.record);
        if (keptInBackup) files::discardFile(entry.workingPath);
        local_.saveTable();
    }
    events_.settled(item);
    next();
}

}  // namespace zelt::client
