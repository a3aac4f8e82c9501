#include "client/gui/log_in_dialog.h"

#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>

#include "client/core/ui/texts.h"
#include "client/gui/ip_address_edit.h"
#include "common/gui/message_boxes.h"
#include "common/gui/text_codec.h"
#include "ui_log_in_dialog.h"

namespace zelt::client {

using gui::toBytes;
using gui::toQt;

namespace {
// The status box shows the last failure, a sentence or two.
constexpr int kStatusLines = 3;
}  // namespace

LogInDialog::LogInDialog(LoginForm& form, ui::FormCheck<LoginForm> check, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::LogInDialog>()),
      form_(form),
      check_(std::move(check)) {
    ui_->setupUi(this);
    setWindowTitle(toQt(text::login::Title));
    ui_->accountGroup->setTitle(toQt(text::login::AccountGroup));
    ui_->userNameLabel->setText(toQt(text::login::UserName));
    ui_->passwordLabel->setText(toQt(text::login::Password));
    ui_->communicationGroup->setTitle(toQt(text::login::CommunicationGroup));
    ui_->addressLabel->setText(toQt(text::login::Address));
    ui_->portLabel->setText(toQt(text::login::Port));
    ui_->buttons->button(QDialogButtonBox::Ok)->setText(toQt(text::buttons::Ok));
    ui_->buttons->button(QDialogButtonBox::Cancel)->setText(toQt(text::buttons::Cancel));

    ui_->userNameEdit->setMaxLength(static_cast<int>(kMaxUserName));
    ui_->passwordEdit->setMaxLength(static_cast<int>(kMaxPassword));
    ui_->portEdit->setMaxLength(static_cast<int>(kMaxPortDigits));
    ui_->portEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    ui_->portEdit->setMaximumWidth(
        ui_->portEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    ui_->userNameEdit->setMinimumWidth(ui_->userNameEdit->fontMetrics().averageCharWidth() * 28);
    ui_->statusBox->setFixedHeight(ui_->statusBox->fontMetrics().lineSpacing() * kStatusLines +
                                   2 * ui_->statusBox->frameWidth() + 8);

    // The fields of both groups start at one line.
    int labels = 0;
    for (QLabel* label :
         {ui_->userNameLabel, ui_->passwordLabel, ui_->addressLabel, ui_->portLabel})
        labels = std::max(labels, label->sizeHint().width());
    for (QLabel* label :
         {ui_->userNameLabel, ui_->passwordLabel, ui_->addressLabel, ui_->portLabel})
        label->setMinimumWidth(labels);

    ui_->userNameEdit->setText(toQt(form.userName));
    ui_->addressEdit->setAddress(form.address);
    ui_->portEdit->setText(toQt(form.port));
    ui_->statusBox->setPlainText(toQt(form.status));

    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &LogInDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &LogInDialog::reject);
    QTimer::singleShot(LoginForm::kFocusDelay, this, &LogInDialog::placeFocus);
}

LogInDialog::~LogInDialog() = default;

IpAddressEdit* LogInDialog::addressEdit() const {
    return ui_->addressEdit;
}

void LogInDialog::placeFocus() {
    switch (form_.focus) {
        case LoginForm::Focus::Address:
            ui_->addressEdit->field(0)->setFocus(Qt::OtherFocusReason);
            break;
        case LoginForm::Focus::Password:
            ui_->passwordEdit->setFocus(Qt::OtherFocusReason);
            break;
        case LoginForm::Focus::Unchanged:
            break;
    }
}

LoginForm LogInDialog::typed() const {
    LoginForm typed = form_;
    typed.userName = toBytes(ui_->userNameEdit->text(), kMaxUserName);
    typed.password = toBytes(ui_->passwordEdit->text(), kMaxPassword);
    typed.address = ui_->addressEdit->address();
    typed.port = toBytes(ui_->portEdit->text(), kMaxPortDigits);
    return typed;
}

void LogInDialog::accept() {
    const LoginForm form = typed();
    if (const std::optional<std::string> refusal = check_(form)) {
        gui::showInformation(this, ui::Program::Client, *refusal);
        return;
    }
    form_ = form;
    QDialog::accept();
}

}  // namespace zelt::client
