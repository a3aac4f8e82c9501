#include "common/gui/recipient_notation_dialog.h"

#include <QPushButton>

#include "common/gui/text_codec.h"
#include "ui_recipient_notation_dialog.h"

namespace zelt::gui {

RecipientNotationDialog::RecipientNotationDialog(ui::Program program, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::RecipientNotationDialog>()) {
    ui_->setupUi(this);
    setWindowTitle(toQt(ui::text::RecipientNotationTitle));
    ui_->generalFrame->setTitle(toQt(ui::text::NotationGeneralFrame));
    ui_->specialFrame->setTitle(toQt(ui::text::NotationSpecialFrame));
    ui_->generalText->setText(toQt(ui::text::NotationGeneral));
    ui_->specialText->setText(toQt(ui::notationSpecial(program)));
    QPushButton* close = ui_->buttons->button(QDialogButtonBox::Close);
    close->setText(toQt(ui::text::CloseButton));
    close->setDefault(true);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

RecipientNotationDialog::~RecipientNotationDialog() = default;

}  // namespace zelt::gui
