#include "common/gui/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

namespace zelt::gui {

namespace {
// A running copy answers at once; a dead one's socket refuses at once.
constexpr int kConnectWait = 1000;
constexpr char kForward = 'F';
}  // namespace

SingleInstance::SingleInstance(ui::Program program, QObject* parent)
    : SingleInstance(keyFor(program), parent) {}

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(ui::Program program) {
    // The home folder names the user whatever the environment says; hashed, it makes a
    // socket name of fixed length.
    const QByteArray home = QDir::homePath().toUtf8();
    const QByteArray user =
        QCryptographicHash::hash(home, QCryptographicHash::Sha1).toHex().left(16);
    const QString name = program == ui::Program::Server ? QStringLiteral("zelt-server")
                                                        : QStringLiteral("zelt-client");
    return name + QLatin1Char('-') + QString::fromLatin1(user);
}

bool SingleInstance::forwardToRunning() {
    {
        QLocalSocket other;
        other.connectToServer(key_);
        if (other.waitForConnected(kConnectWait)) {
            other.write(&kForward, 1);
            other.waitForBytesWritten(kConnectWait);
            other.disconnectFromServer();
            return true;
        }
    }
    server_ = new QLocalServer(this);
    // Only this user may reach the socket.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(key_)) {
        // A copy that died left its socket behind; nobody answered on it above.
        QLocalServer::removeServer(key_);
        server_->listen(key_);
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            auto read = [this, socket] {
                if (socket->readAll().contains(kForward)) bringForward();
            };
            connect(socket, &QLocalSocket::readyRead, this, read);
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // The request may have come in with the connection itself.
            if (socket->bytesAvailable() > 0) read();
        }
    });
    return false;
}

void SingleInstance::bringForward() {
    if (!window_) return;
    QWidget* window = window_->window();
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace zelt::gui
