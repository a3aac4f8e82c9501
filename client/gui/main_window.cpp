#include "client/gui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSessionManager>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "client/core/ui/commands.h"
#include "client/core/ui/texts.h"
#include "client/gui/client_windows.h"
#include "client/gui/desktop_notifier.h"
#include "client/gui/file_icons.h"
#include "common/gui/console_view.h"
#include "common/gui/desktop_open.h"
#include "common/gui/text_codec.h"

namespace zelt::client {

using gui::toQt;

namespace {

// The console's three columns and a little room.
constexpr QSize kStartSize(880, 560);
constexpr int kToolIcon = 32;

ClientOptions withDesktop(ClientOptions options) {
    if (!options.shellOpen) options.shellOpen = gui::openWithDesktop;
    return options;
}

QString toolbarPicture(ClientCommand command) {
    switch (command) {
        case ClientCommand::Connect:
            return QStringLiteral("toolbar_connect");
        case ClientCommand::Status:
            return QStringLiteral("toolbar_status");
        case ClientCommand::YourGroups:
            return QStringLiteral("toolbar_group");
        case ClientCommand::WorkingFiles:
            return QStringLiteral("toolbar_working");
        default:
            return QStringLiteral("toolbar_message");
    }
}

}  // namespace

MainWindow::MainWindow(Reactor& reactor, ClientOptions options, QWidget* parent)
    : QMainWindow(parent),
      windows_(std::make_unique<ClientWindows>(*this)),
      core_(std::make_unique<ClientCore>(reactor, *windows_, withDesktop(std::move(options)))) {
    windows_->attach(*core_);
    setWindowTitle(toQt(text::frame::Title));
    setWindowIcon(programIcon());

    ClientCore* core = core_.get();
    console_ = new gui::ConsoleView(
        core_->console(), ui::Program::Client, [core](int line) { core->executeLine(line); }, this);
    setCentralWidget(console_);
    buildMenus();
    buildToolBar();
    statusBar()->setSizeGripEnabled(true);
    resize(kStartSize);
    updateCommands(core_->connectionState());

    // The desktop session ends: the connection goes without a word, and the windows close.
    connect(qApp, &QGuiApplication::commitDataRequest, this,
            [core](QSessionManager&) { core->endSession(); });
}

MainWindow::~MainWindow() {
    // Everything that draws the core or calls it goes before the core: the windows it opened
    // and the console view, which watches the core's console.
    for (QDialog* dialog : findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) delete dialog;
    delete takeCentralWidget();
}

void MainWindow::buildMenus() {
    std::map<std::string_view, QMenu*> menus;
    for (std::string_view name : kMenus) menus[name] = menuBar()->addMenu(toQt(name));
    std::map<std::string_view, QMenu*> submenus;
    for (const CommandInfo& info : commandTable()) {
        if (info.menu.empty()) continue;  // the console's own context menu has Execute
        QMenu* menu = menus.at(info.menu);
        if (!info.submenu.empty()) {
            QMenu*& sub = submenus[info.submenu];
            if (sub == nullptr) {
                if (info.separatorBefore) menu->addSeparator();
                sub = menu->addMenu(toQt(info.submenu));
            }
            menu = sub;
        } else if (info.separatorBefore) {
            menu->addSeparator();
        }
        auto* action = menu->addAction(toQt(info.item));
        if (!info.accelerator.empty()) {
            action->setShortcut(QKeySequence(toQt(info.accelerator)));
            action->setShortcutContext(Qt::WindowShortcut);
        }
        action->setStatusTip(toQt(info.prompt));
        action->setToolTip(toQt(info.prompt));
        action->setIconVisibleInMenu(false);
        const ClientCommand command = info.command;
        connect(action, &QAction::triggered, this, [this, command] { core_->runCommand(command); });
        actions_[command] = action;
    }
    actions_[ClientCommand::Execute] = console_->executeAction();
}

void MainWindow::buildToolBar() {
    toolBar_ = addToolBar(QString());
    toolBar_->setObjectName(QStringLiteral("toolbar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setIconSize(QSize(kToolIcon, kToolIcon));
    toolBar_->toggleViewAction()->setVisible(false);
    for (const ToolbarItem& item : toolbar()) {
        if (item.gap) {
            toolBar_->addSeparator();
            continue;
        }
        QAction* action = actions_.at(item.command);
        action->setIcon(
            QIcon(QStringLiteral(":/zelt/client/icons/%1.svg").arg(toolbarPicture(item.command))));
        action->setIconText(toQt(item.caption));
        toolBar_->addAction(action);
        if (auto* button = qobject_cast<QToolButton*>(toolBar_->widgetForAction(action))) {
            button->setMinimumSize(text::frame::ToolbarButtonWidth,
                                   text::frame::ToolbarButtonHeight);
            button->setAutoRaise(true);
        }
    }
}

void MainWindow::updateCommands(ConnectionState state) {
    for (const auto& [command, action] : actions_) {
        if (command == ClientCommand::Execute) continue;  // the console decides per line
        action->setEnabled(client::commandEnabled(command, state));
    }
    Q_EMIT commandsUpdated(state);
}

void MainWindow::closeNow() {
    closing_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_ || core_->windowCloseRequested()) {
        closing_ = true;
        event->accept();
        return;
    }
    // Connected: the close box disconnected instead.
    event->ignore();
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        windows_->notifier().windowActivated();
    }
}

}  // namespace zelt::client
