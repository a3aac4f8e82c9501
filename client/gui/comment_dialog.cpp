#include "client/gui/comment_dialog.h"

#include <QPushButton>

#include "client/core/ui/texts.h"
#include "common/gui/text_codec.h"
#include "ui_comment_dialog.h"

namespace zelt::client {

using gui::toBytes;
using gui::toQt;

namespace {
constexpr int kCommentLines = 8;
constexpr int kCommentColumns = 60;
}  // namespace

CommentDialog::CommentDialog(const std::string& path, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CommentDialog>()) {
    ui_->setupUi(this);
    setWindowTitle(toQt(text::comment::Title));
    ui_->originalLabel->setText(toQt(text::comment::OriginalFile));
    ui_->commentLabel->setText(toQt(text::comment::Comment));
    ui_->applyCheck->setText(toQt(text::comment::ApplyToRest));
    QPushButton* ok = ui_->buttons->button(QDialogButtonBox::Ok);
    ok->setText(toQt(text::buttons::Ok));
    ok->setDefault(true);
    ui_->pathEdit->setText(toQt(path));
    ui_->pathEdit->setCursorPosition(0);
    const QFontMetrics metrics = ui_->commentEdit->fontMetrics();
    ui_->commentEdit->setMinimumSize(metrics.averageCharWidth() * kCommentColumns,
                                     metrics.lineSpacing() * kCommentLines);
    connect(ui_->commentEdit, &QPlainTextEdit::textChanged, this, &CommentDialog::keepWithinLimit);
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    ui_->commentEdit->setFocus(Qt::OtherFocusReason);
}

CommentDialog::~CommentDialog() = default;

QPlainTextEdit* CommentDialog::commentEdit() const {
    return ui_->commentEdit;
}

QCheckBox* CommentDialog::applyCheck() const {
    return ui_->applyCheck;
}

// The edit takes at most the comment's length; a paste beyond it is cut at the end.
void CommentDialog::keepWithinLimit() {
    const QString text = ui_->commentEdit->toPlainText();
    if (text.size() <= static_cast<qsizetype>(kMaxComment)) return;
    QTextCursor cursor = ui_->commentEdit->textCursor();
    const int position = cursor.position();
    ui_->commentEdit->setPlainText(text.left(static_cast<qsizetype>(kMaxComment)));
    cursor = ui_->commentEdit->textCursor();
    cursor.setPosition(std::min(position, static_cast<int>(kMaxComment)));
    ui_->commentEdit->setTextCursor(cursor);
}

CommentReply CommentDialog::reply() const {
    CommentReply reply;
    reply.accepted = result() == QDialog::Accepted;
    if (!reply.accepted) return reply;
    for (const QString& line : ui_->commentEdit->toPlainText().split(QLatin1Char('\n'))) {
        reply.lines.push_back(toBytes(line));
    }
    reply.applyToRest = ui_->applyCheck->isChecked();
    return reply;
}

}  // namespace zelt::client
