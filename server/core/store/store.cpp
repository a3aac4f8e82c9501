#include "server/core/store/store.h"

#include <new>

#include "common/platform/files.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

bool Store::load() {
    try {
        groups_ = std::make_unique<GroupTable>();
    } catch (const std::bad_alloc&) {
        console_.error(text::GroupAllocationFailed);
        return false;
    }
    groups_->load(paths_.groups);
    try {
        accounts_ = std::make_unique<AccountTable>();
    } catch (const std::bad_alloc&) {
        groups_.reset();
        console_.error(text::AccountAllocationFailed);
        return false;
    }
    // Loosened by hand or by a restore, the file would stay readable to others until the first
    // save; the passwords in it are only scrambled.
    if (files::restrictToOwner(paths_.accounts)) console_.important(text::AccountsTightened);
    accounts_->load(paths_.accounts);
    return true;
}

bool Store::saveAccounts() {
    if (accounts_->save(paths_.accounts, tableWriter_)) return true;
    console_.error(text::AccountsNotSaved);
    return false;
}

bool Store::saveGroups() {
    if (groups_->save(paths_.groups, tableWriter_)) return true;
    console_.error(text::GroupsNotSaved);
    return false;
}

}  // namespace zelt::server
