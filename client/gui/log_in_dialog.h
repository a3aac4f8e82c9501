#pragma once

#include <QDialog>

#include <memory>

#include "client/core/ui/forms.h"
#include "common/ui/form_check.h"

namespace Ui {
class LogInDialog;
}

namespace zelt::client {

class IpAddressEdit;

// The Log-in dialog: the account, the server's address and port, and why the last attempt
// failed. OK runs the core's check; a refusal is shown and the dialog stays open with what was
// typed, otherwise the form takes the typed fields.
class LogInDialog final : public QDialog {
    Q_OBJECT
public:
    LogInDialog(LoginForm& form, ui::FormCheck<LoginForm> check, QWidget* parent = nullptr);
    ~LogInDialog() override;

    // The form as the fields hold it now.
    LoginForm typed() const;

    // For the tests and the pictures, which type into the fields as a user does.
    IpAddressEdit* addressEdit() const;

    void accept() override;

private:
    void placeFocus();

    std::unique_ptr<Ui::LogInDialog> ui_;
    LoginForm& form_;
    ui::FormCheck<LoginForm> check_;
};

}  // namespace zelt::client
