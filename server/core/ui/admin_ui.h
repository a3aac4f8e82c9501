#pragma once

#include <string>

#include "server/core/ui/account_dialogs.h"
#include "server/core/ui/group_dialogs.h"

namespace zelt::server {

// What the server core asks of its front end: windows to open, attention to draw, and the
// changes of state its window follows. The Qt window implements it with dialogs; the headless
// program and the fuzzer with NullAdminUi; the tests with a scripted administrator.
class AdminUi : public AccountDialogs, public GroupDialogs {
public:
    ~AdminUi() override = default;

    // The "Console Window Legends" window, opened without waiting for it.
    virtual void showLegends() = 0;
    // Plays Notify.zelt and flashes the main window once.
    virtual void alert() = 0;
    // Something the administrator should hear of even while working in another program (a
    // message for the administrator, a user turned away because every connection is taken):
    // a front end with a desktop may show it as a notification.
    virtual void notifyAdministrator(const std::string& text) = 0;
    // Closes the main window without asking, which ends the program.
    virtual void closeMainWindow() = 0;
    // A new Send Message window, addressed to preset (empty: no recipient yet).
    virtual void openSendMessage(const std::string& preset) = 0;
    // Opens a web or mail address with the desktop's handler.
    virtual void openAddress(const std::string& address) = 0;
    // A message box with an OK button, waited for.
    virtual void showMessage(const std::string& text) = 0;
    // A question with Yes and No buttons, waited for; true when Yes was chosen.
    virtual bool askYesNo(const std::string& text) = 0;
    // The listening socket opened (true) or communication closed (false): New Message and the
    // close box follow it.
    virtual void listeningChanged(bool listening) = 0;
    // The start-up refused to run, for the reason given (another server has the data
    // directory): the front end tells the administrator and ends the program with a failure.
    virtual void startRefused(const std::string& reason) = 0;
};

}  // namespace zelt::server
