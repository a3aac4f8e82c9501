#include "client/core/transfer/chunk_writer.h"

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

}  // namespace zelt::client
