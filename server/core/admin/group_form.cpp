#include "server/core/admin/group_form.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "common/platform/files.h"
#include "server/core/repository/version_store.h"
#include "server/core/store/member_files.h"
#include "server/core/store/names.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {

std::string withMax(std::string_view what, std::size_t max) {
    return text::format(text::WithMax, what, static_cast<int>(max));
}

std::string caption(const char* pattern, std::size_t count, std::size_t max) {
    return text::format(pattern, static_cast<int>(count), static_cast<int>(max));
}

// The refusal of the first path that the form adds to its group whose version folder name is
// already another member path's, in any group or in the form itself: the two files' versions
// would be kept, shown and pruned together. Paths the group holds already are not refused
// again here; the start-up names such old pairs.
std::optional<std::string> sharedVersionFolder(const GroupForm& form, const GroupTable& groups,
                                               int editedGroup) {
    std::unordered_map<std::string, std::set<std::string>> pathsByFolder;
    std::set<std::string> held;
    forEachMemberPath(groups, [&](std::size_t g, std::string path) {
        if (static_cast<int>(g) == editedGroup) {
            held.insert(std::move(path));  // its paths from now on are the form's
        } else {
            pathsByFolder[VersionStore::folderName(path)].insert(std::move(path));
        }
    });
    for (const std::string& path : form.files) {
        pathsByFolder[VersionStore::folderName(path)].insert(path);
    }
    for (const std::string& path : form.files) {
        if (held.count(path) != 0) continue;
        const std::string folder = VersionStore::folderName(path);
        for (const std::string& other : pathsByFolder[folder]) {
            if (other != path) return text::format(text::VersionFolderTaken, path, folder, other);
        }
    }
    return std::nullopt;
}

}  // namespace

GroupForm formOf(const GroupTable& groups, std::size_t group) {
    GroupForm form;
    const proto::ConstView g = groups.record(group);
    form.name = g.get(GroupRecord::name);
    for (std::size_t k = 0; k < GroupRecord::members.count; ++k) {
        std::string member = g.get(GroupRecord::members.at(k));
        if (!member.empty()) form.users.push_back(std::move(member));
    }
    for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
        std::string path = groups.fileEntry(group, k).get(FileEntry::path);
        if (!path.empty()) form.files.push_back(std::move(path));
    }
    form.disabled = g.get(GroupRecord::state) != StateEnabled;
    return form;
}

std::optional<std::string> checkGroupForm(const GroupForm& form, const GroupTable& groups,
                                          int editedGroup) {
    if (editedGroup >= 0 && form.remove) return std::nullopt;
    if (form.name.empty()) return std::string(text::EnterGroupName);
    if (form.name.size() > MaxGroupNameLength) {
        return withMax(text::GroupNameTooLong, MaxGroupNameLength);
    }
    if (groupNameHasIllegalCharacters(form.name)) return std::string(text::GroupNameCharacters);
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (static_cast<int>(g) == editedGroup || !groups.inUse(g)) continue;
        if (equalsIgnoringCase(groups.record(g).get(GroupRecord::name), form.name)) {
            return text::format(text::GroupExists, form.name);
        }
    }
    if (form.users.size() > MaxMemberUsers) return userCapacityText();
    if (form.files.size() > MaxMemberFiles) return fileCapacityText();
    // A path cut to fit its slot would name another file.
    for (const std::string& path : form.files) {
        if (path.size() > MaxMemberPathLength) {
            return memberPathTooLongText();
        }
    }
    return sharedVersionFolder(form, groups, editedGroup);
}

std::string usersCaption(const GroupForm& form) {
    return caption(text::UsersFrame, form.users.size(), MaxMemberUsers);
}

std::string filesCaption(const GroupForm& form) {
    return caption(text::FilesFrame, form.files.size(), MaxMemberFiles);
}

std::string userCapacityText() {
    return text::format(text::UserCapacity, static_cast<int>(MaxMemberUsers));
}

std::string fileCapacityText() {
    return text::format(text::FileCapacity, static_cast<int>(MaxMemberFiles));
}

std::string memberPathTooLongText() {
    return withMax(text::MemberPathTooLong, MaxMemberPathLength);
}

std::string memberPathRefusal(std::string_view path) {
    return memberPathTooLongText() + "\n\n" + std::string(path);
}

void addMemberUsers(GroupForm& form, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (name.empty()) continue;
        const bool listed =
            std::any_of(form.users.begin(), form.users.end(),
                        [&](const std::string& u) { return equalsIgnoringCase(u, name); });
        if (!listed) form.users.insert(form.users.begin(), name);
    }
}

std::vector<std::string> pickedPaths(const FilePick& pick) {
    std::vector<std::string> paths;
    for (const std::string& path : pick.paths) {
        if (!path.empty()) paths.push_back(path);
    }
    for (const std::string& name : pick.names) {
        if (!name.empty()) paths.push_back(files::join(pick.folder, name));
    }
    return paths;
}

std::vector<std::string> addMemberFiles(GroupForm& form, const std::vector<std::string>& paths) {
    std::vector<std::string> tooLong;
    for (const std::string& path : paths) {
        if (path.empty()) continue;
        if (path.size() > MaxMemberPathLength) {
            tooLong.push_back(path);
            continue;
        }
        if (std::find(form.files.begin(), form.files.end(), path) == form.files.end()) {
            form.files.insert(form.files.begin(), path);
        }
    }
    return tooLong;
}

void removeEntries(std::vector<std::string>& list, std::vector<std::size_t> positions) {
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    // Last to first, so that the positions still to go keep their meaning.
    for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
        if (*it < list.size()) list.erase(list.begin() + static_cast<std::ptrdiff_t>(*it));
    }
}

std::optional<std::string> filePropertiesPath(std::string_view lineText) {
    if (lineText.empty()) return std::nullopt;
    const auto at = lineText.find(text::GroupPathSeparator);
    const std::string_view path = at == std::string_view::npos
                                      ? lineText
                                      : lineText.substr(at + text::GroupPathSeparator.size());
    return std::string(proto::capped(path, MaxMemberPathLength));
}

void storeGroupForm(const GroupForm& form, GroupTable& groups, std::size_t group) {
    // The marks as they are now: check-outs taken while the dialog was open count too.
    struct Mark {
        std::string path;
        std::uint8_t checkedOut;
        std::string holder;
        std::string time;
        bool taken = false;
    };
    std::vector<Mark> marks;
    for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
        const auto e = groups.fileEntry(group, k);
        std::string path = e.get(FileEntry::path);
        if (path.empty()) continue;
        marks.push_back(Mark{std::move(path), e.get(FileEntry::checkedOut),
                             e.get(FileEntry::holder), e.get(FileEntry::checkOutTime)});
    }

    proto::MutableView g = groups.record(group);
    g.set(GroupRecord::name, form.name);
    for (std::size_t k = 0; k < GroupRecord::members.count; ++k) {
        g.set(GroupRecord::members.at(k), k < form.users.size() ? form.users[k] : std::string());
    }
    for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
        proto::MutableView e = groups.fileEntry(group, k);
        e.clear(0, FileEntry::kSize);
        if (k >= form.files.size()) continue;
        const std::string& path = form.files[k];
        e.set(FileEntry::path, path);
        const auto mark = std::find_if(marks.begin(), marks.end(),
                                       [&](const Mark& m) { return !m.taken && m.path == path; });
        if (mark == marks.end()) continue;
        mark->taken = true;
        e.set(FileEntry::checkedOut, mark->checkedOut);
        e.set(FileEntry::holder, mark->holder);
        e.set(FileEntry::checkOutTime, mark->time);
    }
    g.set(GroupRecord::state, form.disabled ? StateDisabled : StateEnabled);
}

}  // namespace zelt::server
