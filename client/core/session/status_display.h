#pragma once

#include <string>

#include "client/core/session/connection_state.h"
#include "client/core/state/check_out_table.h"
#include "common/console/console.h"

// The client's short summaries on the console. Each only reads the state and appends lines.
namespace zelt::client {

// "You currently checked-out N file(s)." (a line that opens Working Files), or that there is
// none.
void printCheckOutLine(Console& console, const CheckOutTable& table);
// The Status block: the connection, then the check-out line.
void printStatus(Console& console, ConnectionState state, const std::string& userName,
                 const CheckOutTable& table);
// The On-line manual block: its address as a line that opens it.
void printManual(Console& console);

}  // namespace zelt::client
