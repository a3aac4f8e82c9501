#include "server/gui/user_list_dialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include "common/gui/text_codec.h"
#include "server/gui/dialog_support.h"
#include "ui_user_list_dialog.h"

namespace zelt::server {

using gui::toQt;

UserListDialog::UserListDialog(UserListSource& source, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::UserListDialog>()), source_(source) {
    ui_->setupUi(this);
    setWindowTitle(toQt(text::UserListTitle));
    ui_->userList->setHeaderLabels(
        {toQt(text::UserNameColumn), toQt(text::NameColumn), toQt(text::DeptColumn)});
    QHeaderView* header = ui_->userList->header();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->resizeSection(0, UserNameWidth);
    header->resizeSection(1, NameWidth);
    header->resizeSection(2, DeptWidth);

    addButton_ = ui_->buttons->addButton(toQt(text::AddUsersButton), QDialogButtonBox::AcceptRole);
    createButton_ =
        ui_->buttons->addButton(toQt(text::CreateUserButton), QDialogButtonBox::ActionRole);
    ui_->buttons->addButton(toQt(text::CancelButton), QDialogButtonBox::RejectRole);
    addButton_->setDefault(true);
    createButton_->setAutoDefault(false);

    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(createButton_, &QPushButton::clicked, this, &UserListDialog::create);
    connect(ui_->userList, &QTreeWidget::itemSelectionChanged, this,
            &UserListDialog::followSelection);
    connect(ui_->userList, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    fill();
}

UserListDialog::~UserListDialog() = default;

void UserListDialog::fill() {
    rows_ = source_.rows();
    ui_->userList->clear();
    for (const UserListRow& row : rows_) {
        new QTreeWidgetItem(ui_->userList, {toQt(row.userName), toQt(row.name), toQt(row.dept)});
    }
    followSelection();
}

void UserListDialog::followSelection() {
    addButton_->setEnabled(canAddChosenUsers(ui_->userList->selectedItems().size()));
}

void UserListDialog::create() {
    std::optional<std::size_t> made;
    {
        const BoxOwner owner(this);
        made = source_.create();
    }
    if (!made) return;
    fill();
    if (*made >= rows_.size()) return;
    QTreeWidgetItem* item = ui_->userList->topLevelItem(static_cast<int>(*made));
    ui_->userList->setCurrentItem(item);
    ui_->userList->scrollToItem(item);
}

void UserListDialog::accept() {
    chosen_.clear();
    for (int row = 0; row < ui_->userList->topLevelItemCount(); ++row) {
        if (ui_->userList->topLevelItem(row)->isSelected()) {
            chosen_.push_back(rows_[static_cast<std::size_t>(row)].userName);
        }
    }
    // Nothing chosen is a cancel.
    if (chosen_.empty()) {
        reject();
        return;
    }
    QDialog::accept();
}

}  // namespace zelt::server
