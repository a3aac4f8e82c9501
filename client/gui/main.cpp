// zelt-client [--data-dir DIR] [--user-dir DIR]
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>

#include <cstdio>
#include <cstring>
#include <string>

#include "client/core/ui/texts.h"
#include "client/gui/file_icons.h"
#include "client/gui/main_window.h"
#include "common/gui/message_boxes.h"
#include "common/gui/qt_reactor.h"
#include "common/gui/single_instance.h"

namespace {

constexpr const char* kUsage = "usage: zelt-client [--data-dir DIR] [--user-dir DIR]\n";

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// One window per user, and per data directory when one is named: a second start on the
// same one brings the first window forward instead.
QString instanceKey(const zelt::client::PlaceOptions& places) {
    QString key = zelt::gui::SingleInstance::keyFor(zelt::ui::Program::Client);
    if (places.dataDirectory.empty()) return key;
    const QByteArray folder =
        QDir(QString::fromLocal8Bit(places.dataDirectory.c_str())).absolutePath().toUtf8();
    return key + QLatin1Char('-') +
           QString::fromLatin1(
               QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(12));
}

}  // namespace

int main(int argc, char** argv) {
    // Asking how to start it needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    // Qt takes its own options (-style, -platform, ...) out of argv; the rest are ours.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zelt-client"));
    QApplication::setApplicationDisplayName(
        QString::fromUtf8(zelt::client::text::frame::ProgramName.data(),
                          static_cast<qsizetype>(zelt::client::text::frame::ProgramName.size())));
    QApplication::setWindowIcon(zelt::client::programIcon());

    zelt::client::ClientOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data-dir") == 0 && i + 1 < argc) {
            options.places.dataDirectory = argv[++i];
        } else if (std::strcmp(argv[i], "--user-dir") == 0 && i + 1 < argc) {
            options.places.userFolder = argv[++i];
        } else {
            return usage();
        }
    }

    zelt::gui::SingleInstance instance(instanceKey(options.places));
    if (instance.forwardToRunning()) return 0;

    zelt::gui::QtReactor reactor;
    zelt::client::MainWindow window(reactor, options);
    instance.setWindow(&window);
    window.show();
    const zelt::client::StartUpResult started = window.start();
    if (!started) {
        zelt::gui::showInformation(&window, zelt::ui::Program::Client, started.error);
        return 1;
    }
    return app.exec();
}
