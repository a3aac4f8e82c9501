#pragma once

#include <QDialog>

#include <memory>

#include "server/core/ui/account_dialogs.h"

namespace zelt::server {

namespace Ui {
class ChangeCommunicationPortDialog;
}

// The port the next start listens on. OK runs the core's check; a refusal keeps the dialog
// open with what was typed.
class ChangeCommunicationPortDialog final : public QDialog {
    Q_OBJECT
public:
    ChangeCommunicationPortDialog(PortForm& form, ui::FormCheck<PortForm> check,
                                  QWidget* parent = nullptr);
    ~ChangeCommunicationPortDialog() override;

    void accept() override;

private:
    std::unique_ptr<Ui::ChangeCommunicationPortDialog> ui_;
    PortForm& form_;
    ui::FormCheck<PortForm> check_;
};

}  // namespace zelt::server
