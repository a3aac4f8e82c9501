#pragma once

#include <string>
#include <string_view>

namespace zelt::settings {

// The machine-wide data directory of a program: the value of a "path=" line in the file named by
// the environment variable envName, else in defaultFile. One trailing slash is removed. Returns
// "" when neither file gives a value.
std::string machineDataDirectory(const char* envName, const std::string& defaultFile);

// Any other "key=" line of the same files, looked for in the same order: "" when neither file
// gives a value.
std::string machineSetting(const char* envName, const std::string& defaultFile,
                           std::string_view key);

// The user's documents folder: $XDG_DOCUMENTS_DIR, else what `xdg-user-dir DOCUMENTS` reports,
// else $HOME/Documents. "" when there is no home either.
std::string documentsFolder();

}  // namespace zelt::settings
