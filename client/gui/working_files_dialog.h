#pragma once

#include <memory>

#include "client/gui/tool_window.h"

class QPushButton;
class QTreeWidget;

namespace Ui {
class WorkingFilesDialog;
}

namespace zelt::client {

class ClientCore;

// The user's desk: the files held checked out, whether each has been fetched, and the actions
// on the selected ones.
class WorkingFilesDialog final : public ToolWindow {
    Q_OBJECT
public:
    enum Column { FileColumn = 0, FetchedColumn = 1 };

    WorkingFilesDialog(ClientCore& core, QWidget* parent);
    ~WorkingFilesDialog() override;

    void draw(const WorkingFilesModel& model);

    QTreeWidget* fileList() const;
    QPushButton* fetchButton() const;
    QPushButton* openButton() const;
    QPushButton* openFolderButton() const;
    QPushButton* checkInButton() const;
    QPushButton* voidButton() const;
    QPushButton* closeButton() const;

private:
    std::unique_ptr<Ui::WorkingFilesDialog> ui_;
    ClientCore& core_;
    bool drawing_ = false;
};

}  // namespace zelt::client
