#include "server/core/account_admin.h"

#include <cstdio>
#include <vector>

#include "common/scramble/scramble.h"
#include "server/core/names.h"
#include "server/core/server.h"

namespace zelt::server {

namespace {

constexpr std::string_view kEnterUserName = "Please enter the username.";
constexpr std::string_view kWhiteSpace = "You can't use white space characters in the username.";
constexpr std::string_view kIllegalCharacters =
    "You can't use the following characters for user name:\n\n\\ / : * ? \" < > | ;";
constexpr std::string_view kEnterPassword = "Please enter the password.";
constexpr std::string_view kPasswordTooLong = "Password is too long.";
constexpr std::string_view kPasswordMismatch = "Password does not match with re-type.";

std::string userLine(std::string_view userName, std::string_view rest) {
    return "User '" + std::string(userName) + "' " + std::string(rest);
}

std::optional<std::string> checkPassword(std::string_view password) {
    if (password.empty()) return std::string(kEnterPassword);
    if (password.size() > MaxPasswordLength) return std::string(kPasswordTooLong);
    return std::nullopt;
}

// A copy of one record's bytes, to put back when its change cannot be saved.
std::vector<std::uint8_t> snapshot(const AccountTable& accounts, std::size_t index) {
    const auto image =
        accounts.image().subspan(index * accounts.recordSize(), accounts.recordSize());
    return {image.begin(), image.end()};
}

void restore(AccountTable& accounts, std::size_t index, const std::vector<std::uint8_t>& bytes) {
    // The connections closed meanwhile stay closed, so the flag keeps its present value.
    auto r = accounts.record(index);
    const std::int32_t connected = r.get(AccountRecord::connected);
    r.set(proto::Bytes{0, accounts.recordSize()}, bytes);
    r.set(AccountRecord::connected, connected);
}

}  // namespace

// --- The dialogs' pure parts -------------------------------------------------------------

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
    if (userName.empty()) return std::string(kEnterUserName);
    if (hasWhiteSpace(userName)) return std::string(kWhiteSpace);
    for (std::size_t i = 0; i < accounts.capacity(); ++i) {
        if (i == editedIndex || !accounts.inUse(i)) continue;
        if (equalsIgnoringCase(accounts.record(i).get(AccountRecord::userName), userName)) {
            return userLine(userName, "is already exist.");
        }
    }
    if (isReservedUserName(userName)) {
        return userLine(userName, "is reserved for administration.");
    }
    if (userNameHasIllegalCharacters(userName)) return std::string(kIllegalCharacters);
    if (auto refusal = checkPassword(form.password)) return refusal;
    if (auto refusal = checkPassword(form.retype)) return refusal;
    if (form.password != form.retype) return std::string(kPasswordMismatch);
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
    char text[64];
    std::snprintf(text, sizeof text, "%d %s", static_cast<int>(count),
                  count < 2 ? "account found." : "accounts found.");
    return text;
}

// --- The flows ---------------------------------------------------------------------------

class AccountAdmin::UserList final : public UserListSource {
public:
    explicit UserList(AccountAdmin& admin) : admin_(admin) {}

    std::vector<UserListRow> rows() const override {
        std::vector<UserListRow> out;
        indices_.clear();
        const AccountTable& accounts = admin_.server_.accounts();
        for (std::size_t i = 0; i < accounts.capacity(); ++i) {
            if (!accounts.inUse(i)) continue;
            const auto r = accounts.record(i);
            std::string userName = r.get(AccountRecord::userName);
            if (userName.empty()) continue;
            out.push_back(
                {std::move(userName), r.get(AccountRecord::name), r.get(AccountRecord::dept)});
            indices_.push_back(i);
        }
        return out;
    }

    std::optional<std::size_t> create() override {
        const auto index = admin_.createThroughDialog(true);
        if (!index) return std::nullopt;
        rows();
        for (std::size_t row = 0; row < indices_.size(); ++row) {
            if (indices_[row] == *index) return row;
        }
        return std::nullopt;
    }

private:
    AccountAdmin& admin_;
    mutable std::vector<std::size_t> indices_;  // the record behind each row
};

void AccountAdmin::reportFull(bool fromUserList) {
    // The User List is a dialog of its own, so it answers with a message box.
    if (fromUserList) {
        server_.ui().showMessage(std::string(AccountFull));
    } else {
        server_.console().error(AccountFull);
    }
}

std::optional<std::size_t> AccountAdmin::createThroughDialog(bool fromUserList) {
    AccountTable& accounts = server_.accounts();
    const int free = accounts.findFree();
    if (free < 0) {
        reportFull(fromUserList);
        return std::nullopt;
    }
    std::size_t index = static_cast<std::size_t>(free);
    AccountForm form = accountFormFor(accounts, index);
    const FormCheck<AccountForm> check = [this, &index](const AccountForm& f) {
        return validateAccountForm(f, server_.accounts(), index);
    };
    if (!server_.ui().editAccount(form, check)) return std::nullopt;
    form.remove = false;
    form.disconnect = false;
    // The table is served while the dialog is open; the record found before may be taken.
    if (accounts.inUse(index)) {
        const int again = accounts.findFree();
        if (again < 0) {
            reportFull(fromUserList);
            return std::nullopt;
        }
        index = static_cast<std::size_t>(again);
    }
    if (auto refusal = check(form)) {
        server_.ui().showMessage(*refusal);
        return std::nullopt;
    }
    storeAccountForm(accounts, index, form, true);
    if (!server_.saveAccounts()) {
        // An account the next start would not know is not created.
        accounts.clear(index);
        return std::nullopt;
    }
    return index;
}

void AccountAdmin::createAccount() {
    if (!server_.loaded()) return;
    const auto index = createThroughDialog(false);
    if (!index) return;
    const auto r = server_.accounts().record(*index);
    const bool disabled = r.get(AccountRecord::state) == StateDisabled;
    server_.console().plain(userLine(r.get(AccountRecord::userName),
                                     disabled ? "created, disabled." : "created, enabled."));
}

int AccountAdmin::closeConnections(std::size_t index) {
    const std::string userName = server_.accounts().record(index).get(AccountRecord::userName);
    SlotTable& slots = server_.slots();
    int closed = 0;
    for (std::size_t i = 0; i < slots.capacity(); ++i) {
        if (slots[i].connection && slots[i].account == static_cast<int>(index)) {
            slots.free(static_cast<int>(i));
            server_.console().plain(userLine(userName, "disconnected."));
            ++closed;
        }
    }
    server_.accounts().record(index).set(AccountRecord::connected, 0);
    return closed;
}

void AccountAdmin::editAccount(std::string_view userName) {
    if (!server_.loaded()) return;
    AccountTable& accounts = server_.accounts();
    const int found = accounts.findByUserName(userName);
    if (found < 0) return;
    const std::size_t index = static_cast<std::size_t>(found);
    const std::int32_t stateBefore = accounts.record(index).get(AccountRecord::state);
    const std::vector<std::uint8_t> before = snapshot(accounts, index);

    AccountForm form = accountFormFor(accounts, index);
    const FormCheck<AccountForm> check = [this, index](const AccountForm& f) {
        return validateAccountForm(f, server_.accounts(), index);
    };
    if (!server_.ui().editAccount(form, check)) return;
    if (!accounts.inUse(index)) return;
    if (auto refusal = check(form)) {
        server_.ui().showMessage(*refusal);
        return;
    }
    if (form.remove) {
        removeAccount(index);
        return;
    }

    storeAccountForm(accounts, index, form, false);
    auto r = accounts.record(index);
    const std::int32_t state = r.get(AccountRecord::state);
    const std::string newName = r.get(AccountRecord::userName);
    std::string line;
    if (state == StateEnabled) {
        if (stateBefore == StateDisabled) {
            r.set(AccountRecord::connected, 0);
            line = userLine(newName, "updated, enabled.");
        } else {
            line = userLine(newName, "updated.");
        }
    } else if (stateBefore == StateEnabled && r.get(AccountRecord::connected) == 1) {
        closeConnections(index);
        line = userLine(newName, "updated, disconnected, disabled.");
    } else {
        line = userLine(newName, "updated, disabled.");
    }

    if (server_.saveAccounts()) {
        server_.console().plain(line);
    } else {
        restore(accounts, index, before);
    }
    // A cleared connected flag (the disconnect box, or any state change that cleared it) means
    // the account's connections go now; a disabled account keeps none either.
    const bool disabled = accounts.record(index).get(AccountRecord::state) == StateDisabled;
    if (accounts.record(index).get(AccountRecord::connected) == 0 || disabled) {
        closeConnections(index);
    }
}

void AccountAdmin::removeAccount(std::size_t index) {
    AccountTable& accounts = server_.accounts();
    GroupTable& groups = server_.groups();
    const std::string userName = accounts.record(index).get(AccountRecord::userName);
    const std::vector<std::uint8_t> before = snapshot(accounts, index);

    closeConnections(index);
    const std::vector<Dismissal> dismissals = dismiss(userName);
    accounts.clear(index);

    if (!server_.saveAccounts()) {
        // Nothing was written: the account and its memberships are as the files hold them.
        restore(accounts, index, before);
        for (const Dismissal& d : dismissals) {
            groups.record(d.group).set(GroupRecord::members.at(d.slot), d.member);
        }
        return;
    }
    server_.console().plain(userLine(userName, "removed."));
    if (dismissals.empty() || !server_.saveGroups()) return;
    for (const std::string& group : groupNames(dismissals)) {
        server_.console().plain(userLine(userName, "is dismissed from group '" + group + "'."));
    }
}

std::vector<AccountAdmin::Dismissal> AccountAdmin::dismiss(std::string_view userName) {
    std::vector<Dismissal> dismissals;
    if (userName.empty()) return dismissals;
    GroupTable& groups = server_.groups();
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.inUse(g)) continue;
        auto record = groups.record(g);
        for (std::size_t k = 0; k < GroupRecord::members.count; ++k) {
            const Text slot = GroupRecord::members.at(k);
            std::string member = record.get(slot);
            // Letter case is ignored as everywhere else a member is looked up; a slot left
            // behind would hand its groups to the next account of that name.
            if (!member.empty() && equalsIgnoringCase(member, userName)) {
                record.clear(slot.offset, slot.width);
                dismissals.push_back({g, k, std::move(member)});
            }
        }
    }
    return dismissals;
}

std::vector<std::string> AccountAdmin::groupNames(const std::vector<Dismissal>& dismissals) const {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < dismissals.size(); ++i) {
        if (i > 0 && dismissals[i].group == dismissals[i - 1].group) continue;
        names.push_back(server_.groups().record(dismissals[i].group).get(GroupRecord::name));
    }
    return names;
}

std::vector<std::string> AccountAdmin::dismissFromGroups(std::string_view userName) {
    if (!server_.loaded()) return {};
    return groupNames(dismiss(userName));
}

void AccountAdmin::listAccounts() {
    if (!server_.loaded()) return;
    Console& console = server_.console();
    const AccountTable& accounts = server_.accounts();
    console.separator();
    console.plain("Account list:");
    for (std::size_t i = 0; i < accounts.capacity(); ++i) {
        if (accounts.inUse(i))
            console.function(accounts.record(i).get(AccountRecord::userName), "EDTACT");
    }
}

void AccountAdmin::searchAccounts() {
    if (!server_.loaded()) return;
    std::string keywords = keywords_;
    if (!server_.ui().searchAccount(keywords)) return;
    keywords_ = std::string(proto::capped(keywords, MaxSearchKeywords));
    Console& console = server_.console();
    console.plain("- - - Search result - - -");
    const std::vector<std::size_t> found = findAccounts(server_.accounts(), keywords_);
    for (const std::size_t i : found) {
        console.function(server_.accounts().record(i).get(AccountRecord::userName), "EDTACT");
    }
    console.plain(searchCountText(found.size()));
}

std::optional<std::vector<std::string>> AccountAdmin::chooseUsers() {
    if (!server_.loaded()) return std::nullopt;
    UserList list(*this);
    auto chosen = server_.ui().chooseUsers(list);
    if (!chosen) return std::nullopt;
    for (std::string& name : *chosen) name = std::string(proto::capped(name, MaxUserNameLength));
    return chosen;
}

}  // namespace zelt::server
