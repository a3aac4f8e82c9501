#include "client/gui/file_properties_dialog.h"

#include "client/core/client.h"
#include "client/core/ui/texts.h"
#include "common/gui/text_codec.h"
#include "ui_file_properties_dialog.h"

namespace zelt::client {

using gui::toQt;
namespace t = text::properties;

namespace {
constexpr int kPathColumns = 64;
constexpr int kDetailLines = 7;
}  // namespace

FilePropertiesDialog::FilePropertiesDialog(ClientCore& core, QWidget* parent)
    : ToolWindow([&core] { core.closeFileProperties(); }, parent),
      ui_(std::make_unique<Ui::FilePropertiesDialog>()),
      core_(core) {
    ui_->setupUi(this);
    setWindowTitle(toQt(t::Title));
    ui_->fileGroup->setTitle(toQt(t::FileGroup));
    ui_->includedLabel->setText(toQt(t::IncludedIn));
    ui_->holderLabel->setText(toQt(t::CheckedOutBy));
    ui_->atLabel->setText(toQt(t::At).trimmed());
    ui_->sendMessageButton->setText(toQt(t::SendMessage));
    ui_->updateGroup->setTitle(toQt(t::LastUpdateGroup));
    ui_->refreshButton->setText(toQt(text::buttons::Refresh));
    ui_->fetchButton->setText(toQt(t::FetchReadOnly));
    ui_->closeButton->setText(toQt(text::buttons::Close));

    const QFontMetrics metrics = fontMetrics();
    ui_->pathEdit->setMinimumWidth(metrics.averageCharWidth() * kPathColumns);
    // The check-out time, "2024/05/01 [16:10]", whole.
    ui_->timeEdit->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("0000/00/00 [00:00]")) +
                                   16);
    ui_->detailsBox->setMinimumHeight(metrics.lineSpacing() * kDetailLines);

    ui_->closeButton->setFocus(Qt::OtherFocusReason);

    connect(ui_->sendMessageButton, &QPushButton::clicked, this, [this] { core_.messageHolder(); });
    connect(ui_->refreshButton, &QPushButton::clicked, this,
            [this] { core_.refreshFileProperties(); });
    connect(ui_->fetchButton, &QPushButton::clicked, this, [this] { core_.viewFile(); });
    connect(ui_->closeButton, &QPushButton::clicked, this, [this] { core_.closeFileProperties(); });
}

FilePropertiesDialog::~FilePropertiesDialog() = default;

QPushButton* FilePropertiesDialog::sendMessageButton() const {
    return ui_->sendMessageButton;
}

void FilePropertiesDialog::draw(const FilePropertiesModel& model) {
    ui_->pathEdit->setText(toQt(model.path));
    ui_->pathEdit->setCursorPosition(0);
    ui_->pathEdit->setToolTip(toQt(model.path));
    ui_->groupEdit->setText(toQt(model.groupName));
    ui_->holderEdit->setText(toQt(model.holder));
    ui_->timeEdit->setText(toQt(model.checkOutTime));
    ui_->sendMessageButton->setEnabled(model.sendMessage);
    // The box keeps its own line ends; the core's carriage returns are not shown as marks.
    QString details = toQt(model.details);
    details.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    ui_->detailsBox->setPlainText(details);
    ui_->detailsBox->moveCursor(QTextCursor::Start);
    follow(model, true);
}

}  // namespace zelt::client
