#include "client/core/transfer/transfer_engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/platform/clock.h"
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
    (void)record_.out.close();
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

bool TransferEngine::storeChunk(const std::string& file, std::int64_t offset,
                                std::span<const std::uint8_t> data, bool* opened) {
    if (!record_.out.isOpen()) record_.out.open(file);
    *opened = record_.out.isOpen();
    if (!*opened || !record_.out.write(offset, data)) return false;
    record_.window.arrived(offset);
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
    model_.bytesDone = 0;
    model_.bytesTotal = size;
    model_.rate.clear();
    model_.timeLeft.clear();
    startedAt_ = clock_.monotonic();
    ui_.fileTransferChanged(model_);
}

void TransferEngine::advance() {
    ++model_.position;
    model_.bytesDone = record_.received;
    const Millis elapsed = clock_.monotonic() - startedAt_;
    model_.rate = rateText(model_.bytesDone, elapsed);
    model_.timeLeft = timeLeftText(std::max<std::int64_t>(model_.bytesTotal - model_.bytesDone, 0),
                                   model_.bytesDone, elapsed);
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

namespace {

std::string oneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

std::string rateText(std::int64_t bytes, Millis elapsed) {
    if (elapsed < kRateAfter || bytes <= 0) return "";
    const double perSecond = static_cast<double>(bytes) * 1000.0 / static_cast<double>(elapsed);
    constexpr double kKilo = 1024.0;
    if (perSecond < kKilo) {
        return std::to_string(std::llround(perSecond)) + " " + std::string(text::transfer::Bytes);
    }
    if (perSecond < kKilo * kKilo) {
        return oneDecimal(perSecond / kKilo) + " " + std::string(text::transfer::KiloBytes);
    }
    return oneDecimal(perSecond / (kKilo * kKilo)) + " " + std::string(text::transfer::MegaBytes);
}

std::string timeLeftText(std::int64_t bytesLeft, std::int64_t bytes, Millis elapsed) {
    if (elapsed < kRateAfter || bytes <= 0) return "";
    // Rounded up: a transfer never says 0 s while bytes are still to come.
    const auto seconds = static_cast<std::int64_t>(
        std::ceil(static_cast<double>(bytesLeft) * static_cast<double>(elapsed) /
                  (static_cast<double>(bytes) * 1000.0)));
    const std::string s(text::transfer::Seconds);
    const std::string min(text::transfer::Minutes);
    if (seconds < 60) return std::to_string(seconds) + " " + s;
    if (seconds < 3600) {
        return std::to_string(seconds / 60) + " " + min + " " + twoDigits(seconds % 60) + " " + s;
    }
    return std::to_string(seconds / 3600) + " " + std::string(text::transfer::Hours) + " " +
           twoDigits(seconds % 3600 / 60) + " " + min;
}

std::string voidedLine(const std::string& path) {
    return std::string(text::YourCheckOutFor) + " " + quoted(path) + " " +
           std::string(text::VoidedByAdministrator);
}

TransferEngine::Chunk TransferEngine::takeChunk(const Packet& p, std::int32_t status,
                                                proto::Int64 countField, proto::Byte checksumField,
                                                proto::Bytes dataField,
                                                std::span<const std::uint8_t>* data,
                                                std::int64_t* offset) {
    ChunkWindow& window = record_.window;
    if (offset != nullptr) {
        const std::optional<std::int64_t> asked = window.answered(now());
        if (!asked) return Chunk::Ignore;
        *offset = *asked;
    }
    if (status == proto::kChunkError) return Chunk::GiveUp;
    const std::int64_t count = p.get(countField);
    if (count >= 0 && count <= static_cast<std::int64_t>(proto::ChunkSize)) {
        *data = p.get(dataField).first(static_cast<std::size_t>(count));
        if (proto::chunkChecksum(*data) == p.get(checksumField)) {
            chunkArrived();
            // The server reads the very copy whose size it announced: a chunk of another
            // length, or an end in another place, means the two sides no longer agree on it.
            const bool agrees =
                offset == nullptr || (count == window.countAt(*offset) &&
                                      (status == proto::kChunkLast) == window.isLast(*offset));
            return agrees ? Chunk::Good : Chunk::GiveUp;
        }
    }
    if (!acceptBadChunk()) return Chunk::GiveUp;
    if (offset != nullptr) window.again(*offset);
    return Chunk::AskAgain;
}

}  // namespace zelt::client
