#include "client/core/transfer/chunk_writer.h"

#include <algorithm>
#include <cstring>

namespace zelt::client {

bool ChunkWriter::open(const std::string& path) {
    // What a transfer given up left under this name is no part of this one.
    files::discardFile(path);
    file_ = files::OpenFile::forWriting(path, true);
    gathered_.clear();
    gatheredAt_ = 0;
    return file_.isOpen();
}

bool ChunkWriter::write(std::int64_t offset, std::span<const std::uint8_t> data) {
    if (!file_.isOpen()) return false;
    const bool follows = offset == gatheredAt_ + static_cast<std::int64_t>(gathered_.size());
    if (!follows || gathered_.size() + data.size() > kGather) {
        if (!flush()) return false;
        gatheredAt_ = offset;
    }
    if (gathered_.capacity() < kGather) gathered_.reserve(kGather);
    gathered_.insert(gathered_.end(), data.begin(), data.end());
    return true;
}

bool ChunkWriter::flush() {
    if (!file_.isOpen()) return false;
    const bool written = gathered_.empty() || static_cast<bool>(file_.writeInPlace(
                                                  gatheredAt_, gathered_.data(), gathered_.size()));
    gatheredAt_ += static_cast<std::int64_t>(gathered_.size());
    gathered_.clear();
    return written;
}

bool ChunkWriter::close() {
    if (!file_.isOpen()) return true;
    const bool flushed = flush();
    file_.close();
    return flushed;
}

bool ChunkReader::open(const std::string& path) {
    file_ = files::OpenFile::forReading(path);
    read_.clear();
    readAt_ = 0;
    return file_.isOpen();
}

void ChunkReader::close() {
    file_.close();
    read_.clear();
}

std::optional<std::size_t> ChunkReader::readAt(std::int64_t offset, void* buffer,
                                               std::size_t size) {
    const auto end = readAt_ + static_cast<std::int64_t>(read_.size());
    if (offset < readAt_ || offset + static_cast<std::int64_t>(size) > end) {
        read_.resize(std::max(kGather, size));
        const std::optional<std::size_t> n = file_.readAt(offset, read_.data(), read_.size());
        if (!n) {
            read_.clear();
            return std::nullopt;
        }
        read_.resize(*n);
        readAt_ = offset;
    }
    const auto from = static_cast<std::size_t>(offset - readAt_);
    const std::size_t n = std::min(size, read_.size() - from);
    // At the end of the file nothing is left, and an empty buffer may have no storage at all.
    if (n > 0) std::memcpy(buffer, read_.data() + from, n);
    return n;
}

}  // namespace zelt::client
