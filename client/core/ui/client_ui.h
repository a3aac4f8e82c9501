#pragma once

#include <string>

#include "client/core/session/connection_state.h"
#include "client/core/ui/forms.h"
#include "client/core/ui/models.h"
#include "common/ui/form_check.h"

namespace zelt::client {

// Everything the client core asks of its front end. Modal dialogs run inside the call (and keep
// the reactor turning while they are open); tool windows are told their model whenever it
// changes and draw it, creating, showing, hiding or destroying themselves as the model says.
// Every member must be given: a front end that has no window for something says so in its own
// override (null_client_ui.h is the one that has none at all).
class ClientUi {
public:
    virtual ~ClientUi() = default;

    // Modal dialogs with an OK check. The dialog opens filled from the form; on OK it runs the
    // check, shows the returned text in a message box and stays open, or writes what was typed
    // into the form and returns true. Cancel returns false.
    virtual bool runLogin(LoginForm& form, const ui::FormCheck<LoginForm>& check) = 0;
    virtual bool runAccountProperties(PasswordForm& form,
                                      const ui::FormCheck<PasswordForm>& check) = 0;
    // The Comment dialog has no check and no Cancel: closing it is an answer too.
    virtual CommentReply runComment(const std::string& path) = 0;
    virtual bool askYesNo(const std::string& question) = 0;
    // A message box with the information icon.
    virtual void messageBox(const std::string& text) = 0;

    // Plays the sound file (the system's default sound when it is missing) and flashes the
    // main window once.
    virtual void alert(const std::string& soundFile) = 0;
    // News the user should see even while working in another program (an important message,
    // the server's shut-down broadcast, a check-out the administrator voided): shown as a
    // desktop notification when the main window is not the active one.
    virtual void notify(const std::string& text) = 0;
    // Opens a new Legends window.
    virtual void showLegends() = 0;
    // Opens a new Send Message window, addressed to recipient (empty for an empty window). Its
    // Send runs ui::checkMessageForm and then ClientCore::sendMessage.
    virtual void openSendMessage(const std::string& recipient) = 0;

    // Tool windows.
    virtual void availableFilesChanged(const AvailableFilesModel& model) = 0;
    virtual void filePropertiesChanged(const FilePropertiesModel& model) = 0;
    virtual void fileTransferChanged(const FileTransferModel& model) = 0;
    virtual void workingFilesChanged(const WorkingFilesModel& model) = 0;

    // The connection state changed: menus and toolbar follow the enabling rules.
    virtual void connectionStateChanged(ConnectionState state) = 0;
    // Closes the main window without asking; the core has already cleaned up.
    virtual void closeMainWindow() = 0;
};

}  // namespace zelt::client
