#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QSystemTrayIcon;
class QWidget;

namespace zelt::client {

// Tells the user of news while another program is in front: a message from the notification
// area, where the desktop has one. Its icon shows while there is news the user has not come
// back for, and a click on it or on the message brings the window forward.
class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QWidget* window);

    // Shows text unless the program is the active one; returns whether it was shown.
    bool notify(const QString& text);
    // The user is back: the icon goes.
    void windowActivated();

private:
    void bringForward();

    QPointer<QWidget> window_;
    QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace zelt::client
