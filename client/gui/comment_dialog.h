#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "client/core/ui/forms.h"

class QCheckBox;
class QPlainTextEdit;

namespace Ui {
class CommentDialog;
}

namespace zelt::client {

// The comment that goes with a checked-in file, and whether it goes with the rest of this
// check-in's files too. There is no Cancel: closing the dialog is an answer of its own, which
// the core turns into "No comment.".
class CommentDialog final : public QDialog {
    Q_OBJECT
public:
    explicit CommentDialog(const std::string& path, QWidget* parent = nullptr);
    ~CommentDialog() override;

    // What the user answered: after OK the lines and the check box, else not accepted.
    CommentReply reply() const;

    QPlainTextEdit* commentEdit() const;
    QCheckBox* applyCheck() const;

private:
    void keepWithinLimit();

    std::unique_ptr<Ui::CommentDialog> ui_;
};

}  // namespace zelt::client
