#pragma once

#include <cstdint>

#include "common/console/console.h"
#include "server/core/session/episode.h"
#include "server/core/session/slot_table.h"
#include "server/core/ui/admin_ui.h"

namespace zelt::server {

// The server's communication as a whole: the listening socket opened once at start-up, and
// the closing of everything, which nothing reopens while the program runs. The front end hears
// of both, since New Message and the close box follow them.
class Communication {
public:
    Communication(Reactor& reactor, Console& console, AdminUi& ui, SlotTable& slots);

    // Opens the listening socket on port (0: any free port), with a connection table no larger
    // than the descriptors the system allows; a failed step is reported as its error line.
    // Whether the server now listens.
    bool open(std::uint16_t port);
    bool listening() const { return slots_.listening(); }
    // Closes the listening socket and every connection; with the two closing lines unless
    // silent.
    void close(bool withLines);

private:
    // Fits the connection table to the descriptors this process may open.
    void sizeTable();

    Console& console_;
    AdminUi& ui_;
    SlotTable& slots_;
    int lastAcceptError_ = 0;
    Episode acceptFailures_;
};

}  // namespace zelt::server
