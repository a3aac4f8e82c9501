#include "server/gui/start_window.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cstdio>

#include "common/gui/single_instance.h"
#include "common/platform/signals.h"
#include "server/core/ui/texts.h"
#include "server/gui/windowed_server.h"
#include "server/headless/headless.h"

namespace zelt::server {

namespace {

// Qt opens a window through X11 or Wayland, or through the platform a caller names.
bool displayAvailable() {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(variable)) return true;
    }
    return false;
}

// One window per data directory: a second start on the same one brings the first forward,
// while a server on another data directory runs beside it.
QString instanceKey(const std::string& dataDir) {
    const QByteArray where =
        QFile::encodeName(QDir(QFile::decodeName(dataDir.c_str())).absolutePath());
    const QByteArray hash = QCryptographicHash::hash(where, QCryptographicHash::Sha1).toHex();
    return gui::SingleInstance::keyFor(ui::Program::Server) + QLatin1Char('-') +
           QString::fromLatin1(hash.left(12));
}

}  // namespace

int startWindow(const std::string& dataDirOption, int& argc, char** argv) {
    if (!displayAvailable()) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text::NoDisplay.size()),
                     text::NoDisplay.data());
        return 2;
    }
    QApplication app(argc, argv);
    // The main window's close ends the program, whatever File Properties windows are open.
    QApplication::setQuitOnLastWindowClosed(false);

    ServerOptions options;
    options.dataDir = serverDataDirectory(dataDirOption);
    gui::SingleInstance instance(instanceKey(options.dataDir));
    if (instance.forwardToRunning()) return 0;

    WindowedServer server(options);
    server.server().commands().setContactAddress(serverContactAddress());
    instance.setWindow(&server.window());
    QObject::connect(&server.window(), &MainWindow::closed, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // Ctrl+C in the terminal or a kill ends the program in order, as the headless one does:
    // the clients lose their connections without lines and the tables are saved.
    TerminationSignals signals;
    server.reactor().watch(signals.handle(), kReadable, [&](unsigned) {
        signals.take();
        server.server().shutdown().closeCommunication(false);
        server.window().closeWithoutAsking();
    });
    server.launch();
    QApplication::exec();
    server.reactor().unwatch(signals.handle());
    server.finish();
    return server.ui().refused() ? 1 : 0;
}

}  // namespace zelt::server
