#pragma once

#include <memory>

#include "common/console/console.h"
#include "common/gui/qt_reactor.h"
#include "server/core/server.h"
#include "server/gui/main_window.h"
#include "server/gui/window_ui.h"

namespace zelt::server {

// The server with its window: the reactor inside Qt's event loop, the console, the core, its
// front end and the main window, put together in this order and taken apart the other way,
// every window closed before the core goes. The program runs one; the tests run one each.
class WindowedServer {
public:
    explicit WindowedServer(ServerOptions options);
    ~WindowedServer();
    WindowedServer(const WindowedServer&) = delete;
    WindowedServer& operator=(const WindowedServer&) = delete;

    // Shows the window and arms the start-up, which runs 500 ms later in the event loop.
    void launch();
    // The end: every window closed, then the server's exit (tables saved, sockets closed,
    // Temp emptied). Runs once; the destructor runs it when nobody did.
    void finish();

    gui::QtReactor& reactor() { return reactor_; }
    Console& console() { return console_; }
    WindowUi& ui() { return ui_; }
    Server& server() { return server_; }
    MainWindow& window() { return *window_; }

private:
    gui::QtReactor reactor_;
    Console console_;
    WindowUi ui_;
    Server server_;
    std::unique_ptr<MainWindow> window_;
    bool finished_ = false;
};

}  // namespace zelt::server
