#pragma once

#include <string>
#include <string_view>

#include "server/core/store/record_table.h"

namespace zelt::server {

// The account table, the image of Accounts.zelt.
class AccountTable : public RecordTable {
public:
    AccountTable() : RecordTable(AccountRecord::kSize, MaxAccounts) {}

    // Loads Accounts.zelt and marks every account not connected.
    std::size_t load(const std::string& path);
    // Saved owner-only: the file holds reversibly scrambled passwords.
    bool save(const std::string& path, const files::WriteFn& writer = {}) const {
        return RecordTable::save(path, true, writer);
    }

    bool inUse(std::size_t index) const;
    // Index of the first free record, or -1.
    int findFree() const;
    // Index of the first record in use whose non-empty user name equals name without regard
    // to letter case (only the first 50 characters of name count), or -1.
    int findByUserName(std::string_view name) const;
};

}  // namespace zelt::server
