#pragma once

#include <QDialog>

#include <memory>

#include "server/core/ui/account_dialogs.h"

namespace zelt::server {

namespace Ui {
class ShutDownScheduleDialog;
}

// In how many minutes the communication closes: a choice of the usual ones or any number
// typed. OK runs the core's check; a refusal keeps the dialog open with what was typed.
class ShutDownScheduleDialog final : public QDialog {
    Q_OBJECT
public:
    ShutDownScheduleDialog(ShutdownForm& form, ui::FormCheck<ShutdownForm> check,
                           QWidget* parent = nullptr);
    ~ShutDownScheduleDialog() override;

    void accept() override;

private:
    std::unique_ptr<Ui::ShutDownScheduleDialog> ui_;
    ShutdownForm& form_;
    ui::FormCheck<ShutdownForm> check_;
};

}  // namespace zelt::server
