#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/core/account_dialogs.h"
#include "server/core/store.h"

namespace zelt::server {

class Server;

inline constexpr std::string_view AccountFull =
    "Account full. You already exceed the account capacity.";
inline constexpr std::size_t MaxSearchKeywords = 30;

// --- The dialogs' pure parts -------------------------------------------------------------

// Account Properties as it opens for a record: empty for a free record, filled (password
// unscrambled) for an account in use.
AccountForm accountFormFor(const AccountTable& accounts, std::size_t index);
// The checks of Account Properties on OK, in order: the first refusal's message-box text, or
// nothing. editedIndex is the record the dialog fills; it never counts as a duplicate of itself.
std::optional<std::string> validateAccountForm(const AccountForm& form,
                                               const AccountTable& accounts,
                                               std::size_t editedIndex);
// Writes an accepted form into the record (not the removal, which the caller carries out).
// A new account starts not connected; an existing one loses its connected flag when
// disconnect was asked for while it was connected.
void storeAccountForm(AccountTable& accounts, std::size_t index, const AccountForm& form,
                      bool newAccount);
// The accounts in use, in table order, whose user name, name, dept, email, phone or misc holds
// the keywords, letter case ignored. Empty keywords find nothing.
std::vector<std::size_t> findAccounts(const AccountTable& accounts, std::string_view keywords);
// "1 account found.", "2 accounts found.", "0 account found.".
std::string searchCountText(std::size_t count);

// --- The flows ---------------------------------------------------------------------------

// Creating, editing, removing, listing and searching accounts, and the User List dialog that
// group administration opens. Every accepted change is on disk before the console says so.
class AccountAdmin {
public:
    explicit AccountAdmin(Server& server) : server_(server) {}

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

    // Empties every member slot of a group in use that holds userName (letter case ignored).
    // Returns the names of the groups, in table order; nothing is saved here.
    std::vector<std::string> dismissFromGroups(std::string_view userName);

private:
    class UserList;
    struct Dismissal {
        std::size_t group;
        std::size_t slot;
        std::string member;
    };

    // Opens Account Properties for a free record and stores the account on OK. Returns the
    // record, or nothing when cancelled, refused or not saved.
    std::optional<std::size_t> createThroughDialog(bool fromUserList);
    void reportFull(bool fromUserList);
    void removeAccount(std::size_t index);
    std::vector<Dismissal> dismiss(std::string_view userName);
    std::vector<std::string> groupNames(const std::vector<Dismissal>& dismissals) const;
    // Closes every connection of the account, with one "disconnected" line each.
    int closeConnections(std::size_t index);

    Server& server_;
    std::string keywords_;
};

}  // namespace zelt::server
