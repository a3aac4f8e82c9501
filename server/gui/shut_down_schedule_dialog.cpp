#include "server/gui/shut_down_schedule_dialog.h"

#include <QLineEdit>

#include "common/gui/text_codec.h"
#include "server/gui/dialog_support.h"
#include "ui_shut_down_schedule_dialog.h"

namespace zelt::server {

namespace {
// More than any number of minutes needs; the check refuses what is not one.
constexpr std::size_t kMaxMinutesEntry = 12;
}  // namespace

ShutDownScheduleDialog::ShutDownScheduleDialog(ShutdownForm& form,
                                               ui::FormCheck<ShutdownForm> check, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::ShutDownScheduleDialog>()),
      form_(form),
      check_(std::move(check)) {
    ui_->setupUi(this);
    setWindowTitle(gui::toQt(text::ShutdownScheduleTitle));
    ui_->inLabel->setText(gui::toQt(text::ShutdownInLabel));
    ui_->minutesLabel->setText(gui::toQt(text::MinutesLabel));
    setOkCancel(ui_->buttons);
    for (const std::string_view choice : text::MinuteChoices) {
        ui_->minutesCombo->addItem(gui::toQt(choice));
    }
    ui_->minutesCombo->lineEdit()->setMaxLength(static_cast<int>(kMaxMinutesEntry));
    ui_->minutesCombo->setEditText(gui::toQt(form.minutes));
    ui_->minutesCombo->lineEdit()->selectAll();
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ShutDownScheduleDialog::~ShutDownScheduleDialog() = default;

void ShutDownScheduleDialog::accept() {
    ShutdownForm typed = form_;
    typed.minutes = fieldText(ui_->minutesCombo->lineEdit(), kMaxMinutesEntry);
    if (!passesCheck(this, check_, typed)) return;
    form_ = typed;
    QDialog::accept();
}

}  // namespace zelt::server
