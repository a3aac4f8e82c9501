#pragma once

#include <QDialog>

#include <memory>

#include "server/core/ui/account_dialogs.h"

namespace zelt::server {

namespace Ui {
class BackupPropertiesDialog;
}

// How many versions of each file are kept, chosen from the core's choices.
class BackupPropertiesDialog final : public QDialog {
    Q_OBJECT
public:
    BackupPropertiesDialog(BackupForm& form, QWidget* parent = nullptr);
    ~BackupPropertiesDialog() override;

    void accept() override;

private:
    std::unique_ptr<Ui::BackupPropertiesDialog> ui_;
    BackupForm& form_;
};

}  // namespace zelt::server
