#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/platform/files.h"
#include "server/core/store/records.h"

namespace zelt::server {

// A fixed table of fixed records, allocated once and zeroed; its memory is its file image.
class RecordTable {
public:
    RecordTable(std::size_t recordSize, std::size_t capacity);

    std::size_t capacity() const { return capacity_; }
    std::size_t recordSize() const { return recordSize_; }
    proto::MutableView record(std::size_t index);
    proto::ConstView record(std::size_t index) const;
    // Zeroes one record: that is how a record is freed.
    void clear(std::size_t index);
    void clearAll();

    std::span<const std::uint8_t> image() const { return bytes_; }
    std::span<std::uint8_t> mutableImage() { return bytes_; }
    // Reads the file into the zeroed table; a missing or short file leaves the rest free.
    // Returns the number of bytes read.
    std::size_t load(const std::string& path);
    // writer: how the bytes are written (empty: write(2)).
    bool save(const std::string& path, bool ownerOnly, const files::WriteFn& writer = {}) const;

private:
    std::size_t recordSize_;
    std::size_t capacity_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace zelt::server
