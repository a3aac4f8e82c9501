#include "server/core/group_properties.h"

#include <algorithm>

#include "common/platform/files.h"
#include "server/core/account_admin.h"
#include "server/core/group_admin.h"
#include "server/core/server.h"

namespace zelt::server {

GroupPropertiesDialog::GroupPropertiesDialog(GroupAdmin& admin, GroupForm form, int editedGroup)
    : admin_(admin), form_(std::move(form)), editedGroup_(editedGroup) {
    if (creating()) form_.remove = false;
}

void GroupPropertiesDialog::addUsers() {
    AdminUi& ui = admin_.server().ui();
    if (form_.users.size() > MaxMemberUsers) {
        ui.showMessage(userCapacityText());
        return;
    }
    if (const auto names = admin_.server().accountAdmin().chooseUsers()) {
        addMemberUsers(form_, *names);
    }
}

void GroupPropertiesDialog::addFiles() {
    AdminUi& ui = admin_.server().ui();
    const std::optional<FilePick> pick = ui.pickMemberFiles(admin_.pickerFolder());
    if (!pick) return;
    const std::vector<std::string> paths = pickedPaths(*pick);
    if (paths.empty()) return;
    // Next time the picker opens where these files are.
    const std::string& first = paths.front();
    const auto slash = first.find_last_of('/');
    if (slash != std::string::npos) admin_.setPickerFolder(first.substr(0, slash == 0 ? 1 : slash));
    const std::vector<std::string> tooLong = addMemberFiles(form_, paths);
    if (!tooLong.empty()) {
        ui.showMessage(memberPathTooLongText() + "\n\n" + tooLong.front());
    }
}

void GroupPropertiesDialog::removeUsers(const std::vector<std::size_t>& selected) {
    removeEntries(form_.users, selected);
}

void GroupPropertiesDialog::removeFiles(const std::vector<std::size_t>& selected) {
    removeEntries(form_.files, selected);
}

void GroupPropertiesDialog::openProperties(std::size_t file) {
    if (file < form_.files.size()) admin_.openFilePropertiesFor(form_.files[file]);
}

bool GroupPropertiesDialog::accept() {
    const auto refusal = checkGroupForm(form_, admin_.server().groups(), editedGroup_);
    if (!refusal) return true;
    admin_.server().ui().showMessage(*refusal);
    return false;
}

}  // namespace zelt::server
