// zelt-server [--headless] [--data-dir DIR]
// zelt-server admin [--data-dir DIR] [--json] COMMAND ...
#include <cstdio>
#include <cstring>
#include <string>

#include "common/console/console.h"
#include "common/platform/poll_reactor.h"
#include "common/platform/signals.h"
#include "server/admin/admin_command.h"
#include "server/core/server.h"
#include "server/headless/headless.h"
#ifdef ZELT_SERVER_WINDOW
#include "server/gui/start_window.h"
#endif

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: zelt-server [--headless] [--data-dir DIR]\n"
                 "       zelt-server admin [--data-dir DIR] [--json] COMMAND ...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // A command for the server that runs on a data directory, not a server.
    if (argc > 1 && std::strcmp(argv[1], "admin") == 0) {
        return zelt::server::admin::run(argc - 1, argv + 1);
    }
    std::string dataDir;
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
        } else if (std::strcmp(argv[i], "--data-dir") == 0 && i + 1 < argc) {
            dataDir = argv[++i];
        } else {
            return usage();
        }
    }
    if (!headless) {
#ifdef ZELT_SERVER_WINDOW
        return zelt::server::startWindow(dataDir, argc, argv);
#else
        std::fprintf(stderr, "zelt-server: this build has no window; running headless.\n");
#endif
    }

    zelt::PollReactor reactor;
    zelt::Console console(reactor.clock());
    // Every line goes to standard output as it comes; nothing reads them back, so none is kept.
    console.setCapacity(0);
    zelt::server::StreamConsole out(stdout);
    console.addObserver(&out);
    zelt::server::HeadlessUi ui(stderr);
    zelt::server::ServerOptions options;
    options.dataDir = zelt::server::serverDataDirectory(dataDir);
    zelt::server::Server server(reactor, console, ui, options);
    server.commands().setContactAddress(zelt::server::serverContactAddress());

    zelt::TerminationSignals signals;
    bool ending = false;
    reactor.watch(signals.handle(), zelt::kReadable, [&](unsigned) {
        signals.take();
        ending = true;
    });
    server.launch();
    while (!ending && !ui.closeRequested) reactor.runOnce(1000);
    server.exit();
    reactor.unwatch(signals.handle());
    // Another server has the data directory: this one did nothing, and says so by its status.
    return ui.refused ? 1 : 0;
}
