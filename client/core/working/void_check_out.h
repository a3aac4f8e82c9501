#pragma once

#include <string>
#include <vector>

#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"
#include "client/core/working/working_files.h"
#include "common/console/console.h"

namespace zelt::client {

// The user's own void: the selected check-outs are given back, one after another, without
// uploading anything; each working copy goes with its record.
class VoidCheckOut {
public:
    VoidCheckOut(Console& console, ClientUi& ui, const FlowEvents& events, ServerLink& link,
                 LocalState& local, WorkingFiles& working)
        : console_(console),
          ui_(ui),
          events_(events),
          link_(link),
          local_(local),
          working_(working) {}

    // Working Files: Void Check-Out, after a yes to the question.
    void voidSelected();
    void onAnswer(const proto::Packet& p);

private:
    void loop(int from);

    Console& console_;
    ClientUi& ui_;
    const FlowEvents& events_;
    ServerLink& link_;
    LocalState& local_;
    WorkingFiles& working_;
    std::vector<std::string> list_;
    // With requests in flight: how many entries of the list have been asked for.
    std::size_t asked_ = 0;
};

}  // namespace zelt::client
