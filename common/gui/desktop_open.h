#pragma once

#include <string>

#include "common/ui/shared_windows.h"

class QWidget;

namespace zelt::gui {

// Opens a file, a folder, or a web or mail address with the desktop's handler. Returns the
// codes of common/platform/shell.h: above 32 when it was handed over, else the cause (2 no
// such file, 3 no such folder, 5 access denied, 31 nothing on the desktop opens it). It has
// the shape the client core takes for its shell.
int openWithDesktop(const std::string& target);

// Opens a web or mail address; a failure is not reported (nothing could be done about it).
void openAddress(const std::string& address);

// Opens a file or folder and, when that fails, says why in an information box.
bool openOrReport(QWidget* parent, ui::Program program, const std::string& path);

}  // namespace zelt::gui
