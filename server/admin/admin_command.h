#pragma once

namespace zelt::server::admin {

// Exit statuses of `zelt-server admin`.
inline constexpr int ExitDone = 0;
inline constexpr int ExitRefused = 1;
inline constexpr int ExitUsage = 2;
inline constexpr int ExitNoServer = 3;

// `zelt-server admin [--data-dir DIR] [--json] COMMAND ...`: argv[0] is "admin". Returns the exit
// status.
int run(int argc, char** argv);

}  // namespace zelt::server::admin
