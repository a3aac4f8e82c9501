#include "server/core/admin/status_displays.h"
#include "server/core/ui/texts.h"

#include <gtest/gtest.h>

namespace zelt::server {
namespace {

std::vector<std::string> texts(const Console& console) {
    std::vector<std::string> out;
    for (const ConsoleLine& line : console.lines()) out.push_back(line.text + "|" + line.tag);
    return out;
}

TEST(Displays, GroupAndAccountCountsWithTheirFunctionLines) {
    ManualClock clock;
    Console console(clock);
    GroupTable groups;
    AccountTable accounts;
    showGroupInformation(console, groups);
    showAccountInformation(console, accounts);
    EXPECT_EQ(texts(console),
              (std::vector<std::string>{"- - - Group information - - -|   ",
                                        "You have no group.|   ", "Create a new group|CRTGRP",
                                        "- - - Account information - - -|   ",
                                        "You have no user account.|   ",
                                        "Create a new account|CRTACT"}));
    console.clearAll();
    groups.record(0).set(GroupRecord::state, StateEnabled);
    groups.record(3).set(GroupRecord::state, StateDisabled);
    groups.record(7).set(GroupRecord::state, StateEnabled);
    accounts.record(2).set(AccountRecord::state, StateEnabled);
    showGroupInformation(console, groups);
    showAccountInformation(console, accounts);
    EXPECT_EQ(texts(console),
              (std::vector<std::string>{
                  "- - - Group information - - -|   ",
                  "You have 3 group.  enabled(2) disabled(1)|   ", "Create a new group|CRTGRP",
                  "Display group|DSPGRP", "- - - Account information - - -|   ",
                  "You have 1 user account.  enabled(1) disabled(0)|   ",
                  "Create a new account|CRTACT", "Display account|DSPACT",
                  "Search account|SRCHAC"}));
}

TEST(Displays, SessionCountsAFileInTwoGroupsTwiceAndSkipsDisabledOnes) {
    ManualClock clock;
    Console console(clock);
    GroupTable groups;
    AccountTable accounts;
    showSessionInformation(console, accounts, groups);
    EXPECT_EQ(texts(console), (std::vector<std::string>{"- - - Session information - - -|   ",
                                                        "No user currently connected.|   ",
                                                        "No file currently checked-out.|   "}));
    console.clearAll();
    for (int g : {0, 1, 2}) {
        groups.record(g).set(GroupRecord::state, g == 2 ? StateDisabled : StateEnabled);
        groups.record(g).set(GroupRecord::name, "G" + std::to_string(g));
        groups.fileEntry(g, 0).set(FileEntry::path, "/srv/a");
        groups.fileEntry(g, 0).set(FileEntry::checkedOut, 1);
    }
    accounts.record(0).set(AccountRecord::state, StateEnabled);
    accounts.record(0).set(AccountRecord::connected, 1);
    accounts.record(0).set(AccountRecord::userName, "anna");
    accounts.record(1).set(AccountRecord::state, StateDisabled);
    accounts.record(1).set(AccountRecord::connected, 1);
    showSessionInformation(console, accounts, groups);
    EXPECT_EQ(texts(console),
              (std::vector<std::string>{"- - - Session information - - -|   ",
                                        "1 user(s) currently connected.|   ",
                                        "Display connected users.|DSPLOGIN",
                                        "2 file(s) currently checked-out.|   ",
                                        "Display checked-out files.|DSPCHKOUT"}));
    console.clearAll();
    listCheckedOutFiles(console, groups);
    EXPECT_EQ(texts(console).back(), "G2::/srv/a|FILEPROP");  // the listing shows every group
    EXPECT_EQ(texts(console).size(), 5u);
}

TEST(Displays, ReadyContactAndManual) {
    ManualClock clock;
    Console console(clock);
    showServerReady(console, "192.0.2.7", 32767);
    showContactInformation(console, "zelt-admin@team.example");
    showOnlineManual(console);
    showContactInformation(console, "");
    const auto lines = texts(console);
    EXPECT_EQ(lines[1], "Server is ready at 192.0.2.7, 32767 TCP/IP port.|   ");
    EXPECT_EQ(console.lines()[1].kind, LineKind::Important);
    EXPECT_EQ(lines[2], "- - - Contact information - - -|   ");
    EXPECT_EQ(lines[3], std::string(text::SupportAddress) + "|OPENWEB");
    // The address the machine's settings name, else the machine's own administrator.
    EXPECT_EQ(lines[4], "zelt-admin@team.example|OPENMAIL");
    EXPECT_EQ(lines[6], std::string(text::ManualAddress) + "|OPENWEB");
    EXPECT_EQ(lines[9], std::string(text::SupportMail) + "|OPENMAIL");
}

}  // namespace
}  // namespace zelt::server
