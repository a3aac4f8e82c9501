#pragma once

#include <memory>

#include "common/console/console.h"
#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"
#include "server/core/store/settings_files.h"

namespace zelt::server {

// The account and group tables from the moment the start-up reads them, and their whole-file
// saves. A save that fails is reported on the console and returned, so that the change it
// carried can be taken back before anyone is told it was made.
class Store {
public:
    // tableWriter writes the bytes of both table files (empty: write(2)).
    Store(Console& console, const ServerPaths& paths, files::WriteFn tableWriter = {})
        : console_(console), paths_(paths), tableWriter_(std::move(tableWriter)) {}

    // Allocates both tables and reads Accounts.zelt and Groups.zelt into them (every account not
    // connected). When memory runs out, an error line says which table; nothing is loaded then.
    bool load();
    bool loaded() const { return accounts_ != nullptr && groups_ != nullptr; }

    AccountTable& accounts() { return *accounts_; }
    GroupTable& groups() { return *groups_; }
    const AccountTable& accounts() const { return *accounts_; }
    const GroupTable& groups() const { return *groups_; }

    bool saveAccounts();
    bool saveGroups();

private:
    Console& console_;
    const ServerPaths& paths_;
    files::WriteFn tableWriter_;
    std::unique_ptr<AccountTable> accounts_;
    std::unique_ptr<GroupTable> groups_;
};

}  // namespace zelt::server
