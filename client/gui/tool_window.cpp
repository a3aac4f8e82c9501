#include "client/gui/tool_window.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <numeric>

namespace zelt::client {

ToolWindow::ToolWindow(Close close, QWidget* parent) : QDialog(parent), close_(std::move(close)) {
    setModal(false);
}

void ToolWindow::follow(const ToolWindowState& state, bool toFront) {
    if (!state.visible) {
        if (isVisible()) hide();
        return;
    }
    const bool appearing = !isVisible();
    if (appearing) show();
    if (appearing || toFront) {
        raise();
        activateWindow();
    }
}

void ToolWindow::reject() {
    if (close_) close_();
}

void ToolWindow::closeEvent(QCloseEvent* event) {
    // The core decides; its model hides the window.
    event->ignore();
    if (close_) close_();
}

std::vector<int> selectedRows(const QTreeWidget* list) {
    std::vector<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void selectRows(QTreeWidget* list, const std::vector<int>& rows) {
    if (selectedRows(list) == rows) return;
    QItemSelection selection;
    for (int row : rows) {
        const QModelIndex index = list->model()->index(row, 0);
        if (index.isValid()) selection.select(index, index);
    }
    list->selectionModel()->select(selection,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void setUpFileList(QTreeWidget* list, const std::vector<int>& columnWidths) {
    list->setColumnCount(static_cast<int>(columnWidths.size()));
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSortingEnabled(false);
    list->setAllColumnsShowFocus(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setTextElideMode(Qt::ElideMiddle);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QHeaderView* header = list->header();
    header->setSectionsMovable(false);
    header->setSectionsClickable(false);
    header->setStretchLastSection(false);
    for (int k = 0; k < static_cast<int>(columnWidths.size()); ++k) {
        list->setColumnWidth(k, columnWidths[static_cast<std::size_t>(k)]);
        header->setSectionResizeMode(k, k == 0 ? QHeaderView::Stretch : QHeaderView::Interactive);
    }
    // Every column at its width, and the scroll bar beside them.
    const int columns = std::accumulate(columnWidths.begin(), columnWidths.end(), 0);
    const int scrollBar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    list->setMinimumWidth(columns + scrollBar + 2 * list->frameWidth() + 2);
}

void giveRoom(QDialog* window, QTreeWidget* list, int rows, int extraCharacters) {
    const QFontMetrics metrics = list->fontMetrics();
    // A row is a line of text with the style's margins, or the icon, whichever is taller.
    const int row = std::max(metrics.height(), list->iconSize().height()) + 6;
    const int wanted = list->header()->sizeHint().height() + rows * row + 2 * list->frameWidth();
    const QSize hint = window->sizeHint();
    window->resize(hint.width() + extraCharacters * metrics.averageCharWidth(),
                   hint.height() + std::max(0, wanted - list->sizeHint().height()));
}

}  // namespace zelt::client
