#include "common/gui/message_boxes.h"

#include <QMessageBox>

#include "common/gui/text_codec.h"

namespace zelt::gui {

void showInformation(QWidget* parent, ui::Program program, const std::string& text) {
    QMessageBox box(QMessageBox::Information, toQt(ui::programName(program)), toQt(text),
                    QMessageBox::Ok, parent);
    box.exec();
}

bool askYesNo(QWidget* parent, ui::Program program, const std::string& text) {
    QMessageBox box(QMessageBox::Question, toQt(ui::programName(program)), toQt(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace zelt::gui
