#include "server/core/admin/file_properties_model.h"

#include <algorithm>
#include <cerrno>

#include "common/platform/files.h"
#include "server/core/store/member_files.h"
#include "server/core/store/names.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {

std::string withError(std::string_view what, int error) {
    return text::format(text::WithError, what, error);
}

}  // namespace

void FilePropertiesModel::refresh() {
    const GroupTable& groups = store_.groups();
    groups_.clear();
    groupNames_.clear();
    holder_.clear();
    checkOutTime_.clear();
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.inUse(g)) continue;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            const auto entry = groups.fileEntry(g, k);
            if (!entryNames(entry, path_)) continue;
            groupNames_.push_back(groups.record(g).get(GroupRecord::name));
            if (!groups_.empty()) groups_ += text::GroupNameSeparator;
            groups_ += groupNames_.back();
            // A disabled group's mark locks nothing, so it names no holder.
            if (groups.enabled(g) && entry.get(FileEntry::checkedOut) == 1) {
                holder_ = entry.get(FileEntry::holder);
                checkOutTime_ = entry.get(FileEntry::checkOutTime);
            }
        }
    }
    select(-1);
    stamps_ = versions_.versions(path_);
}

void FilePropertiesModel::select(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= stamps_.size()) {
        selected_ = -1;
        return;
    }
    selected_ = index;
    const auto details = versions_.details(path_, stamps_[static_cast<std::size_t>(index)]);
    details_ = details ? VersionStore::detailsText(*details) : std::string(text::NoFileDetails);
}

bool FilePropertiesModel::voidCheckOut() {
    GroupTable& groups = store_.groups();
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
    bool saved = true;
    if (!voided.empty()) {
        // A void that Groups.zelt does not hold would come back with a restart, after the
        // holder was told it is gone.
        saved = store_.saveGroups();
        if (!saved) {
            for (const Mark& m : voided) {
                auto entry = groups.fileEntry(m.group, m.slot);
                entry.set(FileEntry::checkedOut, 1);
                entry.set(FileEntry::holder, m.holder);
                entry.set(FileEntry::checkOutTime, m.time);
            }
        } else {
            for (const std::string& holder : holders) {
                checkOuts_.sendVoided(holder, path_);
            }
        }
    }
    refresh();
    return saved;
}

void FilePropertiesModel::setAsLatest() {
    if (selected_ < 0) return;
    const std::string stamp = stamps_[static_cast<std::size_t>(selected_)];
    if (stamp.empty()) return;
    const Outcome outcome = setAsLatest(stamp);
    if (!outcome) {
        ui_.showMessage(outcome.text);
        return;
    }
    ui_.showInformation(outcome.text);
    refresh();
}

Outcome FilePropertiesModel::setAsLatest(std::string_view stamp) {
    // Only a version the folder lists: a stamp is part of a file name, so anything else could
    // name a file outside the version folder. A version pruned since the list was read is gone
    // too; keeping the current content as yet another version would only push an older one out
    // at the next check-in.
    const std::vector<std::string> kept = versions_.versions(path_);
    const std::string source = versions_.versionFile(path_, stamp);
    if (stamp.empty() || std::find(kept.begin(), kept.end(), stamp) == kept.end() ||
        !files::isFile(source)) {
        return Outcome::refused(withError(text::ReplaceFailed, ENOENT));
    }
    // A latest file that is gone has nothing to keep; the version brings it back.
    if (files::isFile(path_) || files::isFolder(path_)) {
        errno = 0;
        if (!versions_.makeVersion(path_, path_, ReservedUserName, text::ReplacedComment)) {
            return Outcome::refused(withError(text::BackupFailed, errno));
        }
    }
    errno = 0;
    if (!files::replaceWithCopy(source, path_)) {
        return Outcome::refused(withError(text::ReplaceFailed, errno));
    }
    return Outcome::done(std::string(text::Replaced));
}

}  // namespace zelt::server
