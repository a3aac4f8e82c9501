#include "server/core/admin/group_admin.h"

#include <algorithm>

#include "server/core/ui/texts.h"

namespace zelt::server {

GroupAdmin::GroupAdmin(Console& console, AdminUi& ui, Store& store, AccountAdmin& accounts,
                       VersionStore& versions, CheckOuts& checkOuts)
    : console_(console),
      ui_(ui),
      store_(store),
      accounts_(accounts),
      versions_(versions),
      checkOuts_(checkOuts) {}

GroupAdmin::~GroupAdmin() = default;

void GroupAdmin::createGroup() {
    const int group = store_.groups().findFree();
    if (group < 0) {
        console_.error(text::GroupFull);
        return;
    }
    const auto g = static_cast<std::size_t>(group);
    GroupPropertiesModel model(*this, ui_, GroupForm{}, -1);
    if (!runDialog(model)) return;
    const Outcome outcome = acceptForm(model.form(), g, true);
    if (outcome.needsMessageBox()) ui_.showMessage(outcome.text);
}

Outcome GroupAdmin::createGroup(const GroupForm& form) {
    // Past the end of the table: the first free record, or the table is full.
    return acceptForm(form, store_.groups().capacity(), true);
}

void GroupAdmin::listGroups() {
    const GroupTable& groups = store_.groups();
    console_.separator();
    console_.plain(text::GroupList);
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (groups.inUse(g))
            console_.function(groups.record(g).get(GroupRecord::name), tag::EditGroup);
    }
}

void GroupAdmin::warnIfBusy(std::size_t g) {
    const GroupTable& groups = store_.groups();
    const AccountTable& accounts = store_.accounts();
    int users = 0;
    for (std::size_t k = 0; k < GroupRecord::members.count; ++k) {
        const std::string member = groups.record(g).get(GroupRecord::members.at(k));
        if (member.empty()) continue;
        const int account = accounts.findByUserName(member);
        if (account >= 0 &&
            accounts.record(static_cast<std::size_t>(account)).get(AccountRecord::connected) == 1) {
            ++users;
        }
    }
    int files = 0;
    for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
        if (groups.fileEntry(g, k).get(FileEntry::checkedOut) == 1) ++files;
    }
    if (users > 0 || files > 0) {
        console_.important(text::format(text::GroupBusy, users, files));
        console_.important(text::GroupNotSafe);
    }
}

std::optional<std::size_t> GroupAdmin::openForEdit(std::string_view name) {
    const int found = store_.groups().findByName(name);
    if (found < 0) return std::nullopt;
    const auto g = static_cast<std::size_t>(found);
    warnIfBusy(g);
    return g;
}

void GroupAdmin::editGroup(std::string_view name) {
    const auto g = openForEdit(name);
    if (!g) return;
    GroupTable& groups = store_.groups();
    GroupPropertiesModel model(*this, ui_, formOf(groups, *g), static_cast<int>(*g));
    const std::uint64_t opened = made_[*g];
    if (!runDialog(model)) return;
    // Removed while the dialog was open (and its record perhaps given to another group): there
    // is nothing left to edit.
    if (!groups.inUse(*g) || made_[*g] != opened) return;
    const Outcome outcome = acceptForm(model.form(), *g, false);
    if (outcome.needsMessageBox()) ui_.showMessage(outcome.text);
}

bool GroupAdmin::runDialog(GroupPropertiesModel& model) {
    const GroupTable& groups = store_.groups();
    const ui::FormCheck<GroupForm> check = [&groups, &model](const GroupForm& f) {
        return checkGroupForm(f, groups, model.editedGroup());
    };
    return ui_.runGroupProperties(model, check);
}

Outcome GroupAdmin::acceptForm(const GroupForm& form, std::size_t group, bool creating) {
    GroupTable& groups = store_.groups();
    // Another group may have taken the record while the dialog was open.
    if (creating && (group >= groups.capacity() || groups.inUse(group))) {
        const int free = groups.findFree();
        if (free < 0) {
            console_.error(text::GroupFull);
            return Outcome::failed(std::string(text::GroupFull));
        }
        group = static_cast<std::size_t>(free);
    }
    // The window accepted the form with the same check; a form it should have refused, or one
    // that another change made while it was open turned wrong, is not stored.
    if (auto refusal = checkGroupForm(form, groups, creating ? -1 : static_cast<int>(group))) {
        return Outcome::refused(*refusal);
    }

    auto record = groups.record(group);
    const std::string oldName = record.get(GroupRecord::name);
    const std::vector<std::uint8_t> before(record.bytes().begin(), record.bytes().end());
    const bool removing = !creating && form.remove;
    if (removing) {
        groups.clear(group);
    } else {
        storeGroupForm(form, groups, group);
    }
    if (!store_.saveGroups()) {
        // Taken back, so that nothing seems done that a restart would undo.
        std::copy(before.begin(), before.end(), record.mutableBytes().begin());
        return Outcome::failed(std::string(text::GroupsNotSaved));
    }
    if (removing) {
        console_.plain(text::format(text::GroupRemoved, oldName));
        return Outcome::done();
    }
    if (creating) ++made_[group];
    const bool enabled = record.get(GroupRecord::state) == StateEnabled;
    const char* line = creating
                           ? (enabled ? text::GroupCreatedEnabled : text::GroupCreatedDisabled)
                           : (enabled ? text::GroupChangedEnabled : text::GroupChangedDisabled);
    console_.plain(text::format(line, record.get(GroupRecord::name)));
    return Outcome::done();
}

void GroupAdmin::openFileProperties(std::string_view lineText) {
    const auto path = filePropertiesPath(lineText);
    // "group::" names no file.
    if (path && !path->empty()) openFilePropertiesFor(*path);
}

FilePropertiesModel& GroupAdmin::openFilePropertiesFor(std::string_view path) {
    windows_.push_back(std::make_unique<FilePropertiesModel>(
        store_, versions_, checkOuts_, ui_, std::string(proto::capped(path, MaxMemberPathLength))));
    FilePropertiesModel& model = *windows_.back();
    model.refresh();
    ui_.showFileProperties(model);
    return model;
}

void GroupAdmin::closeFileProperties(const FilePropertiesModel* model) {
    std::erase_if(windows_, [&](const auto& w) { return w.get() == model; });
}

}  // namespace zelt::server
