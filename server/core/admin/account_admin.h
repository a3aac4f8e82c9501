#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"
#include "server/core/admin/outcome.h"
#include "server/core/session/sessions.h"
#include "server/core/store/store.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// Creating, editing, renaming, removing, listing and searching accounts, and the User List
// dialog that group administration opens. Every accepted change is on disk before the console
// says so; a change the disk does not take is taken back. Each dialog flow has a twin that takes
// the dialog's answer ready-made, for the admin command: both end in the same checks and stores.
class AccountAdmin {
public:
    AccountAdmin(Console& console, AdminUi& ui, Store& store, Sessions& sessions)
        : console_(console), ui_(ui), store_(store), sessions_(sessions) {}

    // CRTACT: Account Properties for a free record.
    void createAccount();
    // CRTACT answered with form: what OK does, into the first free record.
    Outcome createAccount(const AccountForm& form);
    // EDTACT: Account Properties for the named account; nothing when there is none.
    void editAccount(std::string_view userName);
    // What OK on the Account Properties of the account in record index does with form: the
    // checks, then the removal or the update, the connections closed that the form closes, the
    // table saved and the lines.
    Outcome acceptEdit(std::size_t index, const AccountForm& form);
    // DSPACT.
    void listAccounts();
    // SRCHAC: the keywords are kept for the next search while the server runs.
    void searchAccounts();
    // SRCHAC answered with keywords (at most 30 characters are kept).
    void searchAccounts(std::string_view keywords);
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
    // Checks an accepted form and stores it as a new account in the first free record (set in
    // index), saved.
    Outcome storeNewAccount(AccountForm form, bool fromUserList, std::size_t& index);
    Outcome reportFull(bool fromUserList);
    // "User '%s' created, ..." for the account in record index.
    void announceCreated(std::size_t index);
    // Stores a checked edit of an account in use, with its line.
    Outcome storeEdit(std::size_t index, const AccountForm& form);
    Outcome removeAccount(std::size_t index);
    // Closes every connection of the account, with one "disconnected" line each.
    void closeConnections(std::size_t index);

    Console& console_;
    AdminUi& ui_;
    Store& store_;
    Sessions& sessions_;
    std::string keywords_;
    // How many accounts each record has been given. A dialog opened on one account stores
    // nothing once the record holds another: the admin command can remove an account and create
    // the next one in its record while the dialog is open.
    std::array<std::uint64_t, MaxAccounts> made_{};
};

}  // namespace zelt::server
