#pragma once

#include <QDialog>

#include <cstddef>
#include <memory>
#include <vector>

#include "server/core/admin/group_properties_model.h"

class QListWidget;

namespace zelt::server {

namespace Ui {
class GroupPropertiesDialog;
}

// One group's name, member users and member files, drawn from its model; the buttons work on
// the model and the lists are redrawn from it. OK runs the core's check on the form: a refusal
// keeps the dialog open with everything as entered.
class GroupPropertiesDialog final : public QDialog {
    Q_OBJECT
public:
    GroupPropertiesDialog(GroupPropertiesModel& model, ui::FormCheck<GroupForm> check,
                          QWidget* parent = nullptr);
    ~GroupPropertiesDialog() override;

    void accept() override;

private:
    // The name and the check boxes as entered, into the model's form.
    void takeEntries();
    void showLists();
    void followSelection();
    static std::vector<std::size_t> selectedRows(const QListWidget* list);
    // Runs a button's work on the model, with boxes it opens over this dialog.
    template <typename Work>
    void onModel(Work work);

    std::unique_ptr<Ui::GroupPropertiesDialog> ui_;
    GroupPropertiesModel& model_;
    ui::FormCheck<GroupForm> check_;
};

}  // namespace zelt::server
