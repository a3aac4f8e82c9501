#pragma once

#include <QDialog>

#include <memory>

#include "common/ui/shared_windows.h"

namespace Ui {
class RecipientNotationDialog;
}

namespace zelt::gui {

// How recipients are written, opened from a Send Message window and waited for. The special
// forms differ between the programs: only a client can write to the server's administrator.
class RecipientNotationDialog final : public QDialog {
    Q_OBJECT
public:
    explicit RecipientNotationDialog(ui::Program program, QWidget* parent = nullptr);
    ~RecipientNotationDialog() override;

private:
    std::unique_ptr<Ui::RecipientNotationDialog> ui_;
};

}  // namespace zelt::gui
