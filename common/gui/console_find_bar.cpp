#include "common/gui/console_find_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>

#include "common/gui/text_codec.h"
#include "common/ui/shared_windows.h"

namespace zelt::gui {

ConsoleFindBar::ConsoleFindBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    auto* label = new QLabel(toQt(ui::text::FindLabel), this);
    edit_ = new QLineEdit(this);
    edit_->setClearButtonEnabled(true);
    edit_->setMinimumWidth(260);
    edit_->installEventFilter(this);
    label->setBuddy(edit_);
    next_ = new QToolButton(this);
    next_->setText(toQt(ui::text::FindNext));
    next_->setArrowType(Qt::DownArrow);
    next_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    next_->setAutoRaise(true);
    previous_ = new QToolButton(this);
    previous_->setText(toQt(ui::text::FindPrevious));
    previous_->setArrowType(Qt::UpArrow);
    previous_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    previous_->setAutoRaise(true);
    notFound_ = new QLabel(toQt(ui::text::FindNotFound), this);
    notFound_->setVisible(false);
    close_ = new QToolButton(this);
    close_->setIcon(QIcon::fromTheme(QStringLiteral("window-close"),
                                     style()->standardIcon(QStyle::SP_DialogCloseButton)));
    close_->setAutoRaise(true);
    close_->setToolTip(toQt(ui::text::FindClose));

    layout->addWidget(label);
    layout->addWidget(edit_);
    layout->addWidget(next_);
    layout->addWidget(previous_);
    layout->addWidget(notFound_);
    layout->addStretch(1);
    layout->addWidget(close_);

    connect(next_, &QToolButton::clicked, this, [this] { request(true); });
    connect(previous_, &QToolButton::clicked, this, [this] { request(false); });
    connect(close_, &QToolButton::clicked, this, &ConsoleFindBar::closeRequested);
    connect(edit_, &QLineEdit::textChanged, this, [this] { setNotFound(false); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &ConsoleFindBar::closeRequested);
}

void ConsoleFindBar::open() {
    show();
    edit_->setFocus(Qt::ShortcutFocusReason);
    edit_->selectAll();
}

QString ConsoleFindBar::text() const { return edit_->text(); }

void ConsoleFindBar::setText(const QString& text) { edit_->setText(text); }

void ConsoleFindBar::setNotFound(bool notFound) { notFound_->setVisible(notFound); }

void ConsoleFindBar::request(bool forward) {
    if (edit_->text().isEmpty()) return;
    Q_EMIT findRequested(edit_->text(), forward);
}

bool ConsoleFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            request(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace zelt::gui
