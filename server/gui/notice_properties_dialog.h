#pragma once

#include <QDialog>

#include <memory>

#include "server/core/ui/account_dialogs.h"

namespace zelt::server {

namespace Ui {
class NoticePropertiesDialog;
}

// The notice every user is shown after logging in, and whether it is sent at all. The text
// field takes no more than the core will store: it counts the text as stored, each line break
// one character.
class NoticePropertiesDialog final : public QDialog {
    Q_OBJECT
public:
    NoticePropertiesDialog(NoticeForm& form, QWidget* parent = nullptr);
    ~NoticePropertiesDialog() override;

    void accept() override;

private:
    NoticeForm typed() const;
    void followSendBox();
    // Takes back the part of an insertion the notice has no room for.
    void keepWithinLimit(int position, int added);

    std::unique_ptr<Ui::NoticePropertiesDialog> ui_;
    NoticeForm& form_;
    bool trimming_ = false;
};

}  // namespace zelt::server
