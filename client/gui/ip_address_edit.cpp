#include "client/gui/ip_address_edit.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStringList>

namespace zelt::client {

namespace {
constexpr int kDigits = 3;
}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    const auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        auto* field = new QLineEdit(this);
        field->setValidator(digits);
        field->setMaxLength(kDigits);
        field->setAlignment(Qt::AlignCenter);
        // Room for three digits and the frame, at any font size, and no more.
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
        field->installEventFilter(this);
        fields_[k] = field;
        row->addWidget(field);
        if (k + 1 < fields_.size()) row->addWidget(new QLabel(QStringLiteral("."), this));
        connect(field, &QLineEdit::textEdited, this, [this, k](const QString& text) {
            if (text.size() == kDigits && k + 1 < fields_.size())
                moveTo(static_cast<int>(k + 1), false);
        });
    }
    row->addStretch(1);
    setFocusProxy(fields_[0]);
    for (std::size_t k = 0; k + 1 < fields_.size(); ++k) setTabOrder(fields_[k], fields_[k + 1]);
}

IpAddressEdit::Address IpAddressEdit::address() const {
    Address address;
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        bool ok = false;
        const int value = fields_[k]->text().toInt(&ok);
        if (ok) address[k] = value;
    }
    return address;
}

void IpAddressEdit::setAddress(const Address& address) {
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        fields_[k]->setText(address[k] ? QString::number(*address[k]) : QString());
    }
}

int IpAddressEdit::indexOf(QObject* field) const {
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        if (fields_[k] == field) return static_cast<int>(k);
    }
    return -1;
}

void IpAddressEdit::moveTo(int index, bool toEnd) {
    QLineEdit* field = fields_[static_cast<std::size_t>(index)];
    field->setFocus(Qt::OtherFocusReason);
    if (toEnd) {
        field->end(false);
    } else {
        field->selectAll();
    }
}

bool IpAddressEdit::pasteAddress(const QString& text) {
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (parts.size() != static_cast<qsizetype>(fields_.size())) return false;
    static const QRegularExpression octet(QStringLiteral("^[0-9]{1,3}$"));
    for (const QString& part : parts) {
        if (!octet.match(part).hasMatch()) return false;
    }
    for (std::size_t k = 0; k < fields_.size(); ++k) {
        fields_[k]->setText(parts[static_cast<qsizetype>(k)]);
    }
    moveTo(static_cast<int>(fields_.size()) - 1, true);
    return true;
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int index = indexOf(watched);
    if (index < 0 || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = fields_[static_cast<std::size_t>(index)];
    const bool last = index + 1 == static_cast<int>(fields_.size());
    if (key->text() == QStringLiteral(".")) {
        // A dot ends the octet; in an empty field it waits for digits.
        if (!last && !field->text().isEmpty()) moveTo(index + 1, false);
        return true;
    }
    if (key->matches(QKeySequence::Paste)) {
        return pasteAddress(QApplication::clipboard()->text());
    }
    if (key->key() == Qt::Key_Backspace && field->text().isEmpty() && index > 0) {
        moveTo(index - 1, true);
        return true;
    }
    if (key->key() == Qt::Key_Left && field->cursorPosition() == 0 && !field->hasSelectedText() &&
        index > 0) {
        moveTo(index - 1, true);
        return true;
    }
    if (key->key() == Qt::Key_Right && field->cursorPosition() == field->text().size() && !last) {
        fields_[static_cast<std::size_t>(index + 1)]->setFocus(Qt::OtherFocusReason);
        fields_[static_cast<std::size_t>(index + 1)]->setCursorPosition(0);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace zelt::client
