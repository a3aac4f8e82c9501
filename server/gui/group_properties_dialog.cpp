#include "server/gui/group_properties_dialog.h"

#include <QListWidget>
#include <QPushButton>

#include "common/gui/text_codec.h"
#include "server/core/store/names.h"
#include "server/gui/dialog_support.h"
#include "ui_group_properties_dialog.h"

namespace zelt::server {

using gui::toQt;

namespace {

void fillList(QListWidget* list, const std::vector<std::string>& entries) {
    list->clear();
    for (const std::string& entry : entries) list->addItem(toQt(entry));
}

}  // namespace

GroupPropertiesDialog::GroupPropertiesDialog(GroupPropertiesModel& model,
                                             ui::FormCheck<GroupForm> check, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::GroupPropertiesDialog>()),
      model_(model),
      check_(std::move(check)) {
    ui_->setupUi(this);
    setWindowTitle(toQt(text::GroupPropertiesTitle));
    ui_->nameLabel->setText(toQt(text::GroupNameLabel));
    ui_->addUsersButton->setText(toQt(text::AddUserButton));
    ui_->removeUsersButton->setText(toQt(text::RemoveUsersButton));
    ui_->addFilesButton->setText(toQt(text::AddFileButton));
    ui_->removeFilesButton->setText(toQt(text::RemoveFilesButton));
    ui_->propertiesButton->setText(toQt(text::FilePropertiesButton));
    ui_->disableCheck->setText(toQt(text::DisableGroupBox));
    ui_->removeCheck->setText(toQt(text::RemoveGroupBox));
    setOkCancel(ui_->buttons);

    const GroupForm& form = model.form();
    setField(ui_->nameEdit, form.name, MaxGroupNameLength);
    ui_->disableCheck->setChecked(form.disabled);
    ui_->removeCheck->setChecked(form.remove);
    ui_->removeCheck->setEnabled(model.canRemoveGroup());
    showLists();

    connect(ui_->addUsersButton, &QPushButton::clicked, this,
            [this] { onModel([this] { model_.addUsers(); }); });
    connect(ui_->removeUsersButton, &QPushButton::clicked, this,
            [this] { onModel([this] { model_.removeUsers(selectedRows(ui_->usersList)); }); });
    connect(ui_->addFilesButton, &QPushButton::clicked, this,
            [this] { onModel([this] { model_.addFiles(); }); });
    connect(ui_->removeFilesButton, &QPushButton::clicked, this,
            [this] { onModel([this] { model_.removeFiles(selectedRows(ui_->filesList)); }); });
    connect(ui_->propertiesButton, &QPushButton::clicked, this, [this] {
        const std::vector<std::size_t> selected = selectedRows(ui_->filesList);
        if (!GroupPropertiesModel::canOpenProperties(selected.size())) return;
        const BoxOwner owner(this);
        model_.openProperties(selected.front());
    });
    connect(ui_->usersList, &QListWidget::itemSelectionChanged, this,
            &GroupPropertiesDialog::followSelection);
    connect(ui_->filesList, &QListWidget::itemSelectionChanged, this,
            &GroupPropertiesDialog::followSelection);
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

GroupPropertiesDialog::~GroupPropertiesDialog() = default;

template <typename Work>
void GroupPropertiesDialog::onModel(Work work) {
    takeEntries();
    {
        const BoxOwner owner(this);
        work();
    }
    showLists();
}

void GroupPropertiesDialog::takeEntries() {
    GroupForm& form = model_.form();
    form.name = fieldText(ui_->nameEdit, MaxGroupNameLength);
    form.disabled = ui_->disableCheck->isChecked();
    form.remove = ui_->removeCheck->isChecked();
}

void GroupPropertiesDialog::showLists() {
    const GroupForm& form = model_.form();
    fillList(ui_->usersList, form.users);
    fillList(ui_->filesList, form.files);
    ui_->usersFrame->setTitle(toQt(model_.usersCaption()));
    ui_->filesFrame->setTitle(toQt(model_.filesCaption()));
    followSelection();
}

void GroupPropertiesDialog::followSelection() {
    const std::size_t users = selectedRows(ui_->usersList).size();
    const std::size_t files = selectedRows(ui_->filesList).size();
    ui_->removeUsersButton->setEnabled(GroupPropertiesModel::canRemove(users));
    ui_->removeFilesButton->setEnabled(GroupPropertiesModel::canRemove(files));
    ui_->propertiesButton->setEnabled(GroupPropertiesModel::canOpenProperties(files));
}

std::vector<std::size_t> GroupPropertiesDialog::selectedRows(const QListWidget* list) {
    std::vector<std::size_t> rows;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->isSelected()) rows.push_back(static_cast<std::size_t>(row));
    }
    return rows;
}

void GroupPropertiesDialog::accept() {
    takeEntries();
    if (!passesCheck(this, check_, model_.form())) return;
    QDialog::accept();
}

}  // namespace zelt::server
