#include "common/gui/console_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>

#include "common/gui/console_find_bar.h"
#include "common/gui/console_model.h"
#include "common/gui/text_codec.h"

namespace zelt::gui {

namespace {

constexpr int kColumnWidths[ConsoleModel::ColumnCount] = {600, 85, 140};

// The list itself; it only hands its context-menu requests to the view.
class ConsoleList final : public QTreeView {
public:
    std::function<void(QContextMenuEvent*)> onContextMenu;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override {
        if (onContextMenu) onContextMenu(event);
    }
};

}  // namespace

ConsoleView::ConsoleView(Console& console, ui::Program program, Execute execute, QWidget* parent)
    : QWidget(parent), console_(console), run_(std::move(execute)) {
    model_ = new ConsoleModel(console_, this);
    auto* list = new ConsoleList;
    list_ = list;
    list_->setModel(model_);
    // A list, not a tree; every row the same height, so that tens of thousands of lines
    // scroll without measuring each of them.
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSortingEnabled(false);
    list_->setWordWrap(false);
    QHeaderView* header = list_->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setStretchLastSection(true);
    for (int c = 0; c < ConsoleModel::ColumnCount; ++c) header->resizeSection(c, kColumnWidths[c]);

    findBar_ = new ConsoleFindBar(this);
    findBar_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(findBar_);
    layout->addWidget(list_, 1);
    setFocusProxy(list_);

    menu_ = new QMenu(this);
    execute_ = menu_->addAction(toQt(ui::text::ExecuteItem));
    execute_->setStatusTip(toQt(ui::executePrompt(program)));
    connect(execute_, &QAction::triggered, this, [this] {
        const int line = console_.selectedLine();
        if (line >= 0 && run_) run_(line);
    });

    list->onContextMenu = [this](QContextMenuEvent* event) {
        if (event->reason() == QContextMenuEvent::Mouse) {
            showContextMenu(event->globalPos());
            return;
        }
        // The menu key: at the selected line, where a mouse would have been.
        const QModelIndex current = list_->selectionModel()->currentIndex();
        const QRect row = list_->visualRect(current);
        if (!current.isValid() || !list_->viewport()->rect().intersects(row)) return;
        showContextMenu(list_->viewport()->mapToGlobal(row.bottomLeft()));
    };
    // The line under the mouse, whether or not it was the selected one.
    connect(list_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && run_) run_(index.row());
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = list_->selectionModel()->selectedRows();
        console_.select(rows.isEmpty() ? -1 : rows.first().row());
    });
    // While rows go at the top the view moves its current row, and may select what moved up
    // into a removed selected row's place: the console's own selection is shown again.
    connect(model_, &ConsoleModel::topLinesDropped, this, [this](int selectedRow) {
        QItemSelectionModel* selection = list_->selectionModel();
        if (selectedRow < 0) {
            selection->clearSelection();
        } else {
            selection->select(model_->index(selectedRow, 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        console_.select(selectedRow);
    });
    connect(model_, &QAbstractItemModel::rowsInserted, this, &ConsoleView::followNewest);

    auto* findKey = new QShortcut(QKeySequence::Find, this);
    findKey->setContext(Qt::WindowShortcut);
    connect(findKey, &QShortcut::activated, this, &ConsoleView::openFind);
    connect(
        findBar_, &ConsoleFindBar::findRequested, this,
        [this](const QString& text, bool forward) { findBar_->setNotFound(!find(text, forward)); });
    connect(findBar_, &ConsoleFindBar::closeRequested, this, &ConsoleView::closeFind);
}

ConsoleView::~ConsoleView() = default;

void ConsoleView::showContextMenu(const QPoint& globalPos) {
    const int line = console_.selectedLine();
    if (!console_.hasFunction(line)) return;
    menu_->popup(globalPos);
}

void ConsoleView::followNewest() {
    // Scrolling lays out every row; once per turn is enough however many lines came.
    if (followPending_) return;
    followPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            followPending_ = false;
            list_->scrollToBottom();
        },
        Qt::QueuedConnection);
}

void ConsoleView::openFind() { findBar_->open(); }

void ConsoleView::closeFind() {
    findBar_->setNotFound(false);
    findBar_->hide();
    list_->setFocus(Qt::OtherFocusReason);
}

bool ConsoleView::find(const QString& text, bool forward) {
    const int rows = model_->rowCount();
    if (text.isEmpty() || rows == 0) return false;
    const int selected = console_.selectedLine();
    int row = selected >= 0 ? selected : (forward ? -1 : rows);
    const auto& lines = console_.lines();
    for (int step = 0; step < rows; ++step) {
        row = forward ? (row + 1) % rows : (row - 1 + rows) % rows;
        if (!toQt(lines[static_cast<std::size_t>(row)].text).contains(text, Qt::CaseInsensitive)) {
            continue;
        }
        const QModelIndex index = model_->index(row, ConsoleModel::TextColumn);
        list_->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        list_->scrollTo(index, QAbstractItemView::PositionAtCenter);
        return true;
    }
    return false;
}

}  // namespace zelt::gui
