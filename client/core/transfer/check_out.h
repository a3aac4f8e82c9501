#pragma once

#include <set>

#include <string>

#include "client/core/browse/available_files.h"
#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"
#include "client/core/working/working_files.h"
#include "common/console/console.h"

namespace zelt::client {

// Taking check-outs: the selected files of Available Files are marked in the check-out table
// and asked for one after another, each answer recorded and saved. Also the administrator's
// void of a check-out, which the server pushes to its holder.
class CheckOut {
public:
    CheckOut(Console& console, ClientUi& ui, const FlowEvents& events, ServerLink& link,
             LocalState& local, AvailableFiles& available, WorkingFiles& working)
        : console_(console),
          ui_(ui),
          events_(events),
          link_(link),
          local_(local),
          available_(available),
          working_(working) {}

    // Available Files: Check-out, or a double-click on selected rows.
    void checkOutSelected() { checkOut(available_.selectedPaths()); }
    // Checks out files named by their server paths. A path the table already holds is not
    // asked for again.
    void checkOut(const std::vector<std::string>& paths);
    // After a log-in: records still waiting for an answer (lost with the connection that
    // carried it, or left so by an earlier run) are asked for again, so the table ends up
    // with every lock the server holds for this user.
    void settleWaiting();
    void onAnswer(const proto::Packet& p);
    void onVoided(const proto::Packet& p);
    // The connection went: nothing asked on it will be answered.
    void connectionLost() { asked_.clear(); }

private:
    void loop(int from);
    bool heldByMe(const std::string& reason) const;
    std::string keepVoidedCopy(const std::string& workingPath);

    Console& console_;
    ClientUi& ui_;
    const FlowEvents& events_;
    ServerLink& link_;
    // With requests in flight: the records asked for and not answered yet.
    std::set<int> asked_;
    LocalState& local_;
    AvailableFiles& available_;
    WorkingFiles& working_;
};

}  // namespace zelt::client
