#pragma once

#include <vector>

#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/transfer/transfer_engine.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/shell_opener.h"
#include "common/console/console.h"

namespace zelt::client {

// The Working Files window, the user's desk: the files held checked out, whether each has been
// fetched, and which of the window's actions work now.
class WorkingFiles {
public:
    WorkingFiles(Console& console, ClientUi& ui, const ServerLink& link, const LocalState& local,
                 const TransferEngine& engine, ShellOpener& shell)
        : console_(console), ui_(ui), link_(link), local_(local), engine_(engine), shell_(shell) {}

    const WorkingFilesModel& model() const { return model_; }
    bool exists() const { return model_.exists; }
    const std::vector<int>& selectedRows() const { return model_.selected; }
    // The check-out record a row shows, or CheckOutTable::kNone.
    int recordOfRow(int row) const;

    // The Working Files command: the window, or the line that nothing is checked out.
    void showCommand();
    // Refills the window and shows it, creating it if needed.
    void show();
    // Refills the window when it exists, leaving it shown or hidden.
    void refill();
    void hide();
    // The buttons follow a change of the connection or of a fetch under way.
    void update();
    void destroy();

    void select(std::vector<int> rows);
    // Open File: opens the first selected row's working copy. Returns true when that file has
    // no working copy yet, which the caller then fetches instead.
    bool openSelected();
    void openFolder() { shell_.open(local_.places().working); }

private:
    void fill();

    Console& console_;
    ClientUi& ui_;
    const ServerLink& link_;
    const LocalState& local_;
    const TransferEngine& engine_;
    ShellOpener& shell_;
    WorkingFilesModel model_;
};

}  // namespace zelt::client
