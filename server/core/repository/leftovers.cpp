#include "server/core/repository/leftovers.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "server/core/store/member_files.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {

// A member path's folder and name, as the file system splits them.
struct Place {
    std::string folder;
    std::string name;
};

Place placeOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Where a member file's replacements are written: beside it, and beside its link's target.
std::vector<Place> placesOf(const std::string& path) {
    std::vector<Place> places{placeOf(path)};
    const std::string target = files::linkTarget(path);
    if (!target.empty()) places.push_back(placeOf(target));
    return places;
}

files::Removed removeBeside(const std::string& folder, const std::set<std::string>& names) {
    return files::removeUnfinishedWrites(folder, [&](std::string_view target) {
        return names.count(std::string(target)) != 0;
    });
}

std::string sizeText(std::int64_t bytes) {
    if (bytes < 1024) return text::format("%d bytes", static_cast<int>(bytes));
    if (bytes < 1024 * 1024) return text::format("%.1f KB", static_cast<double>(bytes) / 1024);
    return text::format("%.1f MB", static_cast<double>(bytes) / (1024 * 1024));
}

// "a, b, c, d, e, ..." of the first few of a list.
std::string someOf(const std::vector<std::string>& items) {
    constexpr std::size_t kShown = 5;
    std::string out;
    for (std::size_t i = 0; i < items.size() && i < kShown; ++i) {
        if (i > 0) out += ", ";
        out += items[i];
    }
    if (items.size() > kShown) out += ", ...";
    return out;
}

}  // namespace

files::Removed removeLeftoversOf(const VersionStore& versions, std::string_view path) {
    files::Removed removed;
    if (path.empty()) return removed;
    for (const Place& place : placesOf(std::string(path))) {
        removed += removeBeside(place.folder, {place.name});
    }
    removed += versions.removeUnfinishedIn(VersionStore::folderName(path));
    return removed;
}

RepositoryCheck checkRepository(const GroupTable& groups, const VersionStore& versions) {
    RepositoryCheck check;

    // Member files: each folder is listed once for all the members it holds.
    std::map<std::string, std::set<std::string>> beside;
    std::unordered_map<std::string, std::string> folderOwners;
    std::set<std::string> seen;
    forEachMemberPath(groups, [&](std::size_t, std::string path) {
        if (!seen.insert(path).second) return;
        for (Place& place : placesOf(path)) beside[place.folder].insert(std::move(place.name));
        const std::string folder = VersionStore::folderName(path);
        const auto [owner, isNew] = folderOwners.emplace(folder, path);
        if (!isNew) check.sharedFolders.push_back({owner->second, path, folder});
    });
    for (const auto& [folder, names] : beside) check.besideMembers += removeBeside(folder, names);

    // Version folders, also those of files that left their groups.
    std::vector<std::string> folders = files::listFolders(versions.filesFolder());
    std::sort(folders.begin(), folders.end());
    for (const std::string& folder : folders) {
        check.inVersionFolders += versions.removeUnfinishedIn(folder);
        const VersionStore::Unpaired unpaired = versions.unpairedIn(folder);
        for (const std::string& stamp : unpaired.detailsWithoutVersion) {
            check.detailsWithoutVersion.push_back(folder + "/" + stamp);
        }
        for (const std::string& stamp : unpaired.versionsWithoutDetails) {
            check.versionsWithoutDetails.push_back(folder + "/" + stamp);
        }
    }
    return check;
}

void reportRepositoryCheck(Console& console, const RepositoryCheck& check, files::Removed tables,
                           files::Removed temp) {
    std::vector<std::string> parts;
    if (check.besideMembers.count > 0) {
        parts.push_back(text::format(text::CopiesBesideMembers, check.besideMembers.count,
                                     sizeText(check.besideMembers.bytes)));
    }
    if (check.inVersionFolders.count > 0) {
        parts.push_back(text::format(text::CopiesInVersionFolders, check.inVersionFolders.count,
                                     sizeText(check.inVersionFolders.bytes)));
    }
    if (tables.count > 0) parts.push_back(text::format(text::HalfWrittenTables, tables.count));
    if (temp.count > 0) parts.push_back(text::format(text::TempEntries, temp.count));
    if (!parts.empty()) {
        std::string joined;
        for (const std::string& part : parts) joined += (joined.empty() ? "" : ", ") + part;
        console.important(text::format(text::CleanedUp, joined));
    }
    if (!check.detailsWithoutVersion.empty()) {
        console.important(text::format(text::DetailsWithoutVersion,
                                       static_cast<int>(check.detailsWithoutVersion.size()),
                                       someOf(check.detailsWithoutVersion)));
    }
    if (!check.versionsWithoutDetails.empty()) {
        console.important(text::format(text::VersionsWithoutDetails,
                                       static_cast<int>(check.versionsWithoutDetails.size()),
                                       someOf(check.versionsWithoutDetails)));
    }
    for (const RepositoryCheck::SharedFolder& shared : check.sharedFolders) {
        console.error(
            text::format(text::SharedVersionFolder, shared.path, shared.otherPath, shared.folder));
    }
}

}  // namespace zelt::server
