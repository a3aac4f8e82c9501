#pragma once

#include <QDialog>

#include <memory>

#include "server/core/ui/account_dialogs.h"

namespace zelt::server {

namespace Ui {
class AccountPropertiesDialog;
}

// One account's log-in, its optional details and its control boxes, for a new account or an
// existing one. OK runs the core's check on what was typed: a refusal keeps the dialog open
// with everything as typed; otherwise the form receives the entries.
class AccountPropertiesDialog final : public QDialog {
    Q_OBJECT
public:
    AccountPropertiesDialog(AccountForm& form, ui::FormCheck<AccountForm> check,
                            QWidget* parent = nullptr);
    ~AccountPropertiesDialog() override;

    void accept() override;

private:
    AccountForm typed() const;

    std::unique_ptr<Ui::AccountPropertiesDialog> ui_;
    AccountForm& form_;
    ui::FormCheck<AccountForm> check_;
};

}  // namespace zelt::server
