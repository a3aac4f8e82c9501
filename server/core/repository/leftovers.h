#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"
#include "common/platform/files.h"
#include "server/core/repository/version_store.h"
#include "server/core/store/group_table.h"

// What a killed run leaves in the places the repository writes, and the clean-up that finds it.
// Every replacement of a member file and every version is written beside its final name and
// renamed over it, so a kill can leave only those half-written copies, never a torn file; they
// are recognised by the temporary names the server itself gives them and by nothing else.
namespace zelt::server {

// Removes the half-written copies of one member file that a kill left behind: beside the file,
// beside the file its symbolic link leads to, and in its version folder.
files::Removed removeLeftoversOf(const VersionStore& versions, std::string_view path);

// What the start-up found.
struct RepositoryCheck {
    files::Removed besideMembers;
    files::Removed inVersionFolders;
    // "<version folder>/<stamp>" of versions that lost one half of their pair.
    std::vector<std::string> detailsWithoutVersion;
    std::vector<std::string> versionsWithoutDetails;
    // Member paths whose version folder is already another member path's.
    struct SharedFolder {
        std::string path;
        std::string otherPath;
        std::string folder;
    };
    std::vector<SharedFolder> sharedFolders;
};

// Cleans the folders of every member file and every version folder, and looks for versions
// without their other half and for member paths that share a version folder.
RepositoryCheck checkRepository(const GroupTable& groups, const VersionStore& versions);

// The start-up's lines: what was removed (with the half-written table files and the Temp
// entries it removed itself), then what is left for the administrator to look at.
void reportRepositoryCheck(Console& console, const RepositoryCheck& check, files::Removed tables,
                           files::Removed temp);

}  // namespace zelt::server
