#include "client/core/state/check_out_table.h"

#include <algorithm>

#include "common/platform/files.h"

namespace zelt::client {

namespace {

// Texts on disk and on the wire hold at most kMaxPath characters, so paths compare cut.
bool samePath(const std::string& a, const std::string& b) {
    return proto::capped(a, kMaxPath) == proto::capped(b, kMaxPath);
}

}  // namespace

void CheckOutTable::load(const std::string& file) {
    files::readRecord(file, bytes_.data(), bytes_.size());
}

bool CheckOutTable::save(const std::string& file) const {
    return static_cast<bool>(files::writeFileAtomic(file, bytes_.data(), bytes_.size()));
}

proto::ConstView CheckOutTable::record(int index) const {
    if (index < 0 || index >= size()) return proto::ConstView{};
    return proto::ConstView{bytes_}.sub(static_cast<std::size_t>(index) * CheckOutRecord::kSize,
                                        CheckOutRecord::kSize);
}

proto::MutableView CheckOutTable::mutableRecord(int index) {
    if (index < 0 || index >= size()) return proto::MutableView{};
    return proto::MutableView{bytes_}.sub(static_cast<std::size_t>(index) * CheckOutRecord::kSize,
                                          CheckOutRecord::kSize);
}

std::uint8_t CheckOutTable::state(int index) const {
    // Read in place: status lines and the window's buttons look at all 500 states at a time.
    if (index < 0 || index >= size()) return 0;
    return bytes_[static_cast<std::size_t>(index) * CheckOutRecord::kSize +
                  CheckOutRecord::state.offset];
}

std::string CheckOutTable::path(int index) const {
    return record(index).get(CheckOutRecord::path);
}

std::string CheckOutTable::workingPath(int index) const {
    return record(index).get(CheckOutRecord::workingPath);
}

void CheckOutTable::set(int index, std::uint8_t state, const std::string& path,
                        const std::string& workingPath) {
    proto::MutableView r = mutableRecord(index);
    r.clear(0, CheckOutRecord::kSize);
    r.set(CheckOutRecord::state, state);
    r.set(CheckOutRecord::path, path);
    r.set(CheckOutRecord::workingPath, workingPath);
}

void CheckOutTable::setFetched(int index, const std::string& workingPath) {
    proto::MutableView r = mutableRecord(index);
    r.set(CheckOutRecord::state, RecordFetched);
    r.set(CheckOutRecord::workingPath, workingPath);
}

void CheckOutTable::clear(int index) {
    mutableRecord(index).clear(0, CheckOutRecord::kSize);
}

int CheckOutTable::findInUse(const std::string& path) const {
    for (int i = 0; i < size(); ++i) {
        if (state(i) != RecordFree && samePath(this->path(i), path)) return i;
    }
    return kNone;
}

int CheckOutTable::findHeld(const std::string& path) const {
    for (int i = 0; i < size(); ++i) {
        const std::uint8_t s = state(i);
        if (s != RecordFree && s != RecordRefused && samePath(this->path(i), path)) return i;
    }
    return kNone;
}

int CheckOutTable::findByWorkingPath(const std::string& workingPath) const {
    for (int i = 0; i < size(); ++i) {
        if (state(i) == RecordFetched && this->workingPath(i) == workingPath) return i;
    }
    return kNone;
}

int CheckOutTable::markRequested(const std::string& path) {
    if (findInUse(path) != kNone) return kNone;
    for (int i = 0; i < size(); ++i) {
        if (state(i) == RecordFree) {
            set(i, RecordRequested, path, "");
            return i;
        }
    }
    return kNone;
}

int CheckOutTable::nextInState(int from, std::uint8_t wanted) const {
    for (int i = std::max(from, 0); i < size(); ++i) {
        if (state(i) == wanted) return i;
    }
    return kNone;
}

int CheckOutTable::nextHeld(int from) const {
    for (int i = std::max(from, 0); i < size(); ++i) {
        const std::uint8_t s = state(i);
        if (s == RecordCheckedOut || s == RecordFetched) return i;
    }
    return kNone;
}

int CheckOutTable::checkedOutCount() const {
    int count = 0;
    for (int i = nextHeld(0); i != kNone; i = nextHeld(i + 1)) ++count;
    return count;
}

}  // namespace zelt::client
