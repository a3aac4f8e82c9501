#include "server/core/file_properties.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/platform/files.h"
#include "server/core/group_admin.h"
#include "server/core/member_files.h"
#include "server/core/names.h"
#include "server/core/repository.h"
#include "server/core/server.h"

namespace zelt::server {

namespace {

constexpr std::string_view kReplacedComment =
    "This file was the latest version but the administrator replaced it with other version.";
constexpr std::string_view kBackupFailed = "Failed to make an original backup.";
constexpr std::string_view kReplaceFailed =
    "Failed to replace the latest version file with the selected backup file.";
constexpr std::string_view kReplaced =
    "Latest version file has replaced with the selected backup file.";

std::string withError(std::string_view text, int error) {
    char out[200];
    std::snprintf(out, sizeof out, "%s (%d)", std::string(text).c_str(), error);
    return out;
}

}  // namespace

FilePropertiesWindow::FilePropertiesWindow(GroupAdmin& admin, std::string path)
    : admin_(admin), path_(std::move(path)) {}

void FilePropertiesWindow::refresh() {
    const GroupTable& groups = admin_.server().groups();
    groups_.clear();
    holder_.clear();
    checkOutTime_.clear();
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.inUse(g)) continue;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            const auto entry = groups.fileEntry(g, k);
            if (!entryNames(entry, path_)) continue;
            if (!groups_.empty()) groups_ += ",";
            groups_ += groups.record(g).get(GroupRecord::name);
            // A disabled group's mark locks nothing, so it names no holder.
            if (groups.enabled(g) && entry.get(FileEntry::checkedOut) == 1) {
                holder_ = entry.get(FileEntry::holder);
                checkOutTime_ = entry.get(FileEntry::checkOutTime);
            }
        }
    }
    select(-1);
    versions_ = admin_.server().repository().versions().versions(path_);
}

void FilePropertiesWindow::select(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= versions_.size()) {
        selected_ = -1;
        return;
    }
    selected_ = index;
    const VersionStore& store = admin_.server().repository().versions();
    const auto details = store.details(path_, versions_[static_cast<std::size_t>(index)]);
    details_ = details ? VersionStore::detailsText(*details) : std::string(NoDetailsText);
}

void FilePropertiesWindow::voidCheckOut() {
    Server& server = admin_.server();
    GroupTable& groups = server.groups();
    struct Mark {
        std::size_t group;
        std::size_t slot;
        std::string holder;
        std::string time;
    };
    std::vector<Mark> voided;
    std::vector<std::string> holders;
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.inUse(g)) continue;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            auto entry = groups.fileEntry(g, k);
            if (!entryNames(entry, path_) || entry.get(FileEntry::checkedOut) != 1) continue;
            const std::string holder = entry.get(FileEntry::holder);
            voided.push_back(Mark{g, k, holder, entry.get(FileEntry::checkOutTime)});
            // Marks of one file may name different holders after an edit of a group's files;
            // each of them is told.
            if (!holder.empty() && std::none_of(holders.begin(), holders.end(), [&](const auto& h) {
                    return equalsIgnoringCase(h, holder);
                })) {
                holders.push_back(holder);
            }
            entry.set(FileEntry::checkedOut, 0);
            entry.set(FileEntry::holder, "");
            entry.set(FileEntry::checkOutTime, "");
        }
    }
    if (!voided.empty()) {
        // A void that Groups.zelt does not hold would come back with a restart, after the
        // holder was told it is gone.
        if (!server.saveGroups()) {
            for (const Mark& m : voided) {
                auto entry = groups.fileEntry(m.group, m.slot);
                entry.set(FileEntry::checkedOut, 1);
                entry.set(FileEntry::holder, m.holder);
                entry.set(FileEntry::checkOutTime, m.time);
            }
        } else {
            for (const std::string& holder : holders) {
                server.repository().sendCheckOutVoided(holder, path_);
            }
        }
    }
    refresh();
}

void FilePropertiesWindow::setAsLatest() {
    if (selected_ < 0) return;
    const std::string stamp = versions_[static_cast<std::size_t>(selected_)];
    if (stamp.empty()) return;
    Server& server = admin_.server();
    VersionStore& store = server.repository().versions();
    const std::string source = store.versionFile(path_, stamp);
    // A version pruned since the list was read: keeping the current content as yet another
    // version would only push an older one out at the next check-in.
    if (!files::isFile(source)) {
        server.ui().showMessage(withError(kReplaceFailed, ENOENT));
        return;
    }
    // A latest file that is gone has nothing to keep; the version brings it back.
    if (files::isFile(path_) || files::isFolder(path_)) {
        errno = 0;
        if (!store.makeVersion(path_, path_, ReservedUserName, kReplacedComment)) {
            server.ui().showMessage(withError(kBackupFailed, errno));
            return;
        }
    }
    errno = 0;
    if (!files::replaceWithCopy(source, path_)) {
        server.ui().showMessage(withError(kReplaceFailed, errno));
        return;
    }
    server.ui().showInformation(std::string(kReplaced));
    refresh();
}

}  // namespace zelt::server
