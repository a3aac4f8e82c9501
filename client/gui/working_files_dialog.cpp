#include "client/gui/working_files_dialog.h"

#include <QTreeWidget>

#include "client/core/client.h"
#include "client/core/ui/texts.h"
#include "client/gui/file_icons.h"
#include "common/gui/text_codec.h"
#include "ui_working_files_dialog.h"

namespace zelt::client {

using gui::toQt;
namespace t = text::working;

WorkingFilesDialog::WorkingFilesDialog(ClientCore& core, QWidget* parent)
    : ToolWindow([&core] { core.closeWorkingFiles(); }, parent),
      ui_(std::make_unique<Ui::WorkingFilesDialog>()),
      core_(core) {
    ui_->setupUi(this);
    setWindowTitle(toQt(t::Title));
    ui_->filesLabel->setText(toQt(t::Label));
    ui_->fetchButton->setText(toQt(t::Fetch));
    ui_->openButton->setText(toQt(t::Open));
    ui_->openFolderButton->setText(toQt(t::OpenFolder));
    ui_->checkInButton->setText(toQt(t::CheckIn));
    ui_->voidButton->setText(toQt(t::Void));
    ui_->closeButton->setText(toQt(text::buttons::Close));
    setUpFileList(ui_->fileList, {t::FileColumnWidth, t::FetchedColumnWidth});
    ui_->fileList->setHeaderLabels({toQt(t::FileColumn), toQt(t::FetchedColumn)});
    giveRoom(this, ui_->fileList, 10, 0);
    // The buttons start level with the list, below the label over it.
    ui_->alignWithList->changeSize(0,
                                   ui_->filesLabel->sizeHint().height() + ui_->listSide->spacing());

    connect(ui_->fileList, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (!drawing_) core_.selectWorkingFiles(selectedRows(ui_->fileList));
    });
    connect(ui_->fileList, &QTreeWidget::itemDoubleClicked, this, [this] { core_.openSelected(); });
    connect(ui_->fetchButton, &QPushButton::clicked, this, [this] { core_.fetchSelected(); });
    connect(ui_->openButton, &QPushButton::clicked, this, [this] { core_.openSelected(); });
    connect(ui_->openFolderButton, &QPushButton::clicked, this,
            [this] { core_.runCommand(ClientCommand::WorkingFolder); });
    connect(ui_->checkInButton, &QPushButton::clicked, this, [this] { core_.checkInSelected(); });
    connect(ui_->voidButton, &QPushButton::clicked, this, [this] { core_.voidSelected(); });
    connect(ui_->closeButton, &QPushButton::clicked, this, [this] { core_.closeWorkingFiles(); });
}

WorkingFilesDialog::~WorkingFilesDialog() = default;

QTreeWidget* WorkingFilesDialog::fileList() const {
    return ui_->fileList;
}
QPushButton* WorkingFilesDialog::fetchButton() const {
    return ui_->fetchButton;
}
QPushButton* WorkingFilesDialog::openButton() const {
    return ui_->openButton;
}
QPushButton* WorkingFilesDialog::openFolderButton() const {
    return ui_->openFolderButton;
}
QPushButton* WorkingFilesDialog::checkInButton() const {
    return ui_->checkInButton;
}
QPushButton* WorkingFilesDialog::voidButton() const {
    return ui_->voidButton;
}
QPushButton* WorkingFilesDialog::closeButton() const {
    return ui_->closeButton;
}

void WorkingFilesDialog::draw(const WorkingFilesModel& model) {
    drawing_ = true;
    bool rebuild = ui_->fileList->topLevelItemCount() != static_cast<int>(model.rows.size());
    for (int k = 0; !rebuild && k < ui_->fileList->topLevelItemCount(); ++k) {
        const WorkingFileRow& row = model.rows[static_cast<std::size_t>(k)];
        const QTreeWidgetItem* item = ui_->fileList->topLevelItem(k);
        rebuild = item->text(FileColumn) != toQt(row.path) ||
                  item->text(FetchedColumn) != toQt(row.fetched);
    }
    if (rebuild) {
        ui_->fileList->clear();
        for (const WorkingFileRow& row : model.rows) {
            auto* item = new QTreeWidgetItem(ui_->fileList);
            const QString path = toQt(row.path);
            item->setText(FileColumn, path);
            item->setToolTip(FileColumn, path);
            item->setIcon(FileColumn, workingFileIcon(row.icon));
            item->setText(FetchedColumn, toQt(row.fetched));
        }
    }
    ui_->countLabel->setText(toQt(model.countLabel));
    selectRows(ui_->fileList, model.selected);
    ui_->fetchButton->setEnabled(model.buttons.fetch);
    ui_->openButton->setEnabled(model.buttons.open);
    ui_->openFolderButton->setEnabled(model.buttons.openFolder);
    ui_->checkInButton->setEnabled(model.buttons.checkIn);
    ui_->voidButton->setEnabled(model.buttons.voidCheckOut);
    ui_->closeButton->setEnabled(model.buttons.close);
    drawing_ = false;
    follow(model, rebuild);
}

}  // namespace zelt::client
