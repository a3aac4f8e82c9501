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
    if (runDialog(GroupForm{}, g, true) != Outcome::Stored) return;
    const auto record = store_.groups().record(g);
    const bool enabled = record.get(GroupRecord::state) == StateEnabled;
    console_.plain(text::format(enabled ? text::GroupCreatedEnabled : text::GroupCreatedDisabled,
                                record.get(GroupRecord::name)));
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

void GroupAdmin::editGroup(std::string_view name) {
    GroupTable& groups = store_.groups();
    const int found = groups.findByName(name);
    if (found < 0) return;
    const auto g = static_cast<std::size_t>(found);
    warnIfBusy(g);

    const std::string oldName = groups.record(g).get(GroupRecord::name);
    switch (runDialog(formOf(groups, g), g, false)) {
        case Outcome::Removed:
            console_.plain(text::format(text::GroupRemoved, oldName));
            break;
        case Outcome::Stored: {
            const auto record = groups.record(g);
            const bool enabled = record.get(GroupRecord::state) == StateEnabled;
            console_.plain(
                text::format(enabled ? text::GroupChangedEnabled : text::GroupChangedDisabled,
                             record.get(GroupRecord::name)));
            break;
        }
        case Outcome::Cancelled:
        case Outcome::NotSaved:
            break;
    }
}

GroupAdmin::Outcome GroupAdmin::runDialog(GroupForm form, std::size_t group, bool creating) {
    GroupTable& groups = store_.groups();
    GroupPropertiesModel model(*this, ui_, std::move(form),
                               creating ? -1 : static_cast<int>(group));
    const ui::FormCheck<GroupForm> check = [&groups, &model](const GroupForm& f) {
        return checkGroupForm(f, groups, model.editedGroup());
    };
    if (!ui_.runGroupProperties(model, check)) return Outcome::Cancelled;
    // The window accepted the form with the same check; a form it should have refused, or one
    // that another change made while it was open turned wrong, is not stored.
    if (auto refusal = check(model.form())) {
        ui_.showMessage(*refusal);
        return Outcome::Cancelled;
    }

    auto record = groups.record(group);
    const std::vector<std::uint8_t> before(record.bytes().begin(), record.bytes().end());
    const bool removing = !creating && model.form().remove;
    if (removing) {
        groups.clear(group);
    } else {
        storeGroupForm(model.form(), groups, group);
    }
    if (!store_.saveGroups()) {
        // Taken back, so that nothing seems done that a restart would undo.
        std::copy(before.begin(), before.end(), record.mutableBytes().begin());
        return Outcome::NotSaved;
    }
    return removing ? Outcome::Removed : Outcome::Stored;
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
