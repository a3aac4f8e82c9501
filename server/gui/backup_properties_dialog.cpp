#include "server/gui/backup_properties_dialog.h"

#include "common/gui/text_codec.h"
#include "server/gui/dialog_support.h"
#include "ui_backup_properties_dialog.h"

namespace zelt::server {

BackupPropertiesDialog::BackupPropertiesDialog(BackupForm& form, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::BackupPropertiesDialog>()), form_(form) {
    ui_->setupUi(this);
    setWindowTitle(gui::toQt(text::BackupPropertiesTitle));
    ui_->retainLabel->setText(gui::toQt(text::RetainLastLabel));
    ui_->backupsLabel->setText(gui::toQt(text::BackupsLabel));
    setOkCancel(ui_->buttons);
    for (const std::string& choice : form.choices) ui_->retentionCombo->addItem(gui::toQt(choice));
    ui_->retentionCombo->setCurrentIndex(form.selected);
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

BackupPropertiesDialog::~BackupPropertiesDialog() = default;

void BackupPropertiesDialog::accept() {
    form_.selected = ui_->retentionCombo->currentIndex();
    QDialog::accept();
}

}  // namespace zelt::server
