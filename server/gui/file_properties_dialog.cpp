#include "server/gui/file_properties_dialog.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>

#include "common/gui/text_codec.h"
#include "server/core/ui/texts.h"
#include "server/gui/dialog_support.h"
#include "ui_file_properties_dialog.h"

namespace zelt::server {

using gui::toQt;

FilePropertiesDialog::FilePropertiesDialog(FilePropertiesModel& model, Closed closed,
                                           QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::FilePropertiesDialog>()),
      model_(&model),
      closed_(std::move(closed)) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(toQt(text::FilePropertiesTitle));
    ui_->includedLabel->setText(toQt(text::IncludedInLabel));
    ui_->holderLabel->setText(toQt(text::CheckedOutByLabel));
    ui_->atLabel->setText(toQt(text::AtLabel));
    ui_->voidButton->setText(toQt(text::VoidButton));
    ui_->versionsFrame->setTitle(toQt(text::VersionsFrame));
    ui_->setLatestButton->setText(toQt(text::SetLatestButton));
    ui_->detailsFrame->setTitle(toQt(text::DetailsFrame));
    ui_->refreshButton->setText(toQt(text::RefreshButton));
    ui_->closeButton->setText(toQt(text::CloseButton));
    ui_->closeButton->setDefault(true);

    connect(ui_->voidButton, &QPushButton::clicked, this,
            [this] { onModel([](FilePropertiesModel& m) { m.voidCheckOut(); }); });
    connect(ui_->setLatestButton, &QPushButton::clicked, this,
            [this] { onModel([](FilePropertiesModel& m) { m.setAsLatest(); }); });
    connect(ui_->refreshButton, &QPushButton::clicked, this,
            [this] { onModel([](FilePropertiesModel& m) { m.refresh(); }); });
    connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(ui_->versionsList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (model_ == nullptr) return;
        model_->select(row);
        drawSelection();
    });
    connect(this, &QDialog::finished, this, &FilePropertiesDialog::release);
    draw();
}

FilePropertiesDialog::~FilePropertiesDialog() {
    release();
}

void FilePropertiesDialog::release() {
    if (model_ == nullptr) return;
    const FilePropertiesModel* gone = model_;
    model_ = nullptr;
    if (closed_) closed_(gone);
}

void FilePropertiesDialog::onModel(const std::function<void(FilePropertiesModel&)>& work) {
    if (model_ == nullptr) return;
    {
        const BoxOwner owner(this);
        work(*model_);
    }
    if (model_ != nullptr) draw();
}

void FilePropertiesDialog::draw() {
    const FilePropertiesModel& model = *model_;
    ui_->pathEdit->setText(toQt(model.path()));
    ui_->groupsEdit->setText(toQt(model.groupsText()));
    ui_->holderEdit->setText(toQt(model.holder()));
    ui_->timeEdit->setText(toQt(model.checkOutTime()));
    ui_->voidButton->setEnabled(model.canVoid());
    {
        const QSignalBlocker quiet(ui_->versionsList);
        ui_->versionsList->clear();
        for (const std::string& stamp : model.versions()) ui_->versionsList->addItem(toQt(stamp));
        ui_->versionsList->setCurrentRow(model.selected());
    }
    drawSelection();
}

void FilePropertiesDialog::drawSelection() {
    const FilePropertiesModel& model = *model_;
    ui_->setLatestButton->setEnabled(model.canSetLatest());
    // The box keeps the last details shown while nothing is selected.
    QString details = toQt(model.detailsText());
    details.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (ui_->detailsEdit->toPlainText() == details) return;
    ui_->detailsEdit->setPlainText(details);
    ui_->detailsEdit->moveCursor(QTextCursor::Start);
    ui_->detailsEdit->ensureCursorVisible();
}

}  // namespace zelt::server
