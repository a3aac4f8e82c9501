#include "client/gui/file_transfer_dialog.h"

#include <QProgressBar>

#include "client/core/client.h"
#include "client/core/ui/texts.h"
#include "common/gui/text_codec.h"
#include "ui_file_transfer_dialog.h"

namespace zelt::client {

using gui::toQt;
namespace t = text::transfer;

namespace {
constexpr int kPathColumns = 60;
// The bar counts in thousandths, whatever the size of the file.
constexpr int kSteps = 1000;
}  // namespace

FileTransferDialog::FileTransferDialog(ClientCore& core, QWidget* parent)
    : ToolWindow([&core] { core.cancelTransfer(); }, parent),
      ui_(std::make_unique<Ui::FileTransferDialog>()) {
    ui_->setupUi(this);
    setWindowTitle(toQt(t::Title));
    ui_->cancelButton->setText(toQt(t::Cancel));
    ui_->rateLabel->setText(toQt(t::Rate));
    ui_->timeLeftLabel->setText(toQt(t::TimeLeft));
    ui_->pathLabel->setMinimumWidth(fontMetrics().averageCharWidth() * kPathColumns);
    ui_->progressBar->setRange(0, kSteps);
    connect(ui_->cancelButton, &QPushButton::clicked, this, [&core] { core.cancelTransfer(); });
}

FileTransferDialog::~FileTransferDialog() = default;

QProgressBar* FileTransferDialog::progressBar() const {
    return ui_->progressBar;
}
QPushButton* FileTransferDialog::cancelButton() const {
    return ui_->cancelButton;
}

void FileTransferDialog::draw(const FileTransferModel& model) {
    path_ = toQt(model.label);
    showPath();
    ui_->pathLabel->setToolTip(path_);
    const std::int64_t done = model.bytesTotal > 0 ? std::min(model.bytesDone, model.bytesTotal) *
                                                         kSteps / model.bytesTotal
                                                   : (model.position > 0 ? kSteps : 0);
    ui_->progressBar->setValue(static_cast<int>(done));
    ui_->rateValue->setText(toQt(model.rate));
    ui_->timeLeftValue->setText(toQt(model.timeLeft));
    follow(model, false);
}

void FileTransferDialog::resizeEvent(QResizeEvent* event) {
    ToolWindow::resizeEvent(event);
    showPath();
}

// A long path keeps its beginning and its file name.
void FileTransferDialog::showPath() {
    ui_->pathLabel->setText(
        ui_->pathLabel->fontMetrics().elidedText(path_, Qt::ElideMiddle, ui_->pathLabel->width()));
}

}  // namespace zelt::client
