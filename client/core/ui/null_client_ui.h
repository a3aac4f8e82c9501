#pragma once

#include "client/core/ui/client_ui.h"

namespace zelt::client {

// A front end with no windows at all, for a core driven only through its commands (a fuzzer, a
// test that needs a second client): every dialog is cancelled, every question answered No, and
// nothing is shown.
class NullClientUi : public ClientUi {
public:
    bool runLogin(LoginForm&, const ui::FormCheck<LoginForm>&) override { return false; }
    bool runAccountProperties(PasswordForm&, const ui::FormCheck<PasswordForm>&) override {
        return false;
    }
    CommentReply runComment(const std::string&) override { return {}; }
    bool askYesNo(const std::string&) override { return false; }
    void messageBox(const std::string&) override {}
    void alert(const std::string&) override {}
    void notify(const std::string&) override {}
    void showLegends() override {}
    void openSendMessage(const std::string&) override {}
    void availableFilesChanged(const AvailableFilesModel&) override {}
    void filePropertiesChanged(const FilePropertiesModel&) override {}
    void fileTransferChanged(const FileTransferModel&) override {}
    void workingFilesChanged(const WorkingFilesModel&) override {}
    void connectionStateChanged(ConnectionState) override {}
    void closeMainWindow() override {}
};

}  // namespace zelt::client
