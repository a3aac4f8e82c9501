#pragma once

#include <functional>
#include <string>

#include "client/core/ui/client_ui.h"

namespace zelt::client {

// Opens files, folders and addresses as the desktop does. A file or folder that cannot be
// opened is reported in a message box with the reason; an address is handed over unchecked.
class ShellOpener {
public:
    // Returns a shell-style result code: above 32 when it worked.
    using OpenFn = std::function<int(const std::string&)>;

    ShellOpener(OpenFn open, ClientUi& ui) : open_(std::move(open)), ui_(ui) {}

    void open(const std::string& path);
    void openAddress(const std::string& address) { open_(address); }
    // A new mail to address, its subject naming the program's version.
    void openMail(const std::string& address);

private:
    OpenFn open_;
    ClientUi& ui_;
};

}  // namespace zelt::client
