#include "common/gui/console_window_legends_dialog.h"

#include <QPushButton>

#include "common/gui/line_icons.h"
#include "common/gui/text_codec.h"
#include "common/ui/shared_windows.h"
#include "ui_console_window_legends_dialog.h"

namespace zelt::gui {

namespace {
// The icons a little larger than in the console, as in a key to a map.
constexpr int kIconSize = 22;
}  // namespace

ConsoleWindowLegendsDialog::ConsoleWindowLegendsDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ConsoleWindowLegendsDialog>()) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(toQt(ui::text::LegendsTitle));
    const qreal ratio = devicePixelRatioF();
    const QSize size(kIconSize, kIconSize);
    ui_->functionIcon->setPixmap(lineIcon(LineKind::Function).pixmap(size, ratio));
    ui_->importantIcon->setPixmap(lineIcon(LineKind::Important).pixmap(size, ratio));
    ui_->errorIcon->setPixmap(lineIcon(LineKind::Error).pixmap(size, ratio));
    ui_->functionText->setText(toQt(ui::text::LegendFunction));
    ui_->importantText->setText(toQt(ui::text::LegendImportant));
    ui_->errorText->setText(toQt(ui::text::LegendError));
    QPushButton* close = ui_->buttons->button(QDialogButtonBox::Close);
    close->setText(toQt(ui::text::CloseButton));
    close->setDefault(true);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
}

ConsoleWindowLegendsDialog::~ConsoleWindowLegendsDialog() = default;

ConsoleWindowLegendsDialog* ConsoleWindowLegendsDialog::showNew(QWidget* parent) {
    auto* window = new ConsoleWindowLegendsDialog(parent);
    window->show();
    return window;
}

}  // namespace zelt::gui
