#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "server/core/ui/account_dialogs.h"

// The two dialogs that take a number, Shut Down Schedule and Change Communication Port: how
// their entries read and the checks they make on OK.
namespace zelt::server {

// Minutes from 1 up, or nothing when the entry is not such a number.
std::optional<int> parseMinutes(std::string_view text);
// A port from 1 to 65535, or nothing.
std::optional<int> parsePort(std::string_view text);

// The message-box text of a refused entry, or nothing.
std::optional<std::string> checkShutdownForm(const ShutdownForm& form);
std::optional<std::string> checkPortForm(const PortForm& form);

}  // namespace zelt::server
