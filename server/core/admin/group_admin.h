#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"
#include "server/core/admin/account_admin.h"
#include "server/core/admin/file_properties_model.h"
#include "server/core/admin/group_properties_model.h"
#include "server/core/admin/outcome.h"
#include "server/core/repository/check_outs.h"
#include "server/core/repository/version_store.h"
#include "server/core/store/store.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// The administrator's work on groups: creating, listing, editing and removing them through the
// Group Properties dialog, and the File Properties windows of member files. Every accepted change
// is on disk before its console line; a change that cannot be saved is taken back and reported.
// The admin command fills the dialog's form itself and ends in the same checks and stores.
class GroupAdmin {
public:
    GroupAdmin(Console& console, AdminUi& ui, Store& store, AccountAdmin& accounts,
               VersionStore& versions, CheckOuts& checkOuts);
    ~GroupAdmin();
    GroupAdmin(const GroupAdmin&) = delete;
    GroupAdmin& operator=(const GroupAdmin&) = delete;

    // CRTGRP: a new group in the first free record.
    void createGroup();
    // CRTGRP answered with form.
    Outcome createGroup(const GroupForm& form);
    // DSPGRP: the group list, one EDTGRP line per group.
    void listGroups();
    // EDTGRP: the Group Properties of the named group (letter case ignored).
    void editGroup(std::string_view name);
    // EDTGRP up to the dialog: the group of that name, after the warning when it is in use;
    // nothing when there is none.
    std::optional<std::size_t> openForEdit(std::string_view name);
    // What OK on Group Properties does with form for a group (a free record when creating): the
    // check, then the group stored or removed, Groups.zelt saved, and its line.
    Outcome acceptForm(const GroupForm& form, std::size_t group, bool creating);
    // FILEPROP: a File Properties window for the path the line names.
    void openFileProperties(std::string_view lineText);

    // A File Properties window for a path (at most 255 characters), shown at once.
    FilePropertiesModel& openFilePropertiesFor(std::string_view path);
    // The front end closed a File Properties window; its model goes.
    void closeFileProperties(const FilePropertiesModel* model);
    std::size_t openWindowCount() const { return windows_.size(); }

    // The User List of the Group Properties' "Add" under Users.
    std::optional<std::vector<std::string>> chooseUsers() { return accounts_.chooseUsers(); }
    // The folder the file picker opens in: where the last picked file was.
    const std::string& pickerFolder() const { return pickerFolder_; }
    void setPickerFolder(std::string folder) { pickerFolder_ = std::move(folder); }

private:
    // Runs the dialog on its model; true on an accepted OK.
    bool runDialog(GroupPropertiesModel& model);
    // The Important lines before editing a group that is in use.
    void warnIfBusy(std::size_t group);

    Console& console_;
    AdminUi& ui_;
    Store& store_;
    AccountAdmin& accounts_;
    VersionStore& versions_;
    CheckOuts& checkOuts_;
    std::vector<std::unique_ptr<FilePropertiesModel>> windows_;
    std::string pickerFolder_;
    // How many groups each record has been given. A dialog opened on one group stores nothing
    // once the record holds another: the admin command can remove a group and create the next
    // one in its record while the dialog is open.
    std::array<std::uint64_t, MaxGroups> made_{};
};

}  // namespace zelt::server
