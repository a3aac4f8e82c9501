#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "server/core/admin/group_form.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

class GroupAdmin;

// One Group Properties dialog as the window shows it: the form being edited and what its
// buttons do. The window draws form() and calls these; its OK runs the check it was handed with
// the model. Nothing reaches the group table before the administrator's OK is accepted, and
// then GroupAdmin stores it.
class GroupPropertiesModel {
public:
    // editedGroup is the group being edited, -1 when a new group is being made.
    GroupPropertiesModel(GroupAdmin& admin, AdminUi& ui, GroupForm form, int editedGroup);

    GroupForm& form() { return form_; }
    const GroupForm& form() const { return form_; }
    bool creating() const { return editedGroup_ < 0; }
    int editedGroup() const { return editedGroup_; }
    // "Remove this group" is offered only for an existing group.
    bool canRemoveGroup() const { return !creating(); }
    std::string usersCaption() const { return server::usersCaption(form_); }
    std::string filesCaption() const { return server::filesCaption(form_); }
    // "Remove" under either list wants at least one selected entry.
    static bool canRemove(std::size_t selected) { return selected > 0; }
    // "Properties" wants exactly one selected file.
    static bool canOpenProperties(std::size_t selectedFiles) { return selectedFiles == 1; }

    // "Add" under Users: the User List, then each new name at the top of the list.
    void addUsers();
    // "Add" under Files: the file picker, then each new path at the top of the list.
    void addFiles();
    // "Remove" under either list, for the selected positions.
    void removeUsers(const std::vector<std::size_t>& selected);
    void removeFiles(const std::vector<std::size_t>& selected);
    // "Properties": the File Properties window of the file at this position.
    void openProperties(std::size_t file);

private:
    GroupAdmin& admin_;
    AdminUi& ui_;
    GroupForm form_;
    int editedGroup_;
};

}  // namespace zelt::server
