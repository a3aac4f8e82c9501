#pragma once

#include <memory>

#include "client/gui/tool_window.h"

class QPushButton;

namespace Ui {
class FilePropertiesDialog;
}

namespace zelt::client {

class ClientCore;

// One file as the server last described it: its group, who holds it and since when (with a
// button to write to that user), and its last update.
class FilePropertiesDialog final : public ToolWindow {
    Q_OBJECT
public:
    FilePropertiesDialog(ClientCore& core, QWidget* parent);
    ~FilePropertiesDialog() override;

    void draw(const FilePropertiesModel& model);

    QPushButton* sendMessageButton() const;

private:
    std::unique_ptr<Ui::FilePropertiesDialog> ui_;
    ClientCore& core_;
};

}  // namespace zelt::client
