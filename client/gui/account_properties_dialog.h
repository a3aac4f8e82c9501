#pragma once

#include <QDialog>

#include <memory>

#include "client/core/ui/forms.h"
#include "common/ui/form_check.h"

namespace Ui {
class AccountPropertiesDialog;
}

namespace zelt::client {

// The user's new password, typed twice beside the current one. OK runs the core's check; a
// refusal is shown and the dialog stays open.
class AccountPropertiesDialog final : public QDialog {
    Q_OBJECT
public:
    AccountPropertiesDialog(PasswordForm& form, ui::FormCheck<PasswordForm> check,
                            QWidget* parent = nullptr);
    ~AccountPropertiesDialog() override;

    void accept() override;

private:
    std::unique_ptr<Ui::AccountPropertiesDialog> ui_;
    PasswordForm& form_;
    ui::FormCheck<PasswordForm> check_;
};

}  // namespace zelt::client
