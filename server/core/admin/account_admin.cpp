#include "server/core/admin/account_admin.h"

#include <vector>

#include "server/core/admin/account_form.h"
#include "server/core/store/names.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {

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

// The names of the groups the changes were made in, each once, in table order.
std::vector<std::string> groupNames(const GroupTable& groups,
                                    const std::vector<GroupTextChange>& changes) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (i > 0 && changes[i].group == changes[i - 1].group) continue;
        names.push_back(groups.record(changes[i].group).get(GroupRecord::name));
    }
    return names;
}

}  // namespace

class AccountAdmin::UserList final : public UserListSource {
public:
    explicit UserList(AccountAdmin& admin) : admin_(admin) {}

    std::vector<UserListRow> rows() const override {
        std::vector<UserListRow> out;
        indices_.clear();
        const AccountTable& accounts = admin_.store_.accounts();
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

Outcome AccountAdmin::reportFull(bool fromUserList) {
    // The User List is a dialog of its own, so it answers with a message box, an information
    // one: nothing typed was wrong.
    if (fromUserList) {
        ui_.showInformation(std::string(text::AccountFull));
    } else {
        console_.error(text::AccountFull);
    }
    return Outcome::failed(std::string(text::AccountFull));
}

std::optional<std::size_t> AccountAdmin::createThroughDialog(bool fromUserList) {
    AccountTable& accounts = store_.accounts();
    const int free = accounts.findFree();
    if (free < 0) {
        reportFull(fromUserList);
        return std::nullopt;
    }
    const auto index = static_cast<std::size_t>(free);
    AccountForm form = accountFormFor(accounts, index);
    const ui::FormCheck<AccountForm> check = [&accounts, index](const AccountForm& f) {
        return validateAccountForm(f, accounts, index);
    };
    if (!ui_.editAccount(form, check)) return std::nullopt;
    std::size_t stored = index;
    const Outcome outcome = storeNewAccount(form, fromUserList, stored);
    if (outcome.needsMessageBox()) ui_.showMessage(outcome.text);
    if (!outcome) return std::nullopt;
    return stored;
}

Outcome AccountAdmin::storeNewAccount(AccountForm form, bool fromUserList, std::size_t& index) {
    AccountTable& accounts = store_.accounts();
    form.remove = false;
    form.disconnect = false;
    // The table is served while the dialog is open: the record found before may be taken.
    if (index >= accounts.capacity() || accounts.inUse(index)) {
        const int again = accounts.findFree();
        if (again < 0) return reportFull(fromUserList);
        index = static_cast<std::size_t>(again);
    }
    if (auto refusal = validateAccountForm(form, accounts, index)) {
        return Outcome::refused(*refusal);
    }
    storeAccountForm(accounts, index, form, true);
    if (!store_.saveAccounts()) {
        // An account the next start would not know is not created.
        accounts.clear(index);
        return Outcome::failed(std::string(text::AccountsNotSaved));
    }
    ++made_[index];
    return Outcome::done();
}

void AccountAdmin::announceCreated(std::size_t index) {
    const auto r = store_.accounts().record(index);
    const bool disabled = r.get(AccountRecord::state) == StateDisabled;
    console_.plain(text::format(disabled ? text::UserCreatedDisabled : text::UserCreatedEnabled,
                                r.get(AccountRecord::userName)));
}

void AccountAdmin::createAccount() {
    if (!store_.loaded()) return;
    const auto index = createThroughDialog(false);
    if (index) announceCreated(*index);
}

Outcome AccountAdmin::createAccount(const AccountForm& form) {
    // Past the end of the table: the first free record, or the table is full.
    std::size_t index = store_.accounts().capacity();
    Outcome outcome = storeNewAccount(form, false, index);
    if (outcome) announceCreated(index);
    return outcome;
}

void AccountAdmin::closeConnections(std::size_t index) {
    sessions_.disconnectAccount(static_cast<int>(index), true);
    store_.accounts().record(index).set(AccountRecord::connected, 0);
}

void AccountAdmin::editAccount(std::string_view userName) {
    if (!store_.loaded()) return;
    AccountTable& accounts = store_.accounts();
    const int found = accounts.findByUserName(userName);
    if (found < 0) return;
    const std::size_t index = static_cast<std::size_t>(found);

    AccountForm form = accountFormFor(accounts, index);
    const ui::FormCheck<AccountForm> check = [&accounts, index](const AccountForm& f) {
        return validateAccountForm(f, accounts, index);
    };
    const std::uint64_t opened = made_[index];
    if (!ui_.editAccount(form, check)) return;
    // Removed while the dialog was open (and its record perhaps given to another account):
    // there is nothing left to edit.
    if (!accounts.inUse(index) || made_[index] != opened) return;
    const Outcome outcome = acceptEdit(index, form);
    if (outcome.needsMessageBox()) ui_.showMessage(outcome.text);
}

Outcome AccountAdmin::acceptEdit(std::size_t index, const AccountForm& form) {
    AccountTable& accounts = store_.accounts();
    if (auto refusal = validateAccountForm(form, accounts, index)) {
        return Outcome::refused(*refusal);
    }
    if (form.remove) return removeAccount(index);
    Outcome outcome = storeEdit(index, form);
    if (!outcome) return outcome;
    // A cleared connected flag (the disconnect box, or any state change that cleared it) means
    // the account's connections go now; a disabled account keeps none either.
    const auto r = accounts.record(index);
    if (r.get(AccountRecord::connected) == 0 || r.get(AccountRecord::state) == StateDisabled) {
        closeConnections(index);
    }
    return outcome;
}

Outcome AccountAdmin::storeEdit(std::size_t index, const AccountForm& form) {
    AccountTable& accounts = store_.accounts();
    GroupTable& groups = store_.groups();
    auto r = accounts.record(index);
    const std::int32_t stateBefore = r.get(AccountRecord::state);
    const std::string oldName = r.get(AccountRecord::userName);
    const std::vector<std::uint8_t> before = snapshot(accounts, index);

    storeAccountForm(accounts, index, form, false);
    const std::int32_t state = r.get(AccountRecord::state);
    const std::string newName = r.get(AccountRecord::userName);
    std::string line;
    if (state == StateEnabled) {
        if (stateBefore == StateDisabled) {
            r.set(AccountRecord::connected, 0);
            line = text::format(text::UserUpdatedEnabled, newName);
        } else {
            line = text::format(text::UserUpdated, newName);
        }
    } else if (stateBefore == StateEnabled && r.get(AccountRecord::connected) == 1) {
        closeConnections(index);
        line = text::format(text::UserUpdatedDisconnectedDisabled, newName);
    } else {
        line = text::format(text::UserUpdatedDisabled, newName);
    }

    // A renamed account takes its memberships and its check-outs along: left under the old
    // name they would be lost to it, and handed to whoever is later given that name.
    std::vector<GroupTextChange> renamed;
    if (newName != oldName) {
        renamed = groups.replaceMember(oldName, newName);
        const std::vector<GroupTextChange> holders = groups.replaceHolder(oldName, newName);
        renamed.insert(renamed.end(), holders.begin(), holders.end());
    }
    const bool groupsSaved = renamed.empty() || store_.saveGroups();
    if (groupsSaved && store_.saveAccounts()) {
        console_.plain(line);
        return Outcome::done();
    }
    restore(accounts, index, before);
    groups.undo(renamed);
    // Groups.zelt may already name the new name; it goes back to what Accounts.zelt holds.
    if (groupsSaved && !renamed.empty()) (void)store_.saveGroups();
    return Outcome::failed(
        std::string(groupsSaved ? text::AccountsNotSaved : text::GroupsNotSaved));
}

Outcome AccountAdmin::removeAccount(std::size_t index) {
    AccountTable& accounts = store_.accounts();
    GroupTable& groups = store_.groups();
    const std::string userName = accounts.record(index).get(AccountRecord::userName);
    const std::vector<std::uint8_t> before = snapshot(accounts, index);

    closeConnections(index);
    const std::vector<GroupTextChange> dismissals = groups.replaceMember(userName, "");
    accounts.clear(index);

    if (!store_.saveAccounts()) {
        // Nothing was written: the account and its memberships are as the files hold them.
        restore(accounts, index, before);
        groups.undo(dismissals);
        return Outcome::failed(std::string(text::AccountsNotSaved));
    }
    console_.plain(text::format(text::UserRemoved, userName));
    if (dismissals.empty()) return Outcome::done();
    if (!store_.saveGroups()) return Outcome::failed(std::string(text::GroupsNotSaved));
    for (const std::string& group : groupNames(groups, dismissals)) {
        console_.plain(text::format(text::UserDismissed, userName, group));
    }
    return Outcome::done();
}

void AccountAdmin::listAccounts() {
    if (!store_.loaded()) return;
    const AccountTable& accounts = store_.accounts();
    console_.separator();
    console_.plain(text::AccountList);
    for (std::size_t i = 0; i < accounts.capacity(); ++i) {
        if (accounts.inUse(i)) {
            console_.function(accounts.record(i).get(AccountRecord::userName), tag::EditAccount);
        }
    }
}

void AccountAdmin::searchAccounts() {
    if (!store_.loaded()) return;
    std::string keywords = keywords_;
    if (!ui_.searchAccount(keywords)) return;
    searchAccounts(keywords);
}

void AccountAdmin::searchAccounts(std::string_view keywords) {
    keywords_ = std::string(proto::capped(keywords, MaxSearchKeywords));
    console_.plain(text::SearchResult);
    const std::vector<std::size_t> found = findAccounts(store_.accounts(), keywords_);
    for (const std::size_t i : found) {
        console_.function(store_.accounts().record(i).get(AccountRecord::userName),
                          tag::EditAccount);
    }
    console_.plain(searchCountText(found.size()));
}

std::optional<std::vector<std::string>> AccountAdmin::chooseUsers() {
    if (!store_.loaded()) return std::nullopt;
    UserList list(*this);
    auto chosen = ui_.chooseUsers(list);
    if (!chosen) return std::nullopt;
    for (std::string& name : *chosen) name = std::string(proto::capped(name, MaxUserNameLength));
    return chosen;
}

}  // namespace zelt::server
