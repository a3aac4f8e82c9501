#include "client/core/state/local_state.h"

#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/platform/files.h"

namespace zelt::client {

bool LocalState::claim(const PlaceOptions& options, std::string* error) {
    dataDirectory_ = dataDirectoryFor(options);
    if (lock_.take(dataDirectory_) != DirectoryLock::Result::InUse) return true;
    std::string line = std::string(text::DataDirectory) + " " + quoted(dataDirectory_) + " " +
                       std::string(text::InUseByAnotherClient);
    if (lock_.holder() != 0) {
        line += " (" + std::string(text::Process) + " " + std::to_string(lock_.holder()) + ")";
    }
    *error = line + ".";
    return false;
}

void LocalState::load(const PlaceOptions& options) {
    // The folder the lock was taken on, not a second reading of the settings.
    PlaceOptions claimed = options;
    if (!dataDirectory_.empty()) claimed.dataDirectory = dataDirectory_;
    places_ = preparePlaces(claimed);
    comm_.load(places_.commFile);
    table_.load(places_.checkOutFile);
    loaded_ = true;
}

void LocalState::saveComm() {
    if (!comm_.save(places_.commFile)) {
        console_.error(quotedLine(text::ConnectionSettingsNotSaved, places_.commFile));
    }
}

void LocalState::saveTable() {
    if (!table_.save(places_.checkOutFile)) {
        console_.error(quotedLine(text::CheckOutTableNotSaved, places_.checkOutFile));
    }
}

void LocalState::dropRecord(int index) {
    const std::string working = table_.workingPath(index);
    if (!working.empty()) files::discardFile(working);
    table_.clear(index);
}

void LocalState::emptyTemp() {
    if (loaded_) files::emptyFolder(places_.temp);
}

}  // namespace zelt::client
