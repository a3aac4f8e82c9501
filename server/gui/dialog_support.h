#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "common/ui/form_check.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;

// What the server's dialogs have in common: their OK and Cancel, the check on OK, the boxes
// they answer with, and where a window the core asks for goes.
namespace zelt::server {

// A refused entry or a failed action: a box without icon, titled with the program's name,
// waited for.
void showRefusal(QWidget* parent, const std::string& text);

// The button box's OK (the default button) and Cancel, in the server's own words.
void setOkCancel(QDialogButtonBox* buttons);

// A field's text as the core keeps it: UTF-8, at most maxBytes, never half a character.
std::string fieldText(const QLineEdit* edit, std::size_t maxBytes);
// Fills a field and limits it to the characters its record field holds.
void setField(QLineEdit* edit, std::string_view text, std::size_t maxLength);

// Gives labels that sit in different frames one width, so that their fields line up.
void alignLabels(std::initializer_list<QLabel*> labels);

// The check a dialog runs on OK with the form as typed: true when the form may be taken.
// Otherwise the refusal is shown over the dialog, which stays open with what was typed.
template <typename Form>
bool passesCheck(QWidget* dialog, const ui::FormCheck<Form>& check, const Form& typed) {
    if (!check) return true;
    if (const auto refusal = check(typed)) {
        showRefusal(dialog, *refusal);
        return false;
    }
    return true;
}

// The window whose button is at work while it calls the core: a box or dialog the core opens
// meanwhile goes over it. Windows nest, so the owners form a stack.
class BoxOwner {
public:
    explicit BoxOwner(QWidget* window);
    ~BoxOwner();
    BoxOwner(const BoxOwner&) = delete;
    BoxOwner& operator=(const BoxOwner&) = delete;

    static QWidget* current();

private:
    QPointer<QWidget> previous_;
};

// Where a box or dialog the core asks for goes: over the window at work, else over the modal
// dialog open now, else over fallback (the main window).
QWidget* dialogParent(QWidget* fallback);

}  // namespace zelt::server
