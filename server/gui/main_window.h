#pragma once

#include <QMainWindow>

#include <map>

#include "common/console/console.h"
#include "server/core/admin/server_commands.h"
#include "server/core/ui/commands.h"

class QAction;
class QToolBar;

namespace zelt::gui {
class ConsoleView;
}

namespace zelt::server {

// "ZELT server - Holmvik Lab": the menu bar, the toolbar and the status bar of the server's
// commands around the console. Every command runs through the core's command table; the
// window only follows the core's state for enabling and for its close box.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int ButtonWidth = 52;
    static constexpr int ButtonHeight = 58;

    MainWindow(ServerCommands& commands, Console& console, QWidget* parent = nullptr);
    ~MainWindow() override;

    gui::ConsoleView* consoleView() const { return console_; }
    QToolBar* commandBar() const { return toolBar_; }
    QAction* action(CommandId id) const;

    // Enables each command as the core allows it now.
    void updateCommands();
    // Closes once the current event is handled, without the check of the close box.
    void closeWithoutAsking();

Q_SIGNALS:
    // The window has closed and the program may end.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolBar();

    ServerCommands& commands_;
    gui::ConsoleView* console_;
    QToolBar* toolBar_ = nullptr;
    std::map<CommandId, QAction*> actions_;
    bool closing_ = false;
};

}  // namespace zelt::server
