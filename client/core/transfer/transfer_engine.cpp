#include "client/core/transfer/transfer_engine.h"

#include <cstdio>

#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"

namespace zelt::client {

using proto::Opcode;
using proto::Packet;

bool TransferEngine::busy() {
    if (kind_ == Kind::None) return false;
    console_.plain(text::TransferBusy);
    return true;
}

void TransferEngine::begin(Kind kind) {
    record_ = Record{};
    kind_ = kind;
}

bool TransferEngine::answers(Kind kind, int tag, std::size_t listSize) const {
    return kind_ == kind && tag >= 0 && static_cast<std::size_t>(tag) < listSize;
}

bool TransferEngine::abandon() {
    if (kind_ == Kind::None && !fetching_) return false;
    kind_ = Kind::None;
    fetching_ = false;
    record_ = Record{};
    hideWindow();
    return true;
}

void TransferEngine::releaseServerCopy(Opcode close, const std::string& tempPath) {
    Packet p(close);
    p.set(proto::ReqViewClose::tempPath, tempPath);
    link_.send(p);
}

bool TransferEngine::appendChunk(const std::string& file, std::span<const std::uint8_t> data,
                                 bool* opened) {
    std::FILE* out = std::fopen(file.c_str(), record_.received == 0 ? "wb" : "ab");
    *opened = out != nullptr;
    if (out == nullptr) return false;
    const bool written =
        data.empty() || std::fwrite(data.data(), 1, data.size(), out) == data.size();
    if (std::fclose(out) != 0 || !written) return false;
    record_.received += static_cast<std::int64_t>(data.size());
    advance();
    return true;
}

void TransferEngine::openWindow(const std::string& path, std::int64_t size) {
    model_.exists = true;
    model_.visible = true;
    model_.label = path;
    model_.size = size;
    model_.rangeMax = size / static_cast<std::int64_t>(proto::ChunkSize) - 1;
    model_.position = 0;
    ui_.fileTransferChanged(model_);
}

void TransferEngine::advance() {
    ++model_.position;
    ui_.fileTransferChanged(model_);
}

void TransferEngine::hideWindow() {
    if (!model_.visible) return;
    model_.visible = false;
    ui_.fileTransferChanged(model_);
}

void TransferEngine::cancel() {
    record_.cancel = true;
    fetching_ = false;
    hideWindow();
}

void TransferEngine::destroyWindow() {
    if (!model_.exists) return;
    model_ = FileTransferModel{};
    ui_.fileTransferChanged(model_);
}

std::string receivedLine(const std::string& path) {
    return quoted(files::baseName(path)) + " " + std::string(text::FileReceived);
}

std::string voidedLine(const std::string& path) {
    return std::string(text::YourCheckOutFor) + " " + quoted(path) + " " +
           std::string(text::VoidedByAdministrator);
}

TransferEngine::Chunk TransferEngine::takeChunk(const Packet& p, std::int32_t status,
                                                proto::Int64 countField, proto::Byte checksumField,
                                                proto::Bytes dataField,
                                                std::span<const std::uint8_t>* data) {
    if (status == proto::kChunkError) return Chunk::GiveUp;
    const std::int64_t count = p.get(countField);
    if (count >= 0 && count <= static_cast<std::int64_t>(proto::ChunkSize)) {
        *data = p.get(dataField).first(static_cast<std::size_t>(count));
        if (proto::chunkChecksum(*data) == p.get(checksumField)) {
            chunkArrived();
            return Chunk::Good;
        }
    }
    return acceptBadChunk() ? Chunk::AskAgain : Chunk::GiveUp;
}

}  // namespace zelt::client
