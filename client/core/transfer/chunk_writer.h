#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/platform/files.h"

namespace zelt::client {

// The local file a download is written into, chunk by chunk. A chunk is a kilobyte: writing
// each one by itself would cost a system call per kilobyte, so chunks that follow one another
// are gathered and written together once kGather bytes have come; a chunk asked again after a
// damaged answer lands elsewhere and sends what was gathered before it. Whatever is gathered
// reaches the file by flush() or close(), which say whether it did; a writer dropped without
// them loses it, as a download given up has no use for it.
class ChunkWriter {
public:
    static constexpr std::size_t kGather = 256 * 1024;

    // Makes the file afresh (an older one of that name goes first); false when it cannot be.
    bool open(const std::string& path);
    bool isOpen() const { return file_.isOpen(); }
    // Takes the bytes at offset; false when writing what was gathered failed.
    bool write(std::int64_t offset, std::span<const std::uint8_t> data);
    bool flush();
    // Flushes and closes; false when the last bytes could not be written.
    bool close();

private:
    files::OpenFile file_;
    std::vector<std::uint8_t> gathered_;
    std::int64_t gatheredAt_ = 0;
};

// The local file an upload is read from, chunk by chunk: kGather bytes are read at once and
// the chunks handed out from them, so that an upload costs a read a quarter megabyte, not one a
// kilobyte. A chunk asked again lies behind what was read and is read afresh.
class ChunkReader {
public:
    static constexpr std::size_t kGather = ChunkWriter::kGather;

    bool open(const std::string& path);
    bool isOpen() const { return file_.isOpen(); }
    void close();
    // Up to size bytes from offset (fewer at the end of the file), or nothing when reading
    // fails.
    std::optional<std::size_t> readAt(std::int64_t offset, void* buffer, std::size_t size);

private:
    files::OpenFile file_;
    std::vector<std::uint8_t> read_;
    std::int64_t readAt_ = 0;
};

}  // namespace zelt::client
