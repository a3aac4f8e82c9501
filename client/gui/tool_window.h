#pragma once

#include <QDialog>

#include <functional>
#include <vector>

#include "client/core/ui/models.h"

class QTreeWidget;

namespace zelt::client {

// What the client's four tool windows share: the core says whether a window is shown, and the
// close box, Escape and Close hand the closing to the core, which hides the window through its
// model. Each window is created on first use and kept until the client closes.
class ToolWindow : public QDialog {
    Q_OBJECT
public:
    using Close = std::function<void()>;

    ToolWindow(Close close, QWidget* parent);

    // Shows or hides the window as the model says; toFront brings a shown window forward.
    void follow(const ToolWindowState& state, bool toFront);

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Close close_;
};

// A list's selected rows, in list order.
std::vector<int> selectedRows(const QTreeWidget* list);
// Selects exactly these rows, without moving the current row when it stays selected.
void selectRows(QTreeWidget* list, const std::vector<int>& rows);
// A list of files as both windows show them: whole rows, no tree, no sorting, paths cut in
// the middle, the first column taking what room there is, the others the widths given.
void setUpFileList(QTreeWidget* list, const std::vector<int>& columnWidths);
// Opens the window with room for this many rows of its list, and its file column this many
// characters wider than the least it is given: paths are long.
void giveRoom(QDialog* window, QTreeWidget* list, int rows, int extraCharacters);

}  // namespace zelt::client
