#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"
#include "server/core/session/sessions.h"
#include "server/core/store/store.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// Creating, editing, renaming, removing, listing and searching accounts, and the User List
// dialog that group administration opens. Every accepted change is on disk before the console
// says so; a change the disk does not take is taken back.
class AccountAdmin {
public:
    AccountAdmin(Console& console, AdminUi& ui, Store& store, Sessions& sessions)
        : console_(console), ui_(ui), store_(store), sessions_(sessions) {}

    // CRTACT: Account Properties for a free record.
    void createAccount();
    // EDTACT: Account Properties for the named account; nothing when there is none.
    void editAccount(std::string_view userName);
    // DSPACT.
    void listAccounts();
    // SRCHAC: the keywords are kept for the next search while the server runs.
    void searchAccounts();
    const std::string& searchKeywords() const { return keywords_; }
    // Cleared at every start-up.
    void resetSearchKeywords() { keywords_.clear(); }

    // The User List dialog: the chosen user names, or nothing when cancelled. An account
    // created from it is saved at once, without a console line.
    std::optional<std::vector<std::string>> chooseUsers();

private:
    class UserList;

    // Opens Account Properties for a free record and stores the account on OK. Returns the
    // record, or nothing when cancelled, refused or not saved.
    std::optional<std::size_t> createThroughDialog(bool fromUserList);
    void reportFull(bool fromUserList);
    // Stores an accepted edit of an account in use, with its line; false when not saved.
    bool storeEdit(std::size_t index, const AccountForm& form);
    void removeAccount(std::size_t index);
    // Closes every connection of the account, with one "disconnected" line each.
    void closeConnections(std::size_t index);

    Console& console_;
    AdminUi& ui_;
    Store& store_;
    Sessions& sessions_;
    std::string keywords_;
};

}  // namespace zelt::server
