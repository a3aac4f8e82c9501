#include "server/gui/change_communication_port_dialog.h"

#include "common/gui/text_codec.h"
#include "server/gui/dialog_support.h"
#include "ui_change_communication_port_dialog.h"

namespace zelt::server {

ChangeCommunicationPortDialog::ChangeCommunicationPortDialog(PortForm& form,
                                                             ui::FormCheck<PortForm> check,
                                                             QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::ChangeCommunicationPortDialog>()),
      form_(form),
      check_(std::move(check)) {
    ui_->setupUi(this);
    setWindowTitle(gui::toQt(text::ChangePortTitle));
    ui_->portLabel->setText(gui::toQt(text::PortLabel));
    ui_->explanation->setText(gui::toQt(text::PortExplanation));
    setOkCancel(ui_->buttons);
    setField(ui_->portEdit, form.port, MaxPortEntry);
    ui_->portEdit->selectAll();
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ChangeCommunicationPortDialog::~ChangeCommunicationPortDialog() = default;

void ChangeCommunicationPortDialog::accept() {
    PortForm typed = form_;
    typed.port = fieldText(ui_->portEdit, MaxPortEntry);
    if (!passesCheck(this, check_, typed)) return;
    form_ = typed;
    QDialog::accept();
}

}  // namespace zelt::server
