#include "server/core/store/account_table.h"

#include "server/core/store/names.h"

namespace zelt::server {

std::size_t AccountTable::load(const std::string& path) {
    const std::size_t n = RecordTable::load(path);
    for (std::size_t i = 0; i < capacity(); ++i) record(i).set(AccountRecord::connected, 0);
    return n;
}

bool AccountTable::inUse(std::size_t index) const {
    return record(index).get(AccountRecord::state) != StateFree;
}

int AccountTable::findFree() const {
    for (std::size_t i = 0; i < capacity(); ++i) {
        if (!inUse(i)) return static_cast<int>(i);
    }
    return -1;
}

int AccountTable::findByUserName(std::string_view name) const {
    const std::string_view wanted = proto::capped(name, MaxUserNameLength);
    for (std::size_t i = 0; i < capacity(); ++i) {
        if (!inUse(i)) continue;
        const std::string stored = record(i).get(AccountRecord::userName);
        if (!stored.empty() && equalsIgnoringCase(stored, wanted)) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace zelt::server
