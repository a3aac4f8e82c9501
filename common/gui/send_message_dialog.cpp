#include "common/gui/send_message_dialog.h"

#include <QPushButton>
#include <QTimer>

#include "common/gui/message_boxes.h"
#include "common/gui/recipient_notation_dialog.h"
#include "common/gui/text_codec.h"
#include "ui_send_message_dialog.h"

namespace zelt::gui {

SendMessageDialog::SendMessageDialog(ui::Program program, const std::string& recipient, Send send,
                                     QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::SendMessageDialog>()),
      program_(program),
      send_(std::move(send)) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(toQt(ui::text::SendMessageTitle));
    ui_->recipientLabel->setText(toQt(ui::text::RecipientLabel));
    ui_->messageLabel->setText(toQt(ui::text::MessageLabel));
    ui_->notationButton->setText(toQt(ui::text::NotationButton));
    ui_->importantCheck->setText(toQt(ui::importantText(program)));
    ui_->recipientEdit->setMaxLength(static_cast<int>(ui::MaxRecipients));
    ui_->messageEdit->setMaxLength(static_cast<int>(ui::MaxMessage));
    ui_->messageEdit->setMinimumWidth(ui_->recipientEdit->minimumWidth());

    sendButton_ = ui_->buttons->addButton(toQt(ui::text::SendButton), QDialogButtonBox::AcceptRole);
    cancelButton_ =
        ui_->buttons->addButton(toQt(ui::text::CancelButton), QDialogButtonBox::RejectRole);
    sendButton_->setDefault(true);
    setTabOrder(ui_->importantCheck, sendButton_);
    setTabOrder(sendButton_, cancelButton_);
    setTabOrder(cancelButton_, ui_->notationButton);

    const ui::MessageForm initial;
    ui_->recipientEdit->setText(toQt(recipient.substr(0, ui::MaxRecipients)));
    ui_->importantCheck->setChecked(initial.important);

    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &SendMessageDialog::trySend);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui_->notationButton, &QPushButton::clicked, this, &SendMessageDialog::showNotation);

    // A reply already knows its recipient: the user only has to write.
    const bool preset = !recipient.empty();
    QTimer::singleShot(FocusDelay, this, [this, preset] {
        if (preset) ui_->messageEdit->setFocus(Qt::OtherFocusReason);
    });
}

SendMessageDialog::~SendMessageDialog() = default;

SendMessageDialog* SendMessageDialog::showNew(ui::Program program, const std::string& recipient,
                                              Send send, QWidget* parent) {
    auto* window = new SendMessageDialog(program, recipient, std::move(send), parent);
    window->show();
    return window;
}

ui::MessageForm SendMessageDialog::form() const {
    ui::MessageForm form;
    form.recipients = toBytes(ui_->recipientEdit->text(), ui::MaxRecipients);
    form.text = toBytes(ui_->messageEdit->text(), ui::MaxMessage);
    form.important = ui_->importantCheck->isChecked();
    return form;
}

void SendMessageDialog::trySend() {
    const ui::MessageForm sent = form();
    if (const auto refusal = ui::checkMessageForm(sent)) {
        showInformation(this, program_, *refusal);
        // Back to the field the refusal is about, with what was typed kept.
        (sent.recipients.empty() ? ui_->recipientEdit : ui_->messageEdit)->setFocus();
        return;
    }
    if (send_) send_(sent);
    close();
}

void SendMessageDialog::showNotation() {
    RecipientNotationDialog notation(program_, this);
    notation.exec();
}

}  // namespace zelt::gui
