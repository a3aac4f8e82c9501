#include "client/core/state/local_state.h"

#include "client/core/ui/forms.h"
#include "client/core/ui/texts.h"
#include "common/platform/files.h"

namespace zelt::client {

void LocalState::load(const PlaceOptions& options) {
    places_ = preparePlaces(options);
    comm_.load(places_.commFile);
    table_.load(places_.checkOutFile);
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
    files::emptyFolder(places_.temp);
}

}  // namespace zelt::client
