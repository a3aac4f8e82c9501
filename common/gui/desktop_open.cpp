#include "common/gui/desktop_open.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include "common/gui/message_boxes.h"
#include "common/gui/text_codec.h"
#include "common/platform/shell.h"

namespace zelt::gui {

namespace {
constexpr int kNoHandler = 31;

// Only addresses and files that exist get this far.
QUrl urlOf(const std::string& target) {
    const QFileInfo file(
        QString::fromLocal8Bit(target.data(), static_cast<qsizetype>(target.size())));
    if (file.exists()) return QUrl::fromLocalFile(file.absoluteFilePath());
    return QUrl(toQt(target), QUrl::TolerantMode);
}
}  // namespace

int openWithDesktop(const std::string& target) {
    if (const int problem = shell::openProblem(target); problem != 0) return problem;
    return QDesktopServices::openUrl(urlOf(target)) ? shell::Opened : kNoHandler;
}

void openAddress(const std::string& address) { openWithDesktop(address); }

bool openOrReport(QWidget* parent, ui::Program program, const std::string& path) {
    const int code = openWithDesktop(path);
    if (code > 32) return true;
    showInformation(parent, program, ui::shellOpenFailure(code));
    return false;
}

}  // namespace zelt::gui
