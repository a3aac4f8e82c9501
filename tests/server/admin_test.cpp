// Account administration, the Server/Status/Help commands and the console's tag table, driven
// through a scripted front end.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "common/platform/files.h"
#include "common/ui/shared_windows.h"
#include "server/core/admin/account_form.h"
#include "server/core/store/settings_files.h"
#include "tests/server/server_fixture.h"

namespace zelt::server::test {
namespace {

ScriptedUi::AccountStep fill(std::string userName, std::string password = "pw",
                             bool disable = false) {
    return [=](AccountForm& f) {
        f.userName = userName;
        f.password = password;
        f.retype = password;
        f.disable = disable;
    };
}

using Line = zelt::test::SeenLine;

Line plain(std::string text) {
    return {std::move(text), LineKind::Plain, std::string(kNoTag)};
}
Line fn(std::string text, std::string tag) {
    return {std::move(text), LineKind::Function, std::move(tag)};
}

class AdminTest : public ServerFixture {
protected:
    void SetUp() override { startAdminServer(); }

    void startAdminServer() {
        server.reset();
        ServerOptions options;
        options.dataDir = dir.path();
        options.listenPort = 0;
        server = std::make_unique<Server>(reactor, console, ui, options);
        server->launch();
        reactor.advance(Server::StartDelay);
        ASSERT_TRUE(server->listening());
    }

    std::vector<Line> since(std::size_t mark) const {
        return zelt::test::linesSince(console, mark);
    }

    // Appends a function line and executes it, as a double-click would.
    bool run(const std::string& tag, const std::string& text = "x") {
        console.function(text, tag);
        return server->commands().executeLine(static_cast<int>(console.size()) - 1);
    }

    AccountTable accountsOnDisk() const {
        AccountTable table;
        table.load(dir.file("Accounts.zelt"));
        return table;
    }
    GroupTable groupsOnDisk() const {
        GroupTable table;
        table.load(dir.file("Groups.zelt"));
        return table;
    }

};

// --- Account Properties checks ----------------------------------------------------------

TEST(AccountFormChecks, RefusalsComeInOrderWithTheirTexts) {
    AccountTable accounts;
    accounts.record(0).set(AccountRecord::state, StateEnabled);
    accounts.record(0).set(AccountRecord::userName, "Bob");
    accounts.record(1).set(AccountRecord::state, StateEnabled);
    accounts.record(1).set(AccountRecord::userName, "carol");
    const auto check = [&](std::string name, std::string pw, std::string retype,
                           std::size_t index = 5) {
        AccountForm f;
        f.userName = std::move(name);
        f.password = std::move(pw);
        f.retype = std::move(retype);
        return validateAccountForm(f, accounts, index).value_or("");
    };
    EXPECT_EQ(check("", "", ""), "Please enter the username.");
    // White space is refused before the name is looked up.
    EXPECT_EQ(check("b ob", "", ""), "You can't use white space characters in the username.");
    EXPECT_EQ(check("b\tob", "", ""), "You can't use white space characters in the username.");
    EXPECT_EQ(check("BOB", "", ""), "User 'BOB' is already exist.");
    EXPECT_EQ(check("aDmIn", "", ""), "User 'aDmIn' is reserved for administration.");
    EXPECT_EQ(check("a;b", "", ""),
              "You can't use the following characters for user name:\n\n\\ / : * ? \" < > | ;");
    EXPECT_EQ(check("ann", "", "x"), "Please enter the password.");
    EXPECT_EQ(check("ann", std::string(21, 'p'), "x"), "Password is too long.");
    EXPECT_EQ(check("ann", "pw", ""), "Please enter the password.");
    EXPECT_EQ(check("ann", "pw", std::string(21, 'p')), "Password is too long.");
    EXPECT_EQ(check("ann", "pw", "PW"), "Password does not match with re-type.");
    EXPECT_EQ(check("ann", std::string(20, 'p'), std::string(20, 'p')), "");

    // Renaming: the edited account is never its own duplicate, another one always is.
    EXPECT_EQ(check("BOB", "pw", "pw", 0), "");
    EXPECT_EQ(check("Carol", "pw", "pw", 0), "User 'Carol' is already exist.");
    // The edit keeps 50 characters: a longer name is checked as what would be stored.
    accounts.record(2).set(AccountRecord::state, StateEnabled);
    accounts.record(2).set(AccountRecord::userName, std::string(50, 'n'));
    EXPECT_EQ(check(std::string(50, 'n') + "x", "pw", "pw"),
              "User '" + std::string(50, 'n') + "' is already exist.");

    // Removing an existing account needs no other check; a new account cannot be removed.
    AccountForm remove;
    remove.remove = true;
    EXPECT_FALSE(validateAccountForm(remove, accounts, 0).has_value());
    EXPECT_EQ(validateAccountForm(remove, accounts, 5), "Please enter the username.");
}

TEST(AccountSearch, MatchesAnyFieldInAnyLetterCaseAndCountsInWords) {
    AccountTable accounts;
    accounts.record(0).set(AccountRecord::state, StateEnabled);
    accounts.record(0).set(AccountRecord::userName, "ann");
    accounts.record(0).set(AccountRecord::dept, "Sales EMEA");
    accounts.record(3).set(AccountRecord::state, StateDisabled);
    accounts.record(3).set(AccountRecord::userName, "bob");
    accounts.record(3).set(AccountRecord::misc, "emea lead");
    accounts.record(4).set(AccountRecord::userName, "ghost");  // free record
    accounts.record(4).set(AccountRecord::dept, "EMEA");
    EXPECT_EQ(findAccounts(accounts, "eMeA"), (std::vector<std::size_t>{0, 3}));
    EXPECT_EQ(findAccounts(accounts, "ANN"), (std::vector<std::size_t>{0}));
    EXPECT_TRUE(findAccounts(accounts, "").empty());
    EXPECT_EQ(searchCountText(0), "0 account found.");
    EXPECT_EQ(searchCountText(1), "1 account found.");
    EXPECT_EQ(searchCountText(2), "2 accounts found.");
}

TEST(CommandTexts, NoticeLines) {
    EXPECT_EQ(splitEditLines("one\r\n\r\ntwo\nthree"),
              (std::vector<std::string>{"one", "", "two", "three"}));
}

// --- Creating ----------------------------------------------------------------------------

TEST_F(AdminTest, CreatedAccountIsOnDiskWithItsLineAfterARefusedFirstTry) {
    ui.accountSteps.push_back(fill("ann smith"));
    ui.accountSteps.push_back([](AccountForm& f) {
        fill("ann", "pw")(f);
        f.dept = "Sales";
    });
    std::size_t mark = console.size();
    EXPECT_TRUE(run("CRTACT", "Create a new account"));
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"You can't use white space characters in the username."});
    ASSERT_EQ(ui.openedAccounts.size(), 1u);
    EXPECT_FALSE(ui.openedAccounts[0].removeEnabled);
    EXPECT_FALSE(ui.openedAccounts[0].disconnectEnabled);
    EXPECT_EQ(since(mark + 1), std::vector<Line>{plain("User 'ann' created, enabled.")});

    const AccountTable disk = accountsOnDisk();
    const int ann = disk.findByUserName("ANN");
    ASSERT_GE(ann, 0);
    EXPECT_EQ(disk.record(ann).get(AccountRecord::state), StateEnabled);
    EXPECT_EQ(disk.record(ann).get(AccountRecord::dept), "Sales");
    EXPECT_EQ(disk.record(ann).get(AccountRecord::password), scramble::scramble("pw"));
    logIn("ann", "pw");

    ui.accountSteps.push_back(fill("bob", "pw", true));
    mark = console.size();
    run("CRTACT");
    EXPECT_EQ(since(mark + 1), std::vector<Line>{plain("User 'bob' created, disabled.")});

    // Cancelled: nothing taken, nothing said.
    mark = console.size();
    run("CRTACT");
    EXPECT_EQ(since(mark + 1).size(), 0u);
    EXPECT_EQ(server->accounts().findFree(), 2);
}

TEST_F(AdminTest, FullTableAndFailedSavesAreErrorsNotSuccesses) {
    for (std::size_t i = 0; i < MaxAccounts; ++i) addAccount("u" + std::to_string(i));
    std::size_t mark = console.size();
    run("CRTACT");
    EXPECT_EQ(
        since(mark + 1),
        (std::vector<Line>{{std::string(text::AccountFull), LineKind::Error, std::string(kNoTag)}}));
    EXPECT_TRUE(ui.openedAccounts.empty());
    ui.userList = [](UserListSource& source) -> std::optional<std::vector<std::string>> {
        EXPECT_FALSE(source.create().has_value());
        return std::nullopt;
    };
    server->accountAdmin().chooseUsers();
    // Nothing typed was wrong: the box is an information one.
    EXPECT_EQ(ui.information, std::vector<std::string>{std::string(text::AccountFull)});
    EXPECT_TRUE(ui.messages.empty());

    // A table file that cannot be replaced.
    server->accounts().clearAll();
    EXPECT_NE(files::createFolder(dir.file("Accounts.zelt")), files::FolderResult::Failed);
    const int bob = addAccount("bob");
    ui.accountSteps.push_back(fill("ann"));
    mark = console.size();
    run("CRTACT");
    EXPECT_EQ(since(mark + 1),
              (std::vector<Line>{{"Failed to save the account table (Accounts.zelt).",
                                  LineKind::Error, std::string(kNoTag)}}));
    EXPECT_LT(server->accounts().findByUserName("ann"), 0);

    ui.accountSteps.push_back([](AccountForm& f) { f.disable = true; });
    run("EDTACT", "bob");
    EXPECT_EQ(console.lines().back().kind, LineKind::Error);
    EXPECT_EQ(server->accounts().record(bob).get(AccountRecord::state), StateEnabled);

    addGroup("crew", {"bob"});
    ui.accountSteps.push_back([](AccountForm& f) { f.remove = true; });
    mark = console.size();
    run("EDTACT", "bob");
    EXPECT_EQ(since(mark + 1).size(), 1u);  // the error line only
    EXPECT_EQ(server->accounts().findByUserName("bob"), bob);
    EXPECT_TRUE(server->groups().isMember(0, "bob"));

    // The account table is written but the group table is not: the removal stands, the
    // dismissals are not claimed.
    ASSERT_TRUE(files::removeFolder(dir.file("Accounts.zelt")));
    ASSERT_TRUE(files::removeFile(dir.file("Groups.zelt")));
    EXPECT_NE(files::createFolder(dir.file("Groups.zelt")), files::FolderResult::Failed);
    ui.accountSteps.push_back([](AccountForm& f) { f.remove = true; });
    mark = console.size();
    run("EDTACT", "bob");
    EXPECT_EQ(since(mark + 1), (std::vector<Line>{plain("User 'bob' removed."),
                                                  {"Failed to save the group table (Groups.zelt).",
                                                   LineKind::Error, std::string(kNoTag)}}));
    EXPECT_LT(accountsOnDisk().findByUserName("bob"), 0);
    EXPECT_FALSE(server->groups().isMember(0, "bob"));
}

// --- Editing -----------------------------------------------------------------------------

TEST_F(AdminTest, DisablingAConnectedAccountClosesItAndSaysSoInOrder) {
    const int ann = addAccount("ann");
    auto peer = logIn("ann");
    ui.accountSteps.push_back([](AccountForm& f) { f.disable = true; });
    const std::size_t mark = console.size();
    run("EDTACT", "ANN");
    ASSERT_EQ(ui.openedAccounts.size(), 1u);
    EXPECT_TRUE(ui.openedAccounts[0].disconnectEnabled);
    EXPECT_EQ(ui.openedAccounts[0].password, "secret");
    EXPECT_EQ(since(mark + 1),
              (std::vector<Line>{plain("User 'ann' disconnected."),
                                 plain("User 'ann' updated, disconnected, disabled.")}));
    EXPECT_TRUE(peer->waitClosed());
    EXPECT_EQ(server->accounts().record(ann).get(AccountRecord::connected), 0);
    EXPECT_EQ(accountsOnDisk().record(ann).get(AccountRecord::state), StateDisabled);

    // Enabled again; then a plain update.
    ui.accountSteps.push_back([](AccountForm& f) { f.disable = false; });
    std::size_t m = console.size();
    run("EDTACT", "ann");
    EXPECT_EQ(since(m + 1), std::vector<Line>{plain("User 'ann' updated, enabled.")});
    ui.accountSteps.push_back([](AccountForm& f) { f.phone = "123"; });
    m = console.size();
    run("EDTACT", "ann");
    EXPECT_EQ(since(m + 1), std::vector<Line>{plain("User 'ann' updated.")});
    EXPECT_EQ(accountsOnDisk().record(ann).get(AccountRecord::phone), "123");
    // Disabled while not connected.
    ui.accountSteps.push_back([](AccountForm& f) { f.disable = true; });
    m = console.size();
    run("EDTACT", "ann");
    EXPECT_EQ(since(m + 1), std::vector<Line>{plain("User 'ann' updated, disabled.")});
}

TEST_F(AdminTest, DisconnectBoxClosesTheConnectionAfterTheUpdateLineOnce) {
    addAccount("ann");
    auto peer = logIn("ann");
    ui.accountSteps.push_back([](AccountForm& f) { f.disconnect = true; });
    const std::size_t mark = console.size();
    run("EDTACT", "ann");
    EXPECT_EQ(since(mark + 1),
              (std::vector<Line>{plain("User 'ann' updated."), plain("User 'ann' disconnected.")}));
    EXPECT_TRUE(peer->waitClosed());
    // The account may log in again.
    logIn("ann");

    // Cancel and unknown names change nothing.
    const std::size_t m = console.size();
    run("EDTACT", "ann");
    run("EDTACT", "nobody");
    EXPECT_EQ(since(m).size(), 2u);
    EXPECT_EQ(ui.openedAccounts.size(), 2u);
}

TEST_F(AdminTest, ConnectionsMadeWhileTheDialogIsOpenAreSeenOnOk) {
    addAccount("ann");
    std::unique_ptr<TestPeer> peer;
    // The user logs in while the administrator is still in the dialog.
    ui.accountSteps.push_back([&](AccountForm& f) {
        EXPECT_FALSE(f.disconnectEnabled);
        peer = logIn("ann");
        f.disable = true;
    });
    const std::size_t mark = console.size();
    run("EDTACT", "ann");
    EXPECT_EQ(since(mark + 1),
              (std::vector<Line>{plain("User 'ann' disconnected."),
                                 plain("User 'ann' updated, disconnected, disabled.")}));
    ASSERT_TRUE(peer);
    EXPECT_TRUE(peer->waitClosed());
}

TEST_F(AdminTest, AnAccountMadeInTheRecordOfOneBeingEditedIsNotOverwritten) {
    const int ann = addAccount("ann");
    // While the dialog is open the admin command removes ann and creates bob, who gets her
    // record.
    ui.accountSteps.push_back([&](AccountForm& f) {
        AccountForm removal = accountFormFor(server->accounts(), static_cast<std::size_t>(ann));
        removal.remove = true;
        EXPECT_TRUE(server->accountAdmin().acceptEdit(static_cast<std::size_t>(ann), removal));
        AccountForm bob;
        fill("bob")(bob);
        EXPECT_TRUE(server->accountAdmin().createAccount(bob));
        f.dept = "Sales";
    });
    const std::size_t mark = console.size();
    run("EDTACT", "ann");
    EXPECT_EQ(since(mark + 1), (std::vector<Line>{plain("User 'ann' removed."),
                                                  plain("User 'bob' created, enabled.")}));
    const AccountTable disk = accountsOnDisk();
    EXPECT_EQ(disk.record(ann).get(AccountRecord::userName), "bob");
    EXPECT_EQ(disk.record(ann).get(AccountRecord::dept), "");
}

TEST_F(AdminTest, RenamingToOwnNameInOtherCaseIsAcceptedToAnothersRefused) {
    const int ann = addAccount("ann");
    addAccount("Bob");
    ui.accountSteps.push_back([](AccountForm& f) { f.userName = "Ann"; });
    std::size_t mark = console.size();
    run("EDTACT", "ann");
    EXPECT_EQ(since(mark + 1), std::vector<Line>{plain("User 'Ann' updated.")});
    EXPECT_EQ(accountsOnDisk().record(ann).get(AccountRecord::userName), "Ann");

    ui.accountSteps.push_back([](AccountForm& f) { f.userName = "bOB"; });
    mark = console.size();
    run("EDTACT", "ann");
    EXPECT_EQ(ui.messages, std::vector<std::string>{"User 'bOB' is already exist."});
    EXPECT_EQ(since(mark + 1).size(), 0u);
    EXPECT_EQ(server->accounts().record(ann).get(AccountRecord::userName), "Ann");
}

TEST_F(AdminTest, ARenamedAccountTakesItsGroupsAndCheckOutsAlongAndTheOldNameGetsNone) {
    addAccount("ann");
    addAccount("bob");
    addGroup("crew", {"bob", "ANN"}, {"/srv/plan.txt"});
    addGroup("shelf", {"Ann"}, {"/srv/plan.txt"}, StateDisabled);
    const auto checkOut = [](TestPeer& peer) {
        proto::Packet p(proto::Opcode::ReqCheckOut);
        p.set(proto::ReqCheckOut::path, "/srv/plan.txt");
        peer.send(p);
        return peer.expect(proto::Opcode::RepCheckOut);
    };
    auto ann = logIn("ann");
    ASSERT_EQ(checkOut(*ann).get(proto::RepCheckOut::status), proto::RepCheckOut::kCheckedOut);

    // What Groups.zelt says at the moment the line appears.
    struct OnLine : ConsoleObserver {
        void lineAppended(const ConsoleLine&, std::size_t) override { run(); }
        void cleared() override {}
        std::function<void()> run;
    } diskAtLine;
    std::vector<std::string> seen;
    diskAtLine.run = [&] {
        const GroupTable disk = groupsOnDisk();
        seen.push_back(disk.record(0).get(GroupRecord::members.at(1)) + "/" +
                       disk.record(1).get(GroupRecord::members.at(0)) + "/" +
                       disk.fileEntry(0, 0).get(FileEntry::holder));
    };
    console.addObserver(&diskAtLine);
    ui.accountSteps.push_back([](AccountForm& f) { f.userName = "anne"; });
    const std::size_t mark = console.size();
    run("EDTACT", "ann");
    console.removeObserver(&diskAtLine);
    EXPECT_EQ(since(mark + 1), std::vector<Line>{plain("User 'anne' updated.")});
    EXPECT_EQ(seen.back(), "anne/anne/anne");
    EXPECT_EQ(accountsOnDisk().findByUserName("ann"), -1);

    // A new account of the old name belongs nowhere and holds nothing.
    ui.accountSteps.push_back(fill("ann"));
    run("CRTACT");
    auto newcomer = logIn("ann", "pw");
    newcomer->send(proto::Packet(proto::Opcode::ReqGroupList));
    EXPECT_EQ(newcomer->expect(proto::Opcode::RepGroupList).get(proto::RepGroupList::count), 0);
    addGroup("open", {"ann"}, {"/srv/plan.txt"});
    EXPECT_EQ(checkOut(*newcomer).get(proto::RepCheckOut::reason),
              "Already checked-out by 'anne' at 2007/04/28 [16:05].");
}

TEST_F(AdminTest, RemovingAConnectedAccountDismissesItFromEveryGroupOnDisk) {
    const int ann = addAccount("ann");
    addAccount("bob");
    addGroup("alpha", {"bob", "ann"});
    addGroup("beta", {"bob"});
    addGroup("gamma", {"ANN"}, {}, StateDisabled);
    auto peer = logIn("ann");
    ui.accountSteps.push_back([](AccountForm& f) { f.remove = true; });
    const std::size_t mark = console.size();
    run("EDTACT", "ann");
    EXPECT_EQ(since(mark + 1),
              (std::vector<Line>{plain("User 'ann' disconnected."), plain("User 'ann' removed."),
                                 plain("User 'ann' is dismissed from group 'alpha'."),
                                 plain("User 'ann' is dismissed from group 'gamma'.")}));
    EXPECT_TRUE(peer->waitClosed());
    EXPECT_FALSE(server->accounts().inUse(ann));
    const AccountTable accounts = accountsOnDisk();
    EXPECT_FALSE(accounts.inUse(ann));
    EXPECT_GE(accounts.findByUserName("bob"), 0);
    const GroupTable groups = groupsOnDisk();
    EXPECT_FALSE(groups.isMember(0, "ann"));
    EXPECT_TRUE(groups.isMember(0, "bob"));
    EXPECT_FALSE(groups.isMember(2, "ann"));
    EXPECT_TRUE(groups.isMember(1, "bob"));

    // A new account of that name starts with no groups.
    ui.accountSteps.push_back(fill("ann"));
    run("CRTACT");
    EXPECT_FALSE(server->groups().isMember(0, "ann"));
}

// --- Listing, searching, User List ---------------------------------------------------------

TEST_F(AdminTest, ListAndSearchWithKeywordsKeptForTheRun) {
    addAccount("ann");
    const int bob = addAccount("bob");
    server->accounts().record(bob).set(AccountRecord::dept, "Field Ops");
    addAccount("carol", "x", StateDisabled);
    std::size_t mark = console.size();
    run("DSPACT", "Display account");
    EXPECT_EQ(since(mark + 1),
              (std::vector<Line>{plain(std::string(Console::Separator)), plain("Account list:"),
                                 fn("ann", "EDTACT"), fn("bob", "EDTACT"), fn("carol", "EDTACT")}));

    ui.searches = {std::string("fIeLd"), std::string("A"), std::nullopt, std::string("")};
    mark = console.size();
    run("SRCHAC");
    EXPECT_EQ(since(mark + 1), (std::vector<Line>{plain("- - - Search result - - -"),
                                                  fn("bob", "EDTACT"), plain("1 account found.")}));
    mark = console.size();
    run("SRCHAC");
    EXPECT_EQ(since(mark + 1),
              (std::vector<Line>{plain("- - - Search result - - -"), fn("ann", "EDTACT"),
                                 fn("carol", "EDTACT"), plain("2 accounts found.")}));
    mark = console.size();
    run("SRCHAC");  // cancelled: no lines, keywords kept
    EXPECT_EQ(since(mark + 1).size(), 0u);
    mark = console.size();
    run("SRCHAC");
    EXPECT_EQ(since(mark + 1),
              (std::vector<Line>{plain("- - - Search result - - -"), plain("0 account found.")}));
    EXPECT_EQ(ui.searchPrefills, (std::vector<std::string>{"", "fIeLd", "A", "A"}));

    ui.searches = {std::string(40, 'k')};
    run("SRCHAC");
    EXPECT_EQ(server->accountAdmin().searchKeywords(), std::string(30, 'k'));
    server->exit();
    startAdminServer();
    EXPECT_EQ(server->accountAdmin().searchKeywords(), "");
}

TEST_F(AdminTest, UserListCreatesASavedAccountSilentlyAndReturnsTheChoice) {
    const int ann = addAccount("ann");
    server->accounts().record(ann).set(AccountRecord::name, "Ann Lee");
    server->accounts().record(ann).set(AccountRecord::dept, "Ops");
    addAccount("bob");
    std::vector<UserListRow> before;
    std::vector<UserListRow> after;
    std::optional<std::size_t> created;
    ui.accountSteps.push_back(fill("dora"));
    ui.userList = [&](UserListSource& source) -> std::optional<std::vector<std::string>> {
        before = source.rows();
        created = source.create();
        after = source.rows();
        return std::vector<std::string>{"ann", "dora"};
    };
    const std::size_t mark = console.size();
    const auto chosen = server->accountAdmin().chooseUsers();
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, (std::vector<std::string>{"ann", "dora"}));
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0].userName, "ann");
    EXPECT_EQ(before[0].name, "Ann Lee");
    EXPECT_EQ(before[0].dept, "Ops");
    ASSERT_EQ(after.size(), 3u);
    ASSERT_TRUE(created.has_value());
    EXPECT_EQ(after[*created].userName, "dora");
    EXPECT_EQ(since(mark).size(), 0u);
    EXPECT_GE(accountsOnDisk().findByUserName("dora"), 0);

    ui.userList = nullptr;
    EXPECT_FALSE(server->accountAdmin().chooseUsers().has_value());
}

// --- Server menu and the close box ---------------------------------------------------------

TEST_F(AdminTest, ServerMenuDialogsPrintTheirLinesOnceAndWriteTheirFiles) {
    ServerCommands& commands = server->commands();
    std::size_t mark = console.size();
    commands.communicationProperties();
    auto lines = since(mark);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], plain(std::string(Console::Separator)));
    EXPECT_EQ(lines[1].kind, LineKind::Important);
    EXPECT_NE(lines[1].text.find(", 32767 TCP/IP port."), std::string::npos);
    EXPECT_EQ(lines[2], fn("Change communication port.", "CHGPORT"));

    // Port: a refused entry keeps the dialog open; the accepted one goes to Comm.zelt.
    ui.portEntries = {"65536", "4000"};
    run("CHGPORT", "Change communication port.");
    EXPECT_EQ(ui.openedPorts, std::vector<std::string>{"32767"});
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Please enter the valid port number."});
    EXPECT_EQ(readPort(dir.file("Comm.zelt")), 4000);
    mark = console.size();
    commands.communicationProperties();
    EXPECT_NE(console.lines()[mark + 1].text.find(", 4000 TCP/IP port."), std::string::npos);

    // Notice: the window shows CR LF and the stored text drops the trailing empty lines.
    ui.notice = NoticeForm{true, "Maintenance\r\n\r\nat 6\r\n\r\n"};
    mark = console.size();
    commands.noticeProperties();
    EXPECT_EQ(since(mark), std::vector<Line>{plain("Notice properties changed.")});
    EXPECT_EQ(NoticeSetting::read(dir.file("Notice.zelt")).textView(), "Maintenance\n\nat 6");
    ui.notice = NoticeForm{false, "ignored"};
    commands.noticeProperties();
    EXPECT_TRUE(ui.openedNotice.send);
    EXPECT_EQ(ui.openedNotice.text, "Maintenance\r\n\r\nat 6");
    const NoticeSetting off = NoticeSetting::read(dir.file("Notice.zelt"));
    EXPECT_FALSE(off.sending());
    EXPECT_EQ(off.textView(), "Maintenance\n\nat 6");
    // A notice that cannot be written is not reported as changed.
    ASSERT_TRUE(files::removeFile(dir.file("Notice.zelt")));
    EXPECT_NE(files::createFolder(dir.file("Notice.zelt")), files::FolderResult::Failed);
    ui.notice = NoticeForm{true, "x"};
    mark = console.size();
    commands.noticeProperties();
    ASSERT_EQ(since(mark).size(), 1u);
    EXPECT_EQ(since(mark)[0].kind, LineKind::Error);

    // Backup: the line is printed once; cancel prints nothing.
    ui.backupChoice = 2;
    mark = console.size();
    commands.backupProperties();
    EXPECT_EQ(ui.openedBackup.choices, (std::vector<std::string>{"5", "10", "20"}));
    EXPECT_EQ(ui.openedBackup.selected, 0);
    EXPECT_EQ(since(mark), std::vector<Line>{plain("Backup properties changed.")});
    EXPECT_EQ(readRetentionCount(dir.file("Backup.zelt")), 20);
    ui.backupChoice.reset();
    mark = console.size();
    commands.backupProperties();
    EXPECT_EQ(since(mark).size(), 0u);
}

TEST_F(AdminTest, CloseBoxMessageNewAndStatusFollowTheListeningSocket) {
    ServerCommands& commands = server->commands();
    EXPECT_TRUE(commands.messageNewEnabled());
    commands.newMessage();
    EXPECT_EQ(ui.sendMessageTo, std::vector<std::string>{""});

    std::size_t mark = console.size();
    EXPECT_FALSE(commands.requestClose());
    EXPECT_EQ(since(mark).front(), plain(std::string(Console::Separator)));
    EXPECT_EQ(since(mark)[1], plain("You are safe to shut down."));
    commands.shutDown();
    EXPECT_EQ(since(mark).size(), 8u);

    EXPECT_EQ(ui.listeningStates, std::vector<bool>{true});
    run("SHUTDOWN", "Shut down now.");
    EXPECT_FALSE(server->listening());
    EXPECT_EQ(ui.listeningStates, (std::vector<bool>{true, false}));
    EXPECT_FALSE(commands.messageNewEnabled());
    commands.newMessage();
    EXPECT_FALSE(commands.run(CommandId::NewMessage));
    EXPECT_EQ(ui.sendMessageTo.size(), 1u);
    EXPECT_TRUE(commands.run(CommandId::Legends));
    EXPECT_TRUE(commands.requestClose());
    EXPECT_EQ(ui.closeRequests, 0);
    run("CLOSESRV", "Close ZELT server.");
    EXPECT_EQ(ui.closeRequests, 1);

    // Clear when long: everything but Session empties a console of more than 500 lines.
    const auto fillTo = [&](std::size_t n) {
        console.clearAll();
        while (console.size() < n) console.plain("filler");
    };
    const std::vector<std::pair<std::function<void()>, std::string>> clearing = {
        {[&] { commands.groupStatus(); }, "- - - Group information - - -"},
        {[&] { commands.accountStatus(); }, "- - - Account information - - -"},
        {[&] { commands.allStatus(); }, "- - - Group information - - -"},
        {[&] { commands.manual(); }, "- - - On-line manual - - -"},
        {[&] { commands.contact(); }, "- - - Contact information - - -"},
    };
    for (const auto& [command, header] : clearing) {
        fillTo(501);
        command();
        EXPECT_EQ(console.lines().front().text, header);
        fillTo(500);
        command();
        EXPECT_EQ(console.lines()[500].text, header);
    }
    fillTo(501);
    commands.sessionStatus();
    EXPECT_EQ(console.lines()[501].text, "- - - Session information - - -");
    commands.legends();
    EXPECT_EQ(ui.legends, 3);
}

TEST_F(AdminTest, OnceCommunicationIsClosedItsCommandsSaySoInsteadOfActing) {
    run("SHUTDOWN", "Shut down now.");
    ASSERT_FALSE(server->listening());
    const Line closed{"Communication is closed.", LineKind::Important, std::string(kNoTag)};
    const Line closeLine = fn("Close ZELT server.", "CLOSESRV");
    const Line separator = plain(std::string(Console::Separator));

    // No ready line for a server that no longer listens; the port can still change.
    std::size_t mark = console.size();
    server->commands().communicationProperties();
    EXPECT_EQ(since(mark),
              (std::vector<Line>{separator, closed, fn("Change communication port.", "CHGPORT")}));
    // Nothing left to shut down or to schedule: only the window to close.
    mark = console.size();
    server->commands().shutDown();
    EXPECT_EQ(since(mark), (std::vector<Line>{separator, closed, closeLine}));
    ui.minuteEntries = {"5"};
    mark = console.size();
    run("SCHESHTDN", "Setup a schedule to shut down.");
    server->shutdown().schedule(3);
    EXPECT_EQ(since(mark + 1), (std::vector<Line>{closed, closeLine, closed, closeLine}));
    EXPECT_EQ(ui.minuteEntries.size(), 1u);  // the dialog never opened
    EXPECT_FALSE(server->shutdown().scheduled());
    EXPECT_FALSE(reactor.timerRunning(&server->shutdown(), ShutdownSchedule::CountdownTimer));

    // No Send Message window, and a window still open sends nothing.
    mark = console.size();
    server->commands().newMessage();
    run("REPLYMSG", "<bob> \"still there?\"");
    server->messages().sendAdminMessage("admin;bob", "written before the close", false);
    EXPECT_EQ(since(mark), (std::vector<Line>{closed, fn("<bob> \"still there?\"", "REPLYMSG"),
                                              closed, closed}));
    EXPECT_TRUE(ui.sendMessageTo.empty());
}

TEST(ServerCommandsBeforeStart, CommandsOnTablesWaitForTheStartUp) {
    TempDir dir;
    ManualReactor reactor;
    Console console{reactor.clock()};
    ScriptedUi ui;
    ServerOptions options;
    options.dataDir = dir.path();
    options.listenPort = 0;
    Server server(reactor, console, ui, options);
    ServerCommands& commands = server.commands();
    commands.groupStatus();
    commands.accountStatus();
    commands.sessionStatus();
    commands.allStatus();
    commands.shutDown();
    EXPECT_TRUE(commands.requestClose());
    EXPECT_FALSE(commands.messageNewEnabled());
    for (const char* tag : {"CRTACT", "DSPACT", "EDTACT", "SRCHAC", "DSPLOGIN", "DSPCHKOUT",
                            "CRTGRP", "DSPGRP", "EDTGRP", "FILEPROP"}) {
        console.function("x", tag);
        commands.executeLine(static_cast<int>(console.size()) - 1);
    }
    EXPECT_EQ(console.size(), 10u);
    EXPECT_TRUE(ui.openedAccounts.empty());
    EXPECT_TRUE(ui.groupDialogs.empty());
    EXPECT_TRUE(ui.filePropertiesPaths.empty());
    EXPECT_FALSE(server.accountAdmin().chooseUsers().has_value());
}

// --- The tag table -----------------------------------------------------------------------

TEST_F(AdminTest, EveryServerTagRunsItsAction) {
    addAccount("ann");
    const int bob = addAccount("bob");
    const int g = addGroup("crew", {"ann"}, {"/srv/plan.txt"});
    server->groups().fileEntry(g, 0).set(FileEntry::checkedOut, 1);
    auto peer = logIn("ann");
    std::size_t mark = 0;

    EXPECT_TRUE(run("OPENWEB", "https://zelt.example.org/manual/"));
    EXPECT_TRUE(run("OPENMAIL", "support@zelt.example.org"));
    EXPECT_EQ(ui.addresses,
              (std::vector<std::string>{"https://zelt.example.org/manual/",
                                        "mailto:support@zelt.example.org?subject=ZELT query: "
                                        "ZELT server 1.6.1"}));
    EXPECT_TRUE(run("REPLYMSG", "<bob> \"hello\""));
    EXPECT_EQ(ui.sendMessageTo, std::vector<std::string>{"bob"});

    mark = console.size();
    run("DSPLOGIN", "Display connected users.");
    EXPECT_EQ(since(mark + 1), (std::vector<Line>{plain(std::string(Console::Separator)),
                                                  plain("Logged in users:"), fn("ann", "EDTACT")}));
    mark = console.size();
    run("DSPCHKOUT", "Display checked-out files.");
    EXPECT_EQ(since(mark + 1).back(), fn("crew::/srv/plan.txt", "FILEPROP"));
    run("FILEPROP", "crew::/srv/plan.txt");
    EXPECT_EQ(ui.filePropertiesPaths, std::vector<std::string>{"/srv/plan.txt"});

    mark = console.size();
    run("DSPGRP", "Display group list.");
    EXPECT_EQ(since(mark + 1), (std::vector<Line>{plain(std::string(Console::Separator)),
                                                  plain("Group list:"), fn("crew", "EDTGRP")}));
    run("CRTGRP", "Create a new group.");
    run("EDTGRP", "CREW");
    EXPECT_EQ(ui.groupDialogs, (std::vector<int>{-1, g}));

    ui.accountSteps.push_back(fill("cy"));
    run("CRTACT");
    EXPECT_EQ(console.lines().back().text, "User 'cy' created, enabled.");
    ui.accountSteps.push_back([](AccountForm& f) { f.misc = "edited"; });
    run("EDTACT", "bob");
    EXPECT_EQ(server->accounts().record(bob).get(AccountRecord::misc), "edited");
    run("DSPACT");
    EXPECT_EQ(since(console.size() - 1), std::vector<Line>{fn("cy", "EDTACT")});
    ui.searches = {std::string("bo")};
    run("SRCHAC");
    EXPECT_EQ(console.lines().back().text, "1 account found.");

    // The schedule dialog refuses 0 and keeps running; cancelling twice.
    ui.minuteEntries = {"0", "3"};
    mark = console.size();
    run("SCHESHTDN", "Setup a schedule to shut down.");
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Please enter the valid minute value."});
    EXPECT_EQ(since(mark + 1), (std::vector<Line>{{"Server will be shut down in 3 minute(s).",
                                                   LineKind::Important, std::string(kNoTag)},
                                                  fn("Cancel shut down schedule.", "CNCLSHTDN")}));
    EXPECT_EQ(peer->expect(proto::Opcode::PushBroadcast).get(proto::PushBroadcast::text),
              "Server will be shut down in 3 minute(s).");
    run("CNCLSHTDN");
    EXPECT_FALSE(server->shutdown().scheduled());
    run("CNCLSHTDN");
    EXPECT_EQ(console.lines().back().text, "Shut down canceled already.");

    ui.portEntries = {"40000"};
    run("CHGPORT");
    EXPECT_EQ(server->port(), 40000);

    run("SHUTDOWN");
    EXPECT_TRUE(peer->waitClosed());
    EXPECT_EQ(console.lines().back().tag, "CLOSESRV");
    run("CLOSESRV");
    EXPECT_EQ(ui.closeRequests, 1);

    // Unknown tags, the empty tag and tags cut at 9 characters do nothing.
    mark = console.size();
    EXPECT_FALSE(run("NOSUCHTAG"));
    EXPECT_FALSE(run(std::string(kNoTag)));
    EXPECT_FALSE(run("SHUTDOWNNOW"));
    EXPECT_FALSE(run("crtact"));
    EXPECT_EQ(console.size(), mark + 4);
}

}  // namespace
}  // namespace zelt::server::test
