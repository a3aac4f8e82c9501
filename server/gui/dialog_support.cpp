#include "server/gui/dialog_support.h"

#include <algorithm>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include "common/gui/text_codec.h"
#include "common/ui/shared_windows.h"
#include "server/core/ui/texts.h"

namespace zelt::server {

namespace {
QPointer<QWidget> owner;
}  // namespace

void showRefusal(QWidget* parent, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, gui::toQt(ui::programName(ui::Program::Server)),
                    gui::toQt(text), QMessageBox::Ok, parent);
    box.exec();
}

void setOkCancel(QDialogButtonBox* buttons) {
    buttons->setStandardButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(gui::toQt(text::OkButton));
    ok->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(gui::toQt(text::CancelButton));
}

std::string fieldText(const QLineEdit* edit, std::size_t maxBytes) {
    return gui::toBytes(edit->text(), maxBytes);
}

void setField(QLineEdit* edit, std::string_view text, std::size_t maxLength) {
    edit->setMaxLength(static_cast<int>(maxLength));
    edit->setText(gui::toQt(text));
}

void alignLabels(std::initializer_list<QLabel*> labels) {
    int width = 0;
    for (QLabel* label : labels) width = std::max(width, label->sizeHint().width());
    for (QLabel* label : labels) label->setMinimumWidth(width);
}

BoxOwner::BoxOwner(QWidget* window) : previous_(owner) {
    owner = window;
}

BoxOwner::~BoxOwner() {
    owner = previous_;
}

QWidget* BoxOwner::current() {
    return owner;
}

QWidget* dialogParent(QWidget* fallback) {
    if (QWidget* atWork = BoxOwner::current()) return atWork;
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return fallback;
}

}  // namespace zelt::server
