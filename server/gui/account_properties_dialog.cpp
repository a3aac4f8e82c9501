#include "server/gui/account_properties_dialog.h"

#include "common/gui/text_codec.h"
#include "server/gui/dialog_support.h"
#include "ui_account_properties_dialog.h"

namespace zelt::server {

using gui::toQt;
using Limits = AccountFieldLimits;

AccountPropertiesDialog::AccountPropertiesDialog(AccountForm& form,
                                                 ui::FormCheck<AccountForm> check, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::AccountPropertiesDialog>()),
      form_(form),
      check_(std::move(check)) {
    ui_->setupUi(this);
    setWindowTitle(toQt(text::AccountPropertiesTitle));
    ui_->loginFrame->setTitle(toQt(text::LogInInformationFrame));
    ui_->userFrame->setTitle(toQt(text::UserInformationFrame));
    ui_->controlFrame->setTitle(toQt(text::AccountControlFrame));
    ui_->userNameLabel->setText(toQt(text::UserNameLabel));
    ui_->passwordLabel->setText(toQt(text::PasswordLabel));
    ui_->retypeLabel->setText(toQt(text::RetypeLabel));
    ui_->nameLabel->setText(toQt(text::NameLabel));
    ui_->deptLabel->setText(toQt(text::DeptLabel));
    ui_->emailLabel->setText(toQt(text::EmailLabel));
    ui_->phoneLabel->setText(toQt(text::PhoneLabel));
    ui_->miscLabel->setText(toQt(text::MiscLabel));
    ui_->disableCheck->setText(toQt(text::DisableAccountBox));
    ui_->removeCheck->setText(toQt(text::RemoveAccountBox));
    ui_->disconnectCheck->setText(toQt(text::DisconnectBox));
    alignLabels({ui_->userNameLabel, ui_->passwordLabel, ui_->retypeLabel, ui_->nameLabel,
                 ui_->deptLabel, ui_->emailLabel, ui_->phoneLabel, ui_->miscLabel});
    setOkCancel(ui_->buttons);

    setField(ui_->userNameEdit, form.userName, Limits::userName);
    setField(ui_->passwordEdit, form.password, Limits::password);
    setField(ui_->retypeEdit, form.retype, Limits::password);
    setField(ui_->nameEdit, form.name, Limits::name);
    setField(ui_->deptEdit, form.dept, Limits::dept);
    setField(ui_->emailEdit, form.email, Limits::email);
    setField(ui_->phoneEdit, form.phone, Limits::phone);
    setField(ui_->miscEdit, form.misc, Limits::misc);
    ui_->disableCheck->setChecked(form.disable);
    ui_->removeCheck->setChecked(form.remove);
    ui_->removeCheck->setEnabled(form.removeEnabled);
    ui_->disconnectCheck->setChecked(form.disconnect);
    ui_->disconnectCheck->setEnabled(form.disconnectEnabled);

    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

AccountPropertiesDialog::~AccountPropertiesDialog() = default;

AccountForm AccountPropertiesDialog::typed() const {
    AccountForm typed = form_;
    typed.userName = fieldText(ui_->userNameEdit, Limits::userName);
    typed.password = fieldText(ui_->passwordEdit, Limits::password);
    typed.retype = fieldText(ui_->retypeEdit, Limits::password);
    typed.name = fieldText(ui_->nameEdit, Limits::name);
    typed.dept = fieldText(ui_->deptEdit, Limits::dept);
    typed.email = fieldText(ui_->emailEdit, Limits::email);
    typed.phone = fieldText(ui_->phoneEdit, Limits::phone);
    typed.misc = fieldText(ui_->miscEdit, Limits::misc);
    typed.disable = ui_->disableCheck->isChecked();
    typed.remove = ui_->removeCheck->isChecked();
    typed.disconnect = ui_->disconnectCheck->isChecked();
    return typed;
}

void AccountPropertiesDialog::accept() {
    const AccountForm entered = typed();
    if (!passesCheck(this, check_, entered)) return;
    form_ = entered;
    QDialog::accept();
}

}  // namespace zelt::server
