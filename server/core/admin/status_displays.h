#pragma once

#include <string>
#include <string_view>

#include "common/console/console.h"
#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"

// The server's status blocks: short runs of console lines that lead on to detailed listings.
namespace zelt::server {

// Accounts whose state is enabled and that are logged in now.
int connectedUserCount(const AccountTable& accounts);
// Checked-out member-file slots of enabled groups; a file in two groups counts twice.
int checkedOutFileCount(const GroupTable& groups);

void showGroupInformation(Console& console, const GroupTable& groups);
void showAccountInformation(Console& console, const AccountTable& accounts);
void showSessionInformation(Console& console, const AccountTable& accounts,
                            const GroupTable& groups);
void showServerReady(Console& console, const std::string& address, int port);
void showContactInformation(Console& console, std::string_view mailAddress);
void showOnlineManual(Console& console);

// The DSPLOGIN and DSPCHKOUT listings.
void listLoggedInUsers(Console& console, const AccountTable& accounts);
void listCheckedOutFiles(Console& console, const GroupTable& groups);

}  // namespace zelt::server
