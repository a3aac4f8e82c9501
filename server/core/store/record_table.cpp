#include "server/core/store/record_table.h"

#include <algorithm>

#include "common/platform/files.h"

namespace zelt::server {

RecordTable::RecordTable(std::size_t recordSize, std::size_t capacity)
    : recordSize_(recordSize), capacity_(capacity), bytes_(recordSize * capacity, 0) {}

proto::MutableView RecordTable::record(std::size_t index) {
    if (index >= capacity_) return proto::MutableView{};
    return proto::MutableView{std::span<std::uint8_t>(bytes_).subspan(index * recordSize_,
                                                                      recordSize_)};
}

proto::ConstView RecordTable::record(std::size_t index) const {
    if (index >= capacity_) return proto::ConstView{};
    return proto::ConstView{
        std::span<const std::uint8_t>(bytes_).subspan(index * recordSize_, recordSize_)};
}

void RecordTable::clear(std::size_t index) {
    if (index >= capacity_) return;
    std::fill_n(bytes_.begin() + static_cast<std::ptrdiff_t>(index * recordSize_), recordSize_, 0);
}

void RecordTable::clearAll() { std::fill(bytes_.begin(), bytes_.end(), 0); }

std::size_t RecordTable::load(const std::string& path) {
    return files::readRecord(path, bytes_.data(), bytes_.size());
}

bool RecordTable::save(const std::string& path, bool ownerOnly,
                       const files::WriteFn& writer) const {
    files::AtomicWriteOptions options;
    options.ownerOnly = ownerOnly;
    options.writer = writer;
    return static_cast<bool>(files::writeFileAtomic(path, bytes_, options));
}

}  // namespace zelt::server
