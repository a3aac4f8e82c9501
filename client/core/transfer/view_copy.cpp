#include "client/core/transfer/view_copy.h"

#include "client/core/ui/texts.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;
using Kind = TransferEngine::Kind;

namespace {

// A view copy is named after the server's temporary copy (up to its ".tmp"), so that each
// view of one file gets a copy of its own.
constexpr std::string_view kTempSuffix = ".tmp";

}  // namespace

void ViewCopy::start(const std::string& path) {
    if (path.empty() || !link_.requireConnected() || engine_.busy()) return;
    engine_.begin(Kind::View);
    engine_.hideWindow();
    Packet p(Opcode::ReqViewOpen);
    p.set(proto::ReqViewOpen::path, path);
    link_.send(p);
}

void ViewCopy::onOpen(const Packet& p) {
    if (engine_.kind() != Kind::View) return;
    TransferEngine::Record& record = engine_.record();
    record.path = p.get(proto::RepViewOpen::path);
    record.tempPath = p.get(proto::RepViewOpen::tempPath);
    record.size = p.get(proto::RepViewOpen::size);
    // The server names no temporary copy when it could not make one; an empty file has one.
    if (record.tempPath.empty() || record.size < 0) {
        engine_.finish();
        ui_.messageBox(std::string(text::NoOriginalOnServer));
        end(FlowItem(Flow::View, record.path, Outcome::Refused,
                     std::string(text::NoOriginalOnServer)));
        return;
    }
    engine_.openWindow(record.path, record.size);
    record.window.start(record.size, true);
    requestChunk();
}

void ViewCopy::requestChunk() {
    const TransferEngine::Record& record = engine_.record();
    if (record.cancel) {
        engine_.releaseServerCopy(Opcode::ReqViewClose, record.tempPath);
        console_.important(text::TransferCancelled);
        engine_.hideWindow();
        engine_.finish();
        end(FlowItem(Flow::View, record.path, Outcome::Failed,
                     std::string(text::TransferCancelled)));
        return;
    }
    Packet p(Opcode::ReqViewChunk);
    p.set(proto::ReqViewChunk::path, record.path);
    p.set(proto::ReqViewChunk::tempPath, record.tempPath);
    if (!link_.pipelined()) {
        p.set(proto::ReqViewChunk::offset, record.received);
        link_.send(p);
        return;
    }
    // One reading of the clock for the whole burst: they all leave in one write.
    const Millis now = engine_.now();
    while (const std::optional<std::int64_t> offset = engine_.record().window.next(now)) {
        p.set(proto::ReqViewChunk::offset, *offset);
        link_.send(p);
    }
}

void ViewCopy::stop(std::int32_t status, Outcome outcome, std::string_view line) {
    // A copy given up before its last chunk would stay in the server's Temp folder.
    if (status != proto::kChunkLast) {
        engine_.releaseServerCopy(Opcode::ReqViewClose, engine_.record().tempPath);
    }
    console_.error(line);
    engine_.hideWindow();
    engine_.finish();
    end(FlowItem(Flow::View, engine_.record().path, outcome, std::string(line)));
}

void ViewCopy::end(const FlowItem& item) {
    events_.settled(item);
    events_.ended(Flow::View);
}

void ViewCopy::onChunk(const Packet& p) {
    if (engine_.kind() != Kind::View) return;
    TransferEngine::Record& record = engine_.record();
    const bool inFlight = link_.pipelined();
    // With chunks in flight, answers to a view already given up may still come.
    if (inFlight && p.get(proto::RepViewChunk::tempPath) != record.tempPath) return;
    const std::int32_t status = p.get(proto::RepViewChunk::status);
    std::span<const std::uint8_t> data;
    std::int64_t offset = 0;
    switch (engine_.takeChunk(p, status, proto::RepViewChunk::count, proto::RepViewChunk::checksum,
                              proto::RepViewChunk::data, &data, inFlight ? &offset : nullptr)) {
        case TransferEngine::Chunk::Ignore:
            return;
        case TransferEngine::Chunk::AskAgain:
            return requestChunk();
        case TransferEngine::Chunk::GiveUp:
            return stop(status, Outcome::Refused, std::string(text::ServerCouldNotSend) + ".");
        case TransferEngine::Chunk::Good:
            break;
    }
    std::string base;
    std::string tempBase;
    if (!safeBaseName(record.path, &base) || !safeBaseName(record.tempPath, &tempBase)) {
        stop(status, Outcome::Failed, text::NoOriginalName);
        return;
    }
    tempBase = tempBase.substr(0, tempBase.find(kTempSuffix));
    const std::string local = files::join(local_.places().temp, tempBase + "__" + base);
    bool opened = false;
    const bool stored = inFlight ? engine_.storeChunk(local, offset, data, &opened)
                                 : engine_.appendChunk(local, data, &opened);
    if (!stored) {
        stop(status, Outcome::Failed, opened ? text::SaveFailed : text::TempFileFailed);
        return;
    }
    if (status != proto::kChunkLast) {
        requestChunk();
        return;
    }
    if (!record.out.close()) {
        stop(status, Outcome::Failed, text::SaveFailed);
        return;
    }
    engine_.hideWindow();
    engine_.finish();
    const std::string line = receivedLine(record.path);
    console_.plain(line);
    shell_.open(local);
    end(FlowItem(Flow::View, record.path, Outcome::Done, line, local));
}

}  // namespace zelt::client
