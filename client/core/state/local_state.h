#pragma once

#include <string>

#include "client/core/state/check_out_table.h"
#include "client/core/state/comm_settings.h"
#include "client/core/state/places.h"
#include "common/console/console.h"
#include "common/platform/directory_lock.h"

namespace zelt::client {

// The client's state on disk, kept to this one client: the hold on the data directory, the
// folders, the connection settings and the check-out table. Saving reports its failures on
// the console, where the user sees that a change did not reach the disk.
class LocalState {
public:
    explicit LocalState(Console& console) : console_(console) {}

    // Takes the data directory for this client before anything else touches it. False when
    // another client holds it, with the sentence that says so in *error. A directory where no
    // lock can be made (missing or read-only) cannot take the record files either; the client
    // runs on, and reports each save that fails.
    bool claim(const PlaceOptions& options, std::string* error);
    // Creates the folders and reads both record files.
    void load(const PlaceOptions& options);
    bool loaded() const { return loaded_; }

    const ClientPlaces& places() const { return places_; }
    CommSettings& comm() { return comm_; }
    const CommSettings& comm() const { return comm_; }
    CheckOutTable& table() { return table_; }
    const CheckOutTable& table() const { return table_; }
    const std::string& notifyFile() const { return places_.notifyFile; }

    void saveComm();
    void saveTable();
    // Frees a record and deletes its working copy, if it has one. The table is not saved.
    void dropRecord(int index);
    // Deletes the view copies; only a client that has loaded its places has any.
    void emptyTemp();

private:
    Console& console_;
    DirectoryLock lock_;
    std::string dataDirectory_;
    ClientPlaces places_;
    CommSettings comm_;
    CheckOutTable table_;
    bool loaded_ = false;
};

}  // namespace zelt::client
