#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/core/store/account_table.h"
#include "server/core/ui/account_dialogs.h"

// What the Account Properties and Search Account dialogs edit and check, with no window
// behind them.
namespace zelt::server {

inline constexpr std::size_t MaxSearchKeywords = 30;

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

}  // namespace zelt::server
