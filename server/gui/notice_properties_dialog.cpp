#include "server/gui/notice_properties_dialog.h"

#include <QTextCursor>
#include <QTextDocument>

#include "common/gui/text_codec.h"
#include "server/core/relay/login_notice.h"
#include "server/gui/dialog_support.h"
#include "ui_notice_properties_dialog.h"

namespace zelt::server {

namespace {

// The field breaks lines with LF; the form carries them as CR LF.
QString shownText(const std::string& formText) {
    QString text = gui::toQt(formText);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

std::string formText(const QString& shown) {
    QString text = shown;
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return gui::toBytes(text);
}

bool fits(const QString& shown) {
    return noticeFitsField(gui::toBytes(shown));
}

}  // namespace

NoticePropertiesDialog::NoticePropertiesDialog(NoticeForm& form, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::NoticePropertiesDialog>()), form_(form) {
    ui_->setupUi(this);
    setWindowTitle(gui::toQt(text::NoticePropertiesTitle));
    ui_->sendCheck->setText(gui::toQt(text::SendNoticeBox));
    setOkCancel(ui_->buttons);
    ui_->sendCheck->setChecked(form.send);
    ui_->noticeEdit->setPlainText(shownText(form.text));
    ui_->noticeEdit->moveCursor(QTextCursor::Start);
    ui_->noticeEdit->ensureCursorVisible();
    followSendBox();

    connect(ui_->sendCheck, &QCheckBox::toggled, this, &NoticePropertiesDialog::followSendBox);
    connect(ui_->noticeEdit->document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { keepWithinLimit(position, added); });
    connect(ui_->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

NoticePropertiesDialog::~NoticePropertiesDialog() = default;

NoticeForm NoticePropertiesDialog::typed() const {
    NoticeForm typed = form_;
    typed.send = ui_->sendCheck->isChecked();
    typed.text = formText(ui_->noticeEdit->toPlainText());
    return typed;
}

void NoticePropertiesDialog::followSendBox() {
    ui_->noticeEdit->setEnabled(noticeTextEditable(typed()));
}

void NoticePropertiesDialog::keepWithinLimit(int position, int added) {
    if (trimming_ || added <= 0) return;
    const QString text = ui_->noticeEdit->toPlainText();
    if (fits(text)) return;
    // As much of the insertion as still fits stays, the way a field with a length limit
    // takes a paste.
    const QString before = text.left(position);
    const QString inserted = text.mid(position, added);
    const QString after = text.mid(position + added);
    int kept = 0;
    int tooMany = added;
    while (tooMany - kept > 1) {
        const int middle = (kept + tooMany) / 2;
        if (fits(before + inserted.left(middle) + after)) {
            kept = middle;
        } else {
            tooMany = middle;
        }
    }
    trimming_ = true;
    QTextCursor cursor(ui_->noticeEdit->document());
    cursor.setPosition(position + kept);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    trimming_ = false;
    ui_->noticeEdit->setTextCursor(cursor);
}

void NoticePropertiesDialog::accept() {
    form_ = typed();
    QDialog::accept();
}

}  // namespace zelt::server
