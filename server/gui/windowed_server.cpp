#include "server/gui/windowed_server.h"

#include <QGuiApplication>
#include <QSessionManager>

namespace zelt::server {

WindowedServer::WindowedServer(ServerOptions options)
    : console_(reactor_.clock()), server_(reactor_, console_, ui_, std::move(options)) {
    window_ = std::make_unique<MainWindow>(server_.commands(), console_);
    ui_.attach(*window_, server_);
    // The desktop session is ending: the clients lose their connections now, without lines,
    // and the window no longer refuses to close.
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, window_.get(),
                     [this](QSessionManager&) { server_.shutdown().closeCommunication(false); });
}

WindowedServer::~WindowedServer() {
    finish();
}

void WindowedServer::launch() {
    window_->show();
    server_.launch();
}

void WindowedServer::finish() {
    if (finished_) return;
    finished_ = true;
    ui_.closeWindows();
    server_.exit();
}

}  // namespace zelt::server
