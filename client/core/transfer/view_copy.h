#pragma once

#include <string>

#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/transfer/transfer_engine.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/flow_events.h"
#include "client/core/ui/shell_opener.h"
#include "common/console/console.h"

namespace zelt::client {

// A read-only copy of any group file, downloaded into the Temp folder under a name of its own
// and opened with the desktop's handler.
class ViewCopy {
public:
    ViewCopy(Console& console, ClientUi& ui, const FlowEvents& events, ServerLink& link,
             const LocalState& local, TransferEngine& engine, ShellOpener& shell)
        : console_(console),
          ui_(ui),
          events_(events),
          link_(link),
          local_(local),
          engine_(engine),
          shell_(shell) {}

    // File Properties: Fetch File (read-only).
    void start(const std::string& path);
    void onOpen(const proto::Packet& p);
    void onChunk(const proto::Packet& p);

private:
    void requestChunk();
    void stop(std::int32_t status, Outcome outcome, std::string_view line);
    // The view has come to its end, as item says.
    void end(const FlowItem& item);

    Console& console_;
    ClientUi& ui_;
    const FlowEvents& events_;
    ServerLink& link_;
    const LocalState& local_;
    TransferEngine& engine_;
    ShellOpener& shell_;
};

}  // namespace zelt::client
