// Draws every shared window with sample contents and writes one PNG per window, so that their
// look can be checked at each scale without running either program:
//
//   zelt-shared-screenshots OUTDIR [SUFFIX]     (scripts/screenshots runs it under Xvfb)
//
// SUFFIX goes before ".png" (the script passes "@2x" for the run at QT_SCALE_FACTOR=2).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <string>

#include "common/console/console.h"
#include "common/gui/console_find_bar.h"
#include "common/gui/console_model.h"
#include "common/gui/console_view.h"
#include "common/gui/console_window_legends_dialog.h"
#include "common/gui/message_boxes.h"
#include "common/gui/recipient_notation_dialog.h"
#include "common/gui/send_message_dialog.h"
#include "common/gui/text_codec.h"
#include "common/gui/tools/screenshot_kit.h"

namespace zelt::gui {
namespace {

using namespace shots;

void sampleLines(Console& console) {
    console.plain("ZELT server 1.6.1 is ready. Listening on port 32767.");
    console.append(Console::Separator);
    console.plain("Account list:");
    console.function("anna", "EDTACT");
    console.function("bob", "EDTACT");
    console.function("Create a new account.", "CRTACT");
    console.important("Shut down in 5 minute(s). Please check in your files.");
    console.error("Failed to save Groups.zelt: No space left on device.");
    console.function("<anna> \"Could you free drawing7.dwg for me?\"", "REPLYMSG");
    console.function("Design::/srv/projects/design/drawing7.dwg", "FILEPROP");
    console.plain("Message sent to 3 user(s).");
}

int run() {
    SystemClock clock;
    Console console(clock);
    sampleLines(console);

    ConsoleView view(console, ui::Program::Server, nullptr);
    view.setWindowTitle(QStringLiteral("Console"));
    view.resize(880, 330);
    view.list()->setCurrentIndex(view.model()->index(3, 0));
    shoot(&view, QStringLiteral("console"));

    // The context menu on the selected function line, as the screen shows it.
    const QRect row = view.list()->visualRect(view.model()->index(3, 0));
    const QPoint at = view.list()->viewport()->mapToGlobal(row.center());
    view.contextMenu()->popup(at);
    settle();
    const QRect area = QRect(view.mapToGlobal(QPoint(0, 0)), view.size());
    save(view.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
         QStringLiteral("console_context_menu"));
    view.contextMenu()->close();

    view.openFind();
    view.findBar()->setText(QStringLiteral("drawing7"));
    view.find(QStringLiteral("drawing7"), true);
    shoot(&view, QStringLiteral("console_find"));
    view.findBar()->setText(QStringLiteral("nowhere"));
    view.findBar()->setNotFound(!view.find(QStringLiteral("nowhere"), true));
    shoot(&view, QStringLiteral("console_find_not_found"));
    view.hide();

    auto* legends = new ConsoleWindowLegendsDialog;
    shoot(legends, QStringLiteral("console_window_legends"));
    legends->close();

    auto* serverMessage = new SendMessageDialog(ui::Program::Server, "", nullptr);
    shoot(serverMessage, QStringLiteral("send_message_server"));
    serverMessage->close();
    auto* clientMessage = new SendMessageDialog(ui::Program::Client, "anna", nullptr);
    clientMessage->findChild<QLineEdit*>(QStringLiteral("messageEdit"))
        ->setText(QStringLiteral("The drawing is checked in again."));
    shoot(clientMessage, QStringLiteral("send_message_client_reply"));
    clientMessage->close();

    RecipientNotationDialog serverNotation(ui::Program::Server);
    shoot(&serverNotation, QStringLiteral("recipient_notation_server"));
    serverNotation.close();
    RecipientNotationDialog clientNotation(ui::Program::Client);
    shoot(&clientNotation, QStringLiteral("recipient_notation_client"));
    clientNotation.close();

    shootModal(QStringLiteral("information_box"), [] {
        showInformation(nullptr, ui::Program::Server, std::string(ui::text::EnterRecipient));
    });
    shootModal(QStringLiteral("open_failed_box"),
               [] { showInformation(nullptr, ui::Program::Client, ui::shellOpenFailure(3)); });
    shootModal(QStringLiteral("yes_no_question"), [] {
        askYesNo(nullptr, ui::Program::Client, "Are you sure you want to void check-out ?");
    });
    return end();
}

}  // namespace
}  // namespace zelt::gui

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (!zelt::gui::shots::begin(argc, argv)) return 2;
    return zelt::gui::run();
}
