#pragma once

#include <QString>

#include <memory>

#include "client/gui/tool_window.h"

class QPushButton;
class QProgressBar;

namespace Ui {
class FileTransferDialog;
}

namespace zelt::client {

class ClientCore;

// The file on its way, how far it has come, how fast and for how long yet. Cancel, the close
// box and Escape all cancel; the transfer stops at its next chunk.
class FileTransferDialog final : public ToolWindow {
    Q_OBJECT
public:
    FileTransferDialog(ClientCore& core, QWidget* parent);
    ~FileTransferDialog() override;

    void draw(const FileTransferModel& model);

    QProgressBar* progressBar() const;
    QPushButton* cancelButton() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPath();

    std::unique_ptr<Ui::FileTransferDialog> ui_;
    QString path_;
};

}  // namespace zelt::client
