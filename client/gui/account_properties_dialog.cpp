#include "client/gui/account_properties_dialog.h"

#include <QPushButton>

#include "client/core/ui/texts.h"
#include "common/gui/message_boxes.h"
#include "common/gui/text_codec.h"
#include "ui_account_properties_dialog.h"

namespace zelt::client {

using gui::toBytes;
using gui::toQt;

AccountPropertiesDialog::AccountPropertiesDialog(PasswordForm& form,
                                                 ui::FormCheck<PasswordForm> check, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::AccountPropertiesDialog>()),
      form_(form),
      check_(std::move(check)) {
    ui_->setupUi(this);
    setWindowTitle(toQt(text::account::Title));
    ui_->passwordGroup->setTitle(toQt(text::account::PasswordGroup));
    ui_->currentLabel->setText(toQt(text::account::Current));
    ui_->newLabel->setText(toQt(text::account::New));
    ui_->retypeLabel->setText(toQt(text::account::Retype));
    ui_->buttons->button(QDialogButtonBox::Ok)->setText(toQt(text::buttons::Ok));
    ui_->buttons->button(QDialogButtonBox::Cancel)->setText(toQt(text::buttons::Cancel));
    for (QLineEdit* edit : {ui_->currentEdit, ui_->newEdit, ui_->retypeEdit}) {
        edit->setMaxLength(static_cast<int>(kMaxPassword));
        edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 24);
    }
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &AccountPropertiesDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &AccountPropertiesDialog::reject);
}

AccountPropertiesDialog::~AccountPropertiesDialog() = default;

void AccountPropertiesDialog::accept() {
    PasswordForm typed;
    typed.current = toBytes(ui_->currentEdit->text(), kMaxPassword);
    typed.replacement = toBytes(ui_->newEdit->text(), kMaxPassword);
    typed.retype = toBytes(ui_->retypeEdit->text(), kMaxPassword);
    if (const std::optional<std::string> refusal = check_(typed)) {
        gui::showInformation(this, ui::Program::Client, *refusal);
        return;
    }
    form_ = typed;
    QDialog::accept();
}

}  // namespace zelt::client
