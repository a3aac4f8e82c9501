#include "server/core/displays.h"

#include <cstdio>

namespace zelt::server {

namespace {

struct StateCounts {
    int used = 0;
    int enabled = 0;
    int disabled = 0;
};

template <class Table, class StateField>
StateCounts countStates(const Table& table, StateField state) {
    StateCounts c;
    for (std::size_t i = 0; i < table.capacity(); ++i) {
        const std::int32_t s = table.record(i).get(state);
        if (s == StateFree) continue;
        ++c.used;
        if (s == StateEnabled) ++c.enabled;
        if (s == StateDisabled) ++c.disabled;
    }
    return c;
}

std::string format(const char* pattern, int a) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a);
    return text;
}

std::string format(const char* pattern, int a, int b, int c) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

}  // namespace

int connectedUserCount(const AccountTable& accounts) {
    int n = 0;
    for (std::size_t i = 0; i < accounts.capacity(); ++i) {
        const auto r = accounts.record(i);
        if (r.get(AccountRecord::state) == StateEnabled && r.get(AccountRecord::connected) == 1) ++n;
    }
    return n;
}

int checkedOutFileCount(const GroupTable& groups) {
    int n = 0;
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.enabled(g)) continue;
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            if (groups.fileEntry(g, k).get(FileEntry::checkedOut) == 1) ++n;
        }
    }
    return n;
}

void showGroupInformation(Console& console, const GroupTable& groups) {
    const StateCounts c = countStates(groups, GroupRecord::state);
    console.plain("- - - Group information - - -");
    console.plain(c.used == 0 ? std::string("You have no group.")
                              : format("You have %d group.  enabled(%d) disabled(%d)", c.used,
                                       c.enabled, c.disabled));
    console.function("Create a new group", "CRTGRP");
    if (c.used > 0) console.function("Display group", "DSPGRP");
}

void showAccountInformation(Console& console, const AccountTable& accounts) {
    const StateCounts c = countStates(accounts, AccountRecord::state);
    console.plain("- - - Account information - - -");
    console.plain(c.used == 0 ? std::string("You have no user account.")
                              : format("You have %d user account.  enabled(%d) disabled(%d)",
                                       c.used, c.enabled, c.disabled));
    console.function("Create a new account", "CRTACT");
    if (c.used > 0) {
        console.function("Display account", "DSPACT");
        console.function("Search account", "SRCHAC");
    }
}

void showSessionInformation(Console& console, const AccountTable& accounts,
                            const GroupTable& groups) {
    console.plain("- - - Session information - - -");
    const int users = connectedUserCount(accounts);
    if (users > 0) {
        console.plain(format("%d user(s) currently connected.", users));
        console.function("Display connected users.", "DSPLOGIN");
    } else {
        console.plain("No user currently connected.");
    }
    const int files = checkedOutFileCount(groups);
    if (files > 0) {
        console.plain(format("%d file(s) currently checked-out.", files));
        console.function("Display checked-out files.", "DSPCHKOUT");
    } else {
        console.plain("No file currently checked-out.");
    }
}

void showServerReady(Console& console, const std::string& address, int port) {
    console.separator();
    char text[200];
    std::snprintf(text, sizeof text, "Server is ready at %s, %d TCP/IP port.",
                  address.substr(0, 79).c_str(), port);
    console.important(text);
}

void showContactInformation(Console& console) {
    console.plain("- - - Contact information - - -");
    console.function(SupportAddress, "OPENWEB");
    console.function(SupportMail, "OPENMAIL");
}

void showOnlineManual(Console& console) {
    console.plain("- - - On-line manual - - -");
    console.function(ManualAddress, "OPENWEB");
}

void listLoggedInUsers(Console& console, const AccountTable& accounts) {
    console.separator();
    console.plain("Logged in users:");
    for (std::size_t i = 0; i < accounts.capacity(); ++i) {
        const auto r = accounts.record(i);
        if (r.get(AccountRecord::connected) == 1) {
            console.function(r.get(AccountRecord::userName), "EDTACT");
        }
    }
}

void listCheckedOutFiles(Console& console, const GroupTable& groups) {
    console.separator();
    console.plain("Checked-out files:");
    for (std::size_t g = 0; g < groups.capacity(); ++g) {
        if (!groups.inUse(g)) continue;
        const std::string name = groups.record(g).get(GroupRecord::name);
        for (std::size_t k = 0; k < MaxMemberFiles; ++k) {
            const auto entry = groups.fileEntry(g, k);
            if (entry.get(FileEntry::checkedOut) == 1) {
                console.function(name + "::" + entry.get(FileEntry::path), "FILEPROP");
            }
        }
    }
}

}  // namespace zelt::server
