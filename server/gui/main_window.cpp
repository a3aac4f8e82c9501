#include "server/gui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "common/gui/console_view.h"
#include "common/gui/text_codec.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {

using gui::toQt;

// The toolbar's pictures, our own artwork in the resource file.
QIcon buttonIcon(CommandId id) {
    const char* name = "all";
    switch (id) {
        case CommandId::GroupStatus:
            name = "group";
            break;
        case CommandId::AccountStatus:
            name = "account";
            break;
        case CommandId::SessionStatus:
            name = "session";
            break;
        case CommandId::NewMessage:
            name = "message";
            break;
        default:
            break;
    }
    return QIcon(QStringLiteral(":/zelt/server/icons/%1.svg").arg(QLatin1String(name)));
}

constexpr int kIconSize = 32;
// Between the Message and All buttons.
constexpr int kGapWidth = 14;
// The console's three columns and a scroll bar, and room for a few dozen lines.
constexpr QSize kInitialSize(880, 560);

}  // namespace

MainWindow::MainWindow(ServerCommands& commands, Console& console, QWidget* parent)
    : QMainWindow(parent), commands_(commands) {
    setWindowTitle(toQt(text::MainWindowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/zelt/server/icons/zelt_server.svg")));
    console_ = new gui::ConsoleView(
        console, ui::Program::Server, [this](int line) { commands_.executeLine(line); }, this);
    setCentralWidget(console_);
    buildMenus();
    buildToolBar();
    // One pane: the prompt of whatever command is highlighted.
    statusBar()->setSizeGripEnabled(true);
    resize(kInitialSize);
    updateCommands();
    console_->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus() {
    std::map<std::string_view, QMenu*> menus;
    for (const CommandInfo& command : commandTable()) {
        // The console's own context menu holds Execute.
        if (command.menu.empty()) continue;
        QMenu*& menu = menus[command.menu];
        if (menu == nullptr) menu = menuBar()->addMenu(toQt(command.menu));
        if (command.separatorBefore) menu->addSeparator();
        QAction* action = menu->addAction(toQt(command.item));
        if (!command.accelerator.empty()) {
            action->setShortcut(QKeySequence(toQt(command.accelerator)));
            action->setShortcutContext(Qt::WindowShortcut);
        }
        action->setStatusTip(toQt(command.prompt));
        action->setToolTip(toQt(command.prompt));
        const CommandId id = command.id;
        connect(action, &QAction::triggered, this, [this, id] { commands_.run(id); });
        actions_[id] = action;
    }
}

void MainWindow::buildToolBar() {
    toolBar_ = addToolBar(QString());
    toolBar_->setObjectName(QStringLiteral("commandBar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->toggleViewAction()->setVisible(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar_->setIconSize(QSize(kIconSize, kIconSize));
    for (const ToolbarButton& button : toolbar()) {
        if (button.gap) {
            auto* gap = new QWidget(toolBar_);
            gap->setFixedWidth(kGapWidth);
            toolBar_->addWidget(gap);
            continue;
        }
        QAction* action = actions_.at(button.id);
        action->setIconText(toQt(button.caption));
        action->setIcon(buttonIcon(button.id));
        toolBar_->addAction(action);
        QWidget* widget = toolBar_->widgetForAction(action);
        widget->setMinimumSize(ButtonWidth, ButtonHeight);
        widget->setObjectName(toQt(button.caption));
    }
}

QAction* MainWindow::action(CommandId id) const {
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::updateCommands() {
    for (const auto& [id, action] : actions_) action->setEnabled(commands_.enabled(id));
}

void MainWindow::closeWithoutAsking() {
    closing_ = true;
    // The request may come from inside the console's own double-click.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // While the server listens the close box only shows how to shut down.
    if (!closing_ && !commands_.requestClose()) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT closed();
}

}  // namespace zelt::server
