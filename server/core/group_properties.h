#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "server/core/group_form.h"

namespace zelt::server {

class GroupAdmin;

// One Group Properties dialog as the window shows it: the form being edited and what its
// buttons do. The window draws form() and calls these; nothing reaches the group table before
// the administrator's OK is accepted, and then GroupAdmin stores it.
class GroupPropertiesDialog {
public:
    // editedGroup is the group being edited, -1 when a new group is being made.
    GroupPropertiesDialog(GroupAdmin& admin, GroupForm form, int editedGroup);

    GroupForm& form() { return form_; }
    const GroupForm& form() const { return form_; }
    bool creating() const { return editedGroup_ < 0; }
    int editedGroup() const { return editedGroup_; }
    // "Remove this group" is offered only for an existing group.
    bool canRemoveGroup() const { return !creating(); }
    std::string usersCaption() const { return server::usersCaption(form_); }
    std::string filesCaption() const { return server::filesCaption(form_); }
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
    // OK: true when the form may be stored; otherwise the refusal is shown in a message box and
    // the dialog stays open.
    bool accept();

private:
    GroupAdmin& admin_;
    GroupForm form_;
    int editedGroup_;
};

}  // namespace zelt::server
