#include "client/gui/available_files_dialog.h"

#include <QTreeWidget>

#include "client/core/client.h"
#include "client/core/ui/texts.h"
#include "client/gui/file_icons.h"
#include "common/gui/text_codec.h"
#include "ui_available_files_dialog.h"

namespace zelt::client {

using gui::toQt;
namespace t = text::available;

AvailableFilesDialog::AvailableFilesDialog(ClientCore& core, QWidget* parent)
    : ToolWindow([&core] { core.closeAvailableFiles(); }, parent),
      ui_(std::make_unique<Ui::AvailableFilesDialog>()),
      core_(core) {
    ui_->setupUi(this);
    setWindowTitle(toQt(t::Title));
    ui_->refreshButton->setText(toQt(text::buttons::Refresh));
    ui_->propertiesButton->setText(toQt(t::Properties));
    ui_->checkOutButton->setText(toQt(t::CheckOut));
    ui_->closeButton->setText(toQt(text::buttons::Close));
    setUpFileList(ui_->fileList, {t::FileColumnWidth, t::HolderColumnWidth, t::SinceColumnWidth});
    ui_->fileList->setHeaderLabels(
        {toQt(t::FileColumn), toQt(t::HolderColumn), toQt(t::SinceColumn)});
    ui_->fileList->setIconSize(QSize(t::IconWidth, 16));
    giveRoom(this, ui_->fileList, 14, 30);

    connect(ui_->fileList, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!drawing_) core_.selectAvailableFiles(selectedRows(ui_->fileList));
    });
    connect(ui_->fileList, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (!selectedRows(ui_->fileList).empty()) core_.checkOutSelected();
    });
    connect(ui_->refreshButton, &QPushButton::clicked, this,
            [this] { core_.refreshAvailableFiles(); });
    connect(ui_->propertiesButton, &QPushButton::clicked, this,
            [this] { core_.requestSelectedProperties(); });
    connect(ui_->checkOutButton, &QPushButton::clicked, this, [this] { core_.checkOutSelected(); });
    connect(ui_->closeButton, &QPushButton::clicked, this, [this] { core_.closeAvailableFiles(); });
}

AvailableFilesDialog::~AvailableFilesDialog() = default;

QTreeWidget* AvailableFilesDialog::fileList() const {
    return ui_->fileList;
}
QPushButton* AvailableFilesDialog::refreshButton() const {
    return ui_->refreshButton;
}
QPushButton* AvailableFilesDialog::propertiesButton() const {
    return ui_->propertiesButton;
}
QPushButton* AvailableFilesDialog::checkOutButton() const {
    return ui_->checkOutButton;
}

void AvailableFilesDialog::draw(const AvailableFilesModel& model) {
    drawing_ = true;
    // A list of other files is a new list; the same files only take their holders anew.
    bool rebuild = ui_->fileList->topLevelItemCount() != static_cast<int>(model.rows.size());
    for (int k = 0; !rebuild && k < ui_->fileList->topLevelItemCount(); ++k) {
        rebuild = ui_->fileList->topLevelItem(k)->data(FileColumn, Qt::UserRole).toString() !=
                  toQt(model.rows[static_cast<std::size_t>(k)].path);
    }
    drawRows(model, rebuild);
    ui_->groupLabel->setText(toQt(model.groupLabel));
    ui_->countLabel->setText(toQt(model.countLabel));
    selectRows(ui_->fileList, model.selected);
    ui_->refreshButton->setEnabled(model.buttons.refresh);
    ui_->propertiesButton->setEnabled(model.buttons.properties);
    ui_->checkOutButton->setEnabled(model.buttons.checkOut);
    drawing_ = false;
    follow(model, rebuild);
}

void AvailableFilesDialog::drawRows(const AvailableFilesModel& model, bool rebuild) {
    if (rebuild) {
        ui_->fileList->clear();
        for (std::size_t k = 0; k < model.rows.size(); ++k) {
            auto* item = new QTreeWidgetItem(ui_->fileList);
            item->setData(FileColumn, Qt::UserRole, toQt(model.rows[k].path));
        }
    }
    for (std::size_t k = 0; k < model.rows.size(); ++k) {
        const AvailableFileRow& row = model.rows[k];
        QTreeWidgetItem* item = ui_->fileList->topLevelItem(static_cast<int>(k));
        const QString path = toQt(row.path);
        item->setText(FileColumn, path);
        item->setToolTip(FileColumn, path);
        item->setIcon(FileColumn, availableFileIcon(row.icon));
        item->setText(HolderColumn, toQt(row.holder));
        item->setText(SinceColumn, toQt(row.since));
    }
}

}  // namespace zelt::client
