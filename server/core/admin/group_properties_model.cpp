#include "server/core/admin/group_properties_model.h"

#include "server/core/admin/group_admin.h"

namespace zelt::server {

GroupPropertiesModel::GroupPropertiesModel(GroupAdmin& admin, AdminUi& ui, GroupForm form,
                                           int editedGroup)
    : admin_(admin), ui_(ui), form_(std::move(form)), editedGroup_(editedGroup) {
    if (creating()) form_.remove = false;
}

void GroupPropertiesModel::addUsers() {
    if (form_.users.size() > MaxMemberUsers) {
        ui_.showMessage(userCapacityText());
        return;
    }
    if (const auto names = admin_.chooseUsers()) addMemberUsers(form_, *names);
}

void GroupPropertiesModel::addFiles() {
    const std::optional<FilePick> pick = ui_.pickMemberFiles(admin_.pickerFolder());
    if (!pick) return;
    const std::vector<std::string> paths = pickedPaths(*pick);
    if (paths.empty()) return;
    // Next time the picker opens where these files are.
    const std::string& first = paths.front();
    const auto slash = first.find_last_of('/');
    if (slash != std::string::npos) admin_.setPickerFolder(first.substr(0, slash == 0 ? 1 : slash));
    const std::vector<std::string> tooLong = addMemberFiles(form_, paths);
    if (!tooLong.empty()) ui_.showMessage(memberPathRefusal(tooLong.front()));
}

void GroupPropertiesModel::removeUsers(const std::vector<std::size_t>& selected) {
    removeEntries(form_.users, selected);
}

void GroupPropertiesModel::removeFiles(const std::vector<std::size_t>& selected) {
    removeEntries(form_.files, selected);
}

void GroupPropertiesModel::openProperties(std::size_t file) {
    if (file < form_.files.size()) admin_.openFilePropertiesFor(form_.files[file]);
}

}  // namespace zelt::server
