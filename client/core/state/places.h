#pragma once

#include <string>

// Where the client keeps its files: the data directory with its two record files and the alert
// sound, and the user folder with Working, Temp and Backup.
namespace zelt::client {

struct ClientPlaces {
    std::string dataDirectory;  // Comm.zelt, Chkout.zelt, Notify.zelt
    std::string userFolder;     // Working, Temp and Backup
    std::string working;
    std::string temp;
    std::string backup;
    std::string commFile;
    std::string checkOutFile;
    std::string notifyFile;  // the data directory's Notify.zelt, else the one installed
    bool workingCreated = false;  // the Working folder did not exist before this start-up
};

// Overrides from the command line; empty when not given.
struct PlaceOptions {
    std::string dataDirectory;
    std::string userFolder;
};

// The data directory the options lead to: the one given, else the configured one, else the
// current folder. Only reads; nothing is created.
std::string dataDirectoryFor(const PlaceOptions& options);

// Finds the data directory and the user folder, creates Working, Temp and Backup, and forms
// the paths of the record files.
ClientPlaces preparePlaces(const PlaceOptions& options);

// The base name of a server or local path (the text after its last '/' or '\'), when it can
// name a file inside one of the client's folders: empty, "." and ".." cannot.
bool safeBaseName(const std::string& path, std::string* name);

}  // namespace zelt::client
