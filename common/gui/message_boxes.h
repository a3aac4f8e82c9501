#pragma once

#include <string>

#include "common/ui/shared_windows.h"

class QWidget;

namespace zelt::gui {

// A message box with the information icon and an OK button, titled with the program's name,
// waited for.
void showInformation(QWidget* parent, ui::Program program, const std::string& text);

// A question with Yes and No, waited for; true when Yes was chosen. Closing the box answers No.
bool askYesNo(QWidget* parent, ui::Program program, const std::string& text);

}  // namespace zelt::gui
