#include "server/core/store/group_journal.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace zelt::server {

namespace {

constexpr std::uint8_t kMagic[4] = {'Z', 'G', 'J', '1'};
constexpr std::size_t kRecordHead = 6;     // offset (4), size (2)
constexpr std::size_t kRecordTail = 4;     // checksum
constexpr std::string_view kSegmentInfix = ".journal.";

void putLe(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint64_t getLe(const std::uint8_t* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t{in[i]} << (8 * i);
    return value;
}

std::string folderOf(const std::string& path) {
    const std::string base = files::baseName(path);
    const std::string folder = path.substr(0, path.size() - base.size());
    return folder.empty() ? "." : folder;
}

std::vector<std::uint8_t> readWhole(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    files::OpenFile file = files::OpenFile::forReading(path);
    if (!file.isOpen()) return bytes;
    std::uint8_t buffer[65536];
    for (;;) {
        const auto n = file.readAt(static_cast<std::int64_t>(bytes.size()), buffer, sizeof buffer);
        if (!n || *n == 0) return bytes;
        bytes.insert(bytes.end(), buffer, buffer + *n);
    }
}

}  // namespace

std::uint64_t GroupJournal::fingerprint(std::span<const std::uint8_t> bytes) {
    // A multiply-rotate mix over 8-byte words: fast enough for the whole table at every
    // rewrite, and no simple change of a few bytes leaves it the same.
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t w;
        std::memcpy(&w, bytes.data() + i, 8);
        h ^= w * 0xC2B2AE3D27D4EB4FULL;
        h = ((h << 31) | (h >> 33)) * 0x9E3779B185EBCA87ULL;
    }
    for (; i < bytes.size(); ++i) h = (h ^ bytes[i]) * 0x100000001B3ULL;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ULL;
    return h ^ (h >> 32);
}

GroupJournal::~GroupJournal() {
    waitForRewrite();
}

std::string GroupJournal::segmentPath(std::uint64_t number) const {
    return tablePath_ + std::string(kSegmentInfix) + std::to_string(number);
}

std::vector<std::pair<std::uint64_t, std::string>> GroupJournal::segments(const std::string& table) {
    const std::string folder = folderOf(table);
    const std::string prefix = files::baseName(table) + std::string(kSegmentInfix);
    std::vector<std::pair<std::uint64_t, std::string>> found;
    for (const std::string& name : files::listFiles(folder)) {
        if (name.rfind(prefix, 0) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.empty() || digits.size() > 18 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        found.emplace_back(std::stoull(digits), files::join(folder, name));
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool GroupJournal::hasFiles(const std::string& tablePath) {
    return !segments(tablePath).empty();
}

std::size_t GroupJournal::replay(const std::string& tablePath, std::span<std::uint8_t> image) {
    std::size_t applied = 0;
    for (const auto& [number, path] : segments(tablePath)) {
        const std::vector<std::uint8_t> bytes = readWhole(path);
        if (bytes.size() < kHeaderSize || !std::equal(kMagic, kMagic + 4, bytes.begin())) continue;
        // A segment the table already holds follows from an older image.
        if (getLe(bytes.data() + 4, 8) != fingerprint(image)) continue;
        ++applied;
        std::size_t at = kHeaderSize;
        while (at + kRecordHead + kRecordTail <= bytes.size()) {
            const std::uint64_t offset = getLe(bytes.data() + at, 4);
            const std::size_t size = getLe(bytes.data() + at + 4, 2);
            const std::size_t end = at + kRecordHead + size;
            if (end + kRecordTail > bytes.size()) break;
            const std::span<const std::uint8_t> record(bytes.data() + at, kRecordHead + size);
            if (getLe(bytes.data() + end, 4) != (fingerprint(record) & 0xFFFFFFFFu)) break;
            if (offset + size > image.size()) break;
            std::memcpy(image.data() + offset, bytes.data() + at + kRecordHead, size);
            at = end + kRecordTail;
        }
    }
    return applied;
}

void GroupJournal::note(std::span<const std::uint8_t> image, std::size_t offset,
                        std::size_t size) {
    while (size > 0) {
        const std::size_t n = std::min<std::size_t>(size, 0xFFFF);
        const std::size_t start = pending_.size();
        putLe(pending_, offset, 4);
        putLe(pending_, n, 2);
        pending_.insert(pending_.end(), image.begin() + static_cast<std::ptrdiff_t>(offset),
                        image.begin() + static_cast<std::ptrdiff_t>(offset + n));
        const std::span<const std::uint8_t> record(pending_.data() + start, kRecordHead + n);
        putLe(pending_, fingerprint(record) & 0xFFFFFFFFu, 4);
        offset += n;
        size -= n;
    }
}

files::Status GroupJournal::openSegment() {
    file_ = files::OpenFile::forWriting(segmentPath(segment_), true);
    if (!file_.isOpen()) return files::Status::fromErrno();
    std::vector<std::uint8_t> header(kMagic, kMagic + 4);
    putLe(header, base_, 8);
    size_ = 0;
    if (auto s = file_.writeAt(0, header.data(), header.size()); !s) return s;
    if (auto s = file_.sync(); !s) return s;
    // The segment must be found after a crash, or the records in it are lost.
    if (auto s = files::syncFolder(folderOf(tablePath_)); !s) return s;
    size_ = header.size();
    bytesWritten_ += header.size();
    return files::Status::done();
}

files::Status GroupJournal::commit() {
    if (pending_.empty()) return files::Status::done();
    if (broken_) return files::Status::failed(EIO);
    files::Status status = files::Status::done();
    if (!file_.isOpen()) status = openSegment();
    if (status) status = file_.writeAt(static_cast<std::int64_t>(size_), pending_.data(),
                                       pending_.size());
    if (status) status = file_.sync();
    if (!status) {
        // Whole records may have reached the file before the failure: cut them off, or a
        // change that is now refused and taken back would come back at the next start. Even
        // so, only a whole save makes the journal trustworthy again.
        if (file_.isOpen() && file_.writeAt(static_cast<std::int64_t>(size_), nullptr, 0)) {
            (void)file_.sync();
        }
        broken_ = true;
        pending_.clear();
        return status;
    }
    size_ += pending_.size();
    bytesWritten_ += pending_.size();
    pending_.clear();
    return status;
}

void GroupJournal::waitForRewrite() {
    if (writer_.joinable()) writer_.join();
}

void GroupJournal::deleteSegmentsBelow(std::uint64_t number) {
    for (const auto& [n, path] : segments(tablePath_)) {
        if (n < number) files::discardFile(path);
    }
}

void GroupJournal::startOver() {
    waitForRewrite();
    file_.close();
    pending_.clear();
    broken_ = false;
    // After every segment there is, so that none of them is ever written again.
    for (const auto& [n, path] : segments(tablePath_)) segment_ = std::max(segment_, n);
    ++segment_;
}

void GroupJournal::follow(std::span<const std::uint8_t> image) {
    startOver();
    base_ = fingerprint(image);
}

void GroupJournal::tableSaved(std::span<const std::uint8_t> image) {
    follow(image);
    deleteSegmentsBelow(segment_);
}

void GroupJournal::discardAll() {
    startOver();
    deleteSegmentsBelow(segment_);
}

bool GroupJournal::maintain(std::span<const std::uint8_t> image, bool whenAnything,
                            const files::WriteFn& writer) {
    bool ok = true;
    if (writer_.joinable()) {
        if (!writerDone_.load(std::memory_order_acquire)) return true;
        writer_.join();
        ok = writerOk_;
        // Groups.zelt holds every segment before the one begun with the rewrite.
        if (ok) deleteSegmentsBelow(rewriteSegment_);
    }
    const std::uint64_t records = size_ > kHeaderSize ? size_ - kHeaderSize : 0;
    if (broken_ || !file_.isOpen() || records == 0 ||
        (records < RewriteAfterBytes && !whenAnything)) {
        return ok;
    }
    // The image as it is now, and a new segment for what changes from here on.
    auto snapshot = std::make_shared<std::vector<std::uint8_t>>(image.begin(), image.end());
    file_.close();
    base_ = fingerprint(*snapshot);
    rewriteSegment_ = ++segment_;
    writerDone_.store(false, std::memory_order_relaxed);
    files::AtomicWriteOptions options;
    options.writer = writer;
    writer_ = std::thread([this, snapshot, options] {
        writerOk_ = static_cast<bool>(files::writeFileAtomic(tablePath_, *snapshot, options));
        writerDone_.store(true, std::memory_order_release);
    });
    return ok;
}

}  // namespace zelt::server
