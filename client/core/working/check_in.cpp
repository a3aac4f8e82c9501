#include "client/core/working/check_in.h"

#include <algorithm>
#include <array>
#include <fstream>

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
            Entry entry;
            entry.path = table.path(record);
            entry.workingPath = working;
            entry.uploadName = uploadName(working);
            entry.record = record;
            entry.index = static_cast<int>(list_.size());
            list_.push_back(std::move(entry));
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
    firstChunk_ = sentChunks_;
    engine_.begin(Kind::CheckIn);
    loop();
}

void CheckIn::loop() {
    engine_.resetRecord();
    for (; index_ < static_cast<int>(list_.size()); ++index_) {
        Entry& entry = list_[static_cast<std::size_t>(index_)];
        if (entry.ahead) {
            // Its upload began while it waited: it goes on where it stands.
            TransferEngine::Record& record = engine_.record();
            record.path = entry.path;
            record.size = entry.size;
            engine_.openWindow(entry.path, entry.size);
            record.window = std::move(entry.window);
            if (entry.file) record.file = std::move(*entry.file);
            entry.file.reset();
            if (entry.early.empty()) {
                sendChunk();
            } else {
                takeEarly();
            }
            return;
        }
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
            record.file.open(entry.workingPath);
        }
        sendChunk();
        return;
    }
    end(false);
}

void CheckIn::end(bool cancelled) {
    if (cancelled) {
        engine_.finish();
        list_.clear();
        if (working_.exists()) working_.show();
        events_.ended(Flow::CheckIn);
        return;
    }
    // The last files' commits may still be on their way: their lines come before the end.
    if (!committed_.empty()) {
        ending_ = true;
        return;
    }
    finishEnd();
}

void CheckIn::finishEnd() {
    ending_ = false;
    engine_.finish();
    list_.clear();
    if (local_.table().checkedOutCount() > 0) working_.show();
    events_.ended(Flow::CheckIn);
}

void CheckIn::connectionLost() {
    committed_.clear();
    ending_ = false;
    sentChunks_ = answeredChunks_ = firstChunk_ = 0;
}

void CheckIn::takeEarly() {
    takeEarlyAnswers(list_, index_, takingEarly_,
                     [this](Entry& entry, const Packet& p) { onChunkInFlight(entry, p); });
}

bool CheckIn::startAhead(Entry& entry) {
    const CheckOutTable& table = local_.table();
    if (table.state(entry.record) != RecordFetched || table.path(entry.record) != entry.path) {
        return false;
    }
    const std::optional<std::int64_t> size = files::fileSize(entry.workingPath);
    if (!size) return false;
    auto file = std::make_shared<ChunkReader>();
    if (!file->open(entry.workingPath)) return false;
    entry.size = *size;
    entry.file = std::move(file);
    entry.window.start(*size, false);
    entry.ahead = true;
    return true;
}

void CheckIn::sendAhead() {
    // A Comment dialog still to come would ask about a file whose upload is long done.
    if (!comment_.apply) return;
    const ChunkWindow& current = engine_.record().window;
    if (!current.allAsked()) return;
    const auto budget = static_cast<std::size_t>(
        std::max(current.window(), ChunkWindow::kSmallestWindow) / ChunkWindow::kChunk);
    const std::size_t last = std::min(list_.size(), static_cast<std::size_t>(index_) + kAhead + 1);
    std::size_t used = current.inFlight();
    for (std::size_t k = static_cast<std::size_t>(index_) + 1; k < last; ++k) {
        used += list_[k].window.inFlight();
    }
    std::array<std::uint8_t, proto::ChunkSize> data{};
    const Millis now = engine_.now();
    for (std::size_t k = static_cast<std::size_t>(index_) + 1; k < last && used < budget; ++k) {
        Entry& entry = list_[k];
        if (entry.broken || (!entry.ahead && !startAhead(entry))) return;
        while (used < budget) {
            const std::optional<std::int64_t> offset = entry.window.next(now);
            if (!offset) break;
            const std::int64_t count = entry.window.countAt(*offset);
            const auto n =
                entry.file->readAt(*offset, data.data(), static_cast<std::size_t>(count));
            if (!n || static_cast<std::int64_t>(*n) != count) {
                // Told when its turn comes, as for the file being sent.
                entry.broken = true;
                return;
            }
            sendChunkPacket(entry, *offset, std::span<const std::uint8_t>(data.data(), *n));
            ++used;
        }
        if (!entry.window.allAsked()) return;
    }
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
        for (std::size_t k = static_cast<std::size_t>(index_) + 1; k < list_.size(); ++k) {
            if (list_[k].ahead) abort(list_[k]);
        }
        events_.settled(FlowItem(Flow::CheckIn, entry.path, Outcome::Failed,
                                 std::string(text::TransferCancelled)));
        engine_.hideWindow();
        end(true);
        return;
    }
    if (link_.pipelined()) {
        if (entry.broken || !sendChunksInFlight(entry)) {
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
        sendChunkPacket(entry, *offset, std::span<const std::uint8_t>(data.data(), *n));
    }
    sendAhead();
    return true;
}

void CheckIn::sendChunkPacket(const Entry& entry, std::int64_t offset,
                              std::span<const std::uint8_t> chunk) {
    const ChunkWindow& window = entry.index == index_ ? engine_.record().window : entry.window;
    Packet p(Opcode::ReqCheckInChunk);
    p.set(proto::ReqCheckInChunk::tag, entry.index);
    p.set(proto::ReqCheckInChunk::last, window.isLast(offset) ? 1 : 0);
    p.set(proto::ReqCheckInChunk::uploadName, entry.uploadName);
    p.set(proto::ReqCheckInChunk::offset, offset);
    p.set(proto::ReqCheckInChunk::count, static_cast<std::int64_t>(chunk.size()));
    p.set(proto::ReqCheckInChunk::checksum, proto::chunkChecksum(chunk));
    p.set(proto::ReqCheckInChunk::data, chunk);
    link_.send(p);
    ++sentChunks_;
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
    // Every answer counts, whoever it is for: they come in the order of the requests.
    const bool ofThisList = !link_.pipelined() || answeredChunks_++ >= firstChunk_;
    const int index = p.get(proto::RepCheckInChunk::tag);
    if (!ofThisList || !engine_.answers(Kind::CheckIn, index, list_.size())) return;
    // With chunks in flight, answers for a file already given up may still come, and those
    // of a list cancelled before them. Those for a file behind the current one wait their turn.
    if (link_.pipelined()) {
        Entry& entry = list_[static_cast<std::size_t>(index)];
        if (index == index_) {
            onChunkInFlight(entry, p);
        } else if (index > index_ && entry.ahead) {
            const auto bytes = p.bytes();
            entry.early.emplace_back(bytes.begin(), bytes.end());
        }
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
    // With no dialog left to ask, the next file need not wait for this one's answer.
    if (link_.pipelined() && comment_.apply) {
        committed_.push_back(entry);
        next();
    }
}

void CheckIn::onAnswer(const Packet& p) {
    const int index = p.get(proto::RepCheckIn::tag);
    // Commits sent without waiting are answered first, in the order they went.
    if (!committed_.empty()) {
        if (index != committed_.front().index) return;
        const Entry entry = std::move(committed_.front());
        committed_.pop_front();
        settle(entry, p);
        if (committed_.empty() && ending_) finishEnd();
        return;
    }
    if (!engine_.answers(Kind::CheckIn, index, list_.size())) return;
    index_ = index;
    const Entry entry = list_[static_cast<std::size_t>(index)];
    settle(entry, p);
    next();
}

void CheckIn::settle(const Entry& entry, const Packet& p) {
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
}

}  // namespace zelt::client
