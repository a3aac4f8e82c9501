#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/platform/clock.h"
#include "common/platform/files.h"
#include "common/protocol/layouts.h"

namespace zelt::server {

using DetailBytes = std::array<std::uint8_t, proto::DetailRecord::kSize>;

// The history of member files: one folder per file inside the Files folder, holding each kept
// version as "<stamp>.__file__" and its details as "<stamp>.__detail__". The latest version of a
// file is the file itself, at its own path. Its const members touch nothing but the files and
// may be called from any thread.
class VersionStore {
public:
    VersionStore(std::string filesFolder, const Clock& clock)
        : filesFolder_(std::move(filesFolder)), clock_(clock) {}

    // The folder's name: the path with ':', '\' and '/' written as '-'.
    static std::string folderName(std::string_view path);
    std::string folderOf(std::string_view path) const;
    const std::string& filesFolder() const { return filesFolder_; }
    std::string versionFile(std::string_view path, std::string_view stamp) const;
    std::string detailFile(std::string_view path, std::string_view stamp) const;

    // A fresh 17-digit stamp of local time to the millisecond. Stamps handed out by one store
    // always grow, even within one millisecond or when the clock steps back.
    std::string newStamp();

    // Keeps a copy of source as a new version of path, with its details; returns the stamp, or
    // nothing when the copy failed (then no detail file is written either). The version file
    // appears under its final name only once complete.
    std::optional<std::string> makeVersion(std::string_view path, const std::string& source,
                                           std::string_view userName, std::string_view comment);
    // The same in two steps, for a copy made off the loop's thread: the stamp and the details
    // are taken now, on the thread that owns this store, and keepVersion() writes them from
    // any thread, touching nothing but the files.
    struct NewVersion {
        std::string stamp;
        std::string file;
        std::string detailFile;
        DetailBytes details{};
    };
    NewVersion planVersion(std::string_view path, std::string_view userName,
                           std::string_view comment);
    static bool keepVersion(const NewVersion& version, const std::string& source);
    // Writes the details of a version: the current time, the user and at most 1024 characters
    // of comment.
    bool writeDetails(std::string_view path, std::string_view stamp, std::string_view userName,
                      std::string_view comment);

    // The stamps of the kept versions, oldest first.
    std::vector<std::string> versions(std::string_view path) const;
    // The details of one version; nothing when they cannot be read.
    std::optional<DetailBytes> details(std::string_view path, std::string_view stamp) const;
    // The details with the greatest stamp in the folder (also when its version file is gone);
    // all zeros when there are none.
    DetailBytes latestDetails(std::string_view path) const;
    // Deletes the oldest versions until at most `keep` remain. Stops at the first version file
    // that cannot be deleted.
    void prune(std::string_view path, std::int32_t keep) const;

    // The stamps of one version folder (named as inside the Files folder) that lack the other
    // half of their pair: details whose version file is gone, versions without details. A kill
    // between the two writes of a version, or of a pruning, leaves one of them.
    struct Unpaired {
        std::vector<std::string> detailsWithoutVersion;
        std::vector<std::string> versionsWithoutDetails;
    };
    Unpaired unpairedIn(const std::string& folderName) const;
    // Removes the half-written copies that a kill left in one version folder.
    files::Removed removeUnfinishedIn(const std::string& folderName) const;

    // The details as the File Properties windows show them: time and user on two lines, an
    // empty line, then the comment with CR LF line ends, at most 1024 comment characters.
    static std::string detailsText(const DetailBytes& details);

private:
    std::string filesFolder_;
    const Clock& clock_;
    std::int64_t lastStampMs_ = 0;
};

}  // namespace zelt::server
