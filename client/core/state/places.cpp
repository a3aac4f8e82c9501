#include "client/core/state/places.h"

#include "common/platform/files.h"
#include "common/platform/settings.h"

namespace zelt::client {

namespace {

constexpr const char* kConfigEnv = "ZELT_CLIENT_CONFIG";
constexpr const char* kDefaultConfig = "/etc/zelt/client.conf";
constexpr const char* kCurrentFolder = ".";
constexpr const char* kInstalledNotify = "/usr/share/zelt-client/Notify.zelt";

std::string withoutTrailingSlash(std::string path) {
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string dataDirectoryFor(const PlaceOptions& options) {
    std::string data = withoutTrailingSlash(options.dataDirectory);
    if (data.empty()) data = settings::machineDataDirectory(kConfigEnv, kDefaultConfig);
    return data.empty() ? std::string(kCurrentFolder) : data;
}

ClientPlaces preparePlaces(const PlaceOptions& options) {
    ClientPlaces places;
    places.dataDirectory = dataDirectoryFor(options);
    // A data directory named for the first time is made, so that the settings chosen in this
    // run are kept; one that cannot be made shows up as the failure of the first save.
    (void)files::createFolder(places.dataDirectory);

    std::string user = withoutTrailingSlash(options.userFolder);
    if (user.empty()) {
        const std::string documents = settings::documentsFolder();
        if (!documents.empty()) user = files::join(documents, "Zelt");
    }
    // Without a folder of its own the client keeps its working files beside its records.
    if (user.empty() || files::createFolder(user) == files::FolderResult::Failed) {
        user = places.dataDirectory;
    }
    places.userFolder = user;
    places.working = files::join(user, "Working");
    places.temp = files::join(user, "Temp");
    places.backup = files::join(user, "Backup");
    places.workingCreated = files::createFolder(places.working) == files::FolderResult::Created;
    // Temp and Backup that cannot be made show up as the failure of the copy that needs them.
    (void)files::createFolder(places.temp);
    (void)files::createFolder(places.backup);

    places.commFile = files::join(places.dataDirectory, "Comm.zelt");
    places.checkOutFile = files::join(places.dataDirectory, "Chkout.zelt");
    places.notifyFile = files::join(places.dataDirectory, "Notify.zelt");
    // Each user's data directory is their own, so the sound the package installs is played
    // unless one has a sound of its own.
    if (!files::isFile(places.notifyFile) && files::isFile(kInstalledNotify)) {
        places.notifyFile = kInstalledNotify;
    }
    return places;
}

bool safeBaseName(const std::string& path, std::string* name) {
    const std::string base = files::baseName(path);
    if (base.empty() || base == "." || base == "..") return false;
    *name = base;
    return true;
}

}  // namespace zelt::client
