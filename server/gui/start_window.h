#pragma once

#include <string>

namespace zelt::server {

// zelt-server without --headless: the window on the desktop, on the data directory given
// (empty: the configured one). Returns the program's exit status: 0 after an orderly close or
// when the copy already running on that data directory was brought forward, 1 when another
// server holds the data directory, 2 when there is no display to open a window on.
int startWindow(const std::string& dataDirOption, int& argc, char** argv);

}  // namespace zelt::server
