#pragma once

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "server/core/ui/account_dialogs.h"

class QPushButton;

namespace zelt::server {

namespace Ui {
class UserListDialog;
}

// The accounts to choose group members from, with a way to create one on the spot. "Add"
// closes with the selected users, top to bottom.
class UserListDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr int UserNameWidth = 100;
    static constexpr int NameWidth = 150;
    static constexpr int DeptWidth = 150;

    UserListDialog(UserListSource& source, QWidget* parent = nullptr);
    ~UserListDialog() override;

    // The user names of the rows selected when "Add" was pressed.
    const std::vector<std::string>& chosen() const { return chosen_; }

    void accept() override;

private:
    void fill();
    void create();
    void followSelection();

    std::unique_ptr<Ui::UserListDialog> ui_;
    UserListSource& source_;
    std::vector<UserListRow> rows_;
    std::vector<std::string> chosen_;
    QPushButton* addButton_;
    QPushButton* createButton_;
};

}  // namespace zelt::server
