#include "client/core/ui/shell_opener.h"

#include "client/core/ui/texts.h"
#include "common/ui/shared_windows.h"

namespace zelt::client {

namespace {

constexpr int kHighestFailure = 32;

}  // namespace

void ShellOpener::open(const std::string& path) {
    const int code = open_(path);
    if (code <= kHighestFailure) ui_.messageBox(ui::shellOpenFailure(code));
}

void ShellOpener::openMail(const std::string& address) {
    open_(ui::mailtoAddress(address, text::VersionText));
}

}  // namespace zelt::client
