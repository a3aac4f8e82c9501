#include "server/core/admin/account_form.h"

#include "common/scramble/scramble.h"
#include "server/core/store/names.h"

namespace zelt::server {

namespace {

std::optional<std::string> checkPassword(std::string_view password) {
    if (password.empty()) return std::string(text::EnterPassword);
    if (password.size() > MaxPasswordLength) return std::string(text::PasswordTooLong);
    return std::nullopt;
}

}  // namespace

AccountForm accountFormFor(const AccountTable& accounts, std::size_t index) {
    AccountForm form;
    if (!accounts.inUse(index)) return form;
    const auto r = accounts.record(index);
    form.userName = r.get(AccountRecord::userName);
    form.password = scramble::unscramble(r.get(AccountRecord::password));
    form.retype = form.password;
    form.name = r.get(AccountRecord::name);
    form.dept = r.get(AccountRecord::dept);
    form.email = r.get(AccountRecord::email);
    form.phone = r.get(AccountRecord::phone);
    form.misc = r.get(AccountRecord::misc);
    form.disable = r.get(AccountRecord::state) != StateEnabled;
    form.removeEnabled = true;
    form.disconnectEnabled = r.get(AccountRecord::connected) == 1;
    return form;
}

std::optional<std::string> validateAccountForm(const AccountForm& form,
                                               const AccountTable& accounts,
                                               std::size_t editedIndex) {
    const bool existing = accounts.inUse(editedIndex);
    if (existing && form.remove) return std::nullopt;

    // The edit holds at most 50 characters; what is checked is what will be stored.
    const std::string_view userName = proto::capped(form.userName, MaxUserNameLength);
    if (userName.empty()) return std::string(text::EnterUserName);
    if (hasWhiteSpace(userName)) return std::string(text::WhiteSpaceInUserName);
    for (std::size_t i = 0; i < accounts.capacity(); ++i) {
        if (i == editedIndex || !accounts.inUse(i)) continue;
        if (equalsIgnoringCase(accounts.record(i).get(AccountRecord::userName), userName)) {
            return text::format(text::UserExists, userName);
        }
    }
    if (isReservedUserName(userName)) return text::format(text::UserReserved, userName);
    if (userNameHasIllegalCharacters(userName)) return std::string(text::UserNameCharacters);
    if (auto refusal = checkPassword(form.password)) return refusal;
    if (auto refusal = checkPassword(form.retype)) return refusal;
    if (form.password != form.retype) return std::string(text::PasswordMismatch);
    return std::nullopt;
}

void storeAccountForm(AccountTable& accounts, std::size_t index, const AccountForm& form,
                      bool newAccount) {
    auto r = accounts.record(index);
    r.set(AccountRecord::userName, proto::capped(form.userName, MaxUserNameLength));
    r.set(AccountRecord::password,
          scramble::scramble(proto::capped(form.password, MaxPasswordLength)));
    r.set(AccountRecord::name, form.name);
    r.set(AccountRecord::dept, form.dept);
    r.set(AccountRecord::email, form.email);
    r.set(AccountRecord::phone, form.phone);
    r.set(AccountRecord::misc, form.misc);
    r.set(AccountRecord::state, form.disable ? StateDisabled : StateEnabled);
    if (newAccount) {
        r.set(AccountRecord::connected, 0);
    } else if (form.disconnect && r.get(AccountRecord::connected) == 1) {
        r.set(AccountRecord::connected, 0);
    }
}

std::vector<std::size_t> findAccounts(const AccountTable& accounts, std::string_view keywords) {
    std::vector<std::size_t> found;
    if (keywords.empty()) return found;
    const std::string wanted = lowerAscii(keywords);
    const Text fields[] = {AccountRecord::userName, AccountRecord::name,  AccountRecord::dept,
                           AccountRecord::email,    AccountRecord::phone, AccountRecord::misc};
    for (std::size_t i = 0; i < accounts.capacity(); ++i) {
        if (!accounts.inUse(i)) continue;
        const auto r = accounts.record(i);
        for (const Text& field : fields) {
            if (lowerAscii(r.get(field)).find(wanted) != std::string::npos) {
                found.push_back(i);
                break;
            }
        }
    }
    return found;
}

std::string searchCountText(std::size_t count) {
    return text::format(text::AccountsFound, static_cast<int>(count),
                        count < 2 ? text::OneAccountFound : text::ManyAccountsFound);
}

}  // namespace zelt::server
