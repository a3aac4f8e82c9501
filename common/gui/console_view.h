#pragma once

#include <QWidget>

#include <functional>

#include "common/console/console.h"
#include "common/ui/shared_windows.h"

class QAction;
class QMenu;
class QTreeView;

namespace zelt::gui {

class ConsoleFindBar;
class ConsoleModel;

// The console as the main area of either program's window: the lines with their icons, tags
// and stamps, always scrolled to the newest; a double-click or the one-item context menu runs
// a line's function through the program's execute; Ctrl+F opens a find bar over the lines.
class ConsoleView final : public QWidget {
    Q_OBJECT
public:
    // Runs the function of the line with this index (the core's execute).
    using Execute = std::function<void(int line)>;

    ConsoleView(Console& console, ui::Program program, Execute execute, QWidget* parent = nullptr);
    ~ConsoleView() override;

    QTreeView* list() const { return list_; }
    ConsoleModel* model() const { return model_; }
    ConsoleFindBar* findBar() const { return findBar_; }
    // The context menu; it is only ever shown for a selected line that has a function.
    QMenu* contextMenu() const { return menu_; }
    QAction* executeAction() const { return execute_; }

    void openFind();
    void closeFind();
    // Selects the next (forward) or previous line after the selected one whose text holds
    // text, ignoring case, going round the end; returns whether there was one.
    bool find(const QString& text, bool forward);

private:
    void showContextMenu(const QPoint& globalPos);
    void followNewest();

    Console& console_;
    Execute run_;
    ConsoleModel* model_;
    QTreeView* list_;
    ConsoleFindBar* findBar_;
    QMenu* menu_;
    QAction* execute_;
    bool followPending_ = false;
};

}  // namespace zelt::gui
