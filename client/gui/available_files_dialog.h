#pragma once

#include <memory>

#include "client/gui/tool_window.h"

class QPushButton;
class QTreeWidget;

namespace Ui {
class AvailableFilesDialog;
}

namespace zelt::client {

class ClientCore;

// One group's files, who holds each checked-out one and since when; the selected files are
// checked out with Check-out or a double-click.
class AvailableFilesDialog final : public ToolWindow {
    Q_OBJECT
public:
    enum Column { FileColumn = 0, HolderColumn = 1, SinceColumn = 2 };

    AvailableFilesDialog(ClientCore& core, QWidget* parent);
    ~AvailableFilesDialog() override;

    void draw(const AvailableFilesModel& model);

    QTreeWidget* fileList() const;
    QPushButton* refreshButton() const;
    QPushButton* propertiesButton() const;
    QPushButton* checkOutButton() const;

private:
    void drawRows(const AvailableFilesModel& model, bool rebuild);

    std::unique_ptr<Ui::AvailableFilesDialog> ui_;
    ClientCore& core_;
    bool drawing_ = false;
};

}  // namespace zelt::client
