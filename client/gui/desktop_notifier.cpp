#include "client/gui/desktop_notifier.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>

#include "client/core/ui/texts.h"
#include "client/gui/file_icons.h"
#include "common/gui/text_codec.h"

namespace zelt::client {

namespace {
constexpr int kShownFor = 10000;
}  // namespace

DesktopNotifier::DesktopNotifier(QWidget* window) : QObject(window), window_(window) {}

bool DesktopNotifier::notify(const QString& text) {
    // Any of the program's windows in front means the user sees the console line already.
    if (QApplication::activeWindow() != nullptr) return false;
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
    if (tray_ == nullptr) {
        tray_ = new QSystemTrayIcon(programIcon(), this);
        tray_->setToolTip(gui::toQt(text::frame::Title));
        connect(tray_, &QSystemTrayIcon::activated, this, &DesktopNotifier::bringForward);
        connect(tray_, &QSystemTrayIcon::messageClicked, this, &DesktopNotifier::bringForward);
    }
    tray_->show();
    tray_->showMessage(gui::toQt(text::frame::ProgramName), text, programIcon(), kShownFor);
    return true;
}

void DesktopNotifier::windowActivated() {
    if (tray_ != nullptr) tray_->hide();
}

void DesktopNotifier::bringForward() {
    if (!window_) return;
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace zelt::client
