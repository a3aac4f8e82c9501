#pragma once

#include <string>

#include "client/core/session/server_link.h"
#include "client/core/state/local_state.h"
#include "client/core/transfer/transfer_engine.h"
#include "client/core/ui/client_ui.h"
#include "client/core/ui/shell_opener.h"
#include "common/console/console.h"

namespace zelt::client {

// A read-only copy of any group file, downloaded into the Temp folder under a name of its own
// and opened with the desktop's handler.
class ViewCopy {
public:
    ViewCopy(Console& console, ClientUi& ui, ServerLink& link, const LocalState& local,
             TransferEngine& engine, ShellOpener& shell)
        : console_(console), ui_(ui), link_(link), local_(local), engine_(engine), shell_(shell) {}

    // File Properties: Fetch File (read-only).
    void start(const std::string& path);
    void onOpen(const proto::Packet& p);
    void onChunk(const proto::Packet& p);

private:
    void requestChunk();
    void stop(std::int32_t status, std::string_view line);

    Console& console_;
    ClientUi& ui_;
    ServerLink& link_;
    const LocalState& local_;
    TransferEngine& engine_;
    ShellOpener& shell_;
};

}  // namespace zelt::client
