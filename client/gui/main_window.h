#pragma once

#include <QMainWindow>

#include <map>
#include <memory>

#include "client/core/client.h"

class QAction;
class QToolBar;

namespace zelt::gui {
class ConsoleView;
}

namespace zelt::client {

class ClientWindows;

// The client's main window: the Session, Work, Message and Help menus, the toolbar, the status
// bar with each command's prompt, and the console filling the rest. It owns the client core,
// whose commands it runs and whose connection state it follows in what may be chosen.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    // options.shellOpen, when empty, is the desktop's own opening.
    MainWindow(Reactor& reactor, ClientOptions options, QWidget* parent = nullptr);
    ~MainWindow() override;

    ClientCore& core() { return *core_; }
    ClientWindows& windows() { return *windows_; }
    gui::ConsoleView* consoleView() const { return console_; }
    QToolBar* toolBar() const { return toolBar_; }
    QAction* action(ClientCommand command) const { return actions_.at(command); }

    // Takes the data directory and arms the start-up, which opens the Log-in dialog.
    [[nodiscard]] StartUpResult start() { return core_->start(); }

    // Menus and toolbar follow the connection.
    void updateCommands(ConnectionState state);
    // Closes without asking; the core has cleaned up.
    void closeNow();

Q_SIGNALS:
    // The commands have been enabled for this state (the tests watch each state go by).
    void commandsUpdated(zelt::client::ConnectionState state);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();

    std::unique_ptr<ClientWindows> windows_;
    std::unique_ptr<ClientCore> core_;
    gui::ConsoleView* console_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    std::map<ClientCommand, QAction*> actions_;
    bool closing_ = false;
};

}  // namespace zelt::client
