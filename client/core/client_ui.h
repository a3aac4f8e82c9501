#pragma once

#include <string>

#include "client/core/forms.h"
#include "client/core/models.h"

namespace zelt::client {

enum class ConnectionState { NotConnected = 0, Connected = 1, Connecting = 2 };

// Everything the client core asks of its windows. Modal dialogs run inside the call (and keep
// the reactor turning while they are open); tool windows are told their model whenever it
// changes and draw it, creating, showing, hiding or destroying themselves as the model says.
class ClientUi {
public:
    virtual ~ClientUi() = default;

    // Modal dialogs. Each returns true for OK; a dialog checks its own input with the
    // validate... function of its form before it accepts.
    virtual bool runLogin(LoginForm& form) = 0;
    virtual bool runAccountProperties(PasswordForm& form) = 0;
    virtual CommentReply runComment(const std::string& path) = 0;
    virtual bool askYesNo(const std::string& question) = 0;
    // A message box with the information icon.
    virtual void messageBox(const std::string& text) = 0;

    // Plays the sound file (the system's default sound when it is missing) and flashes the
    // main window once.
    virtual void alert(const std::string& soundFile) = 0;
    // Opens a new Legends window.
    virtual void showLegends() = 0;
    // Opens a new Send Message window, addressed to recipient (empty for an empty window).
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
