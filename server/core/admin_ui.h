#pragma once

#include <string>

#include "server/core/account_dialogs.h"
#include "server/core/group_dialogs.h"

namespace zelt::server {

// What the server core asks of its front end: windows to open and attention to draw. The Qt
// window implements it with dialogs; the headless front end and the tests with stand-ins.
class AdminUi : public AccountDialogs, public GroupDialogs {
public:
    virtual ~AdminUi() = default;

    // The "Console Window Legends" window, opened without waiting for it.
    virtual void showLegends() {}
    // Plays Notify.zelt and flashes the main window once.
    virtual void alert() {}
    // Closes the main window without asking, which ends the program.
    virtual void closeMainWindow() {}
    // A new Send Message window, addressed to preset (empty: no recipient yet).
    virtual void openSendMessage(const std::string& preset) { (void)preset; }
    // Opens a web or mail address with the desktop's handler.
    virtual void openAddress(const std::string& address) { (void)address; }
    // A message box with an OK button, waited for.
    virtual void showMessage(const std::string& text) { (void)text; }
    // A question with Yes and No buttons, waited for; true when Yes was chosen.
    virtual bool askYesNo(const std::string& text) {
        (void)text;
        return false;
    }
};

}  // namespace zelt::server
