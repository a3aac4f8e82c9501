#include <deque>
#include <filesystem>
#include <functional>

#include "server/core/admin/status_displays.h"
#include "tests/server/repository_fixture.h"

namespace zelt::server::test {
namespace {

using Script = ScriptedUi::GroupScript;
using Ok = std::function<bool()>;

// A script that edits the form and presses OK, which must be accepted.
Script okWith(std::function<void(GroupPropertiesModel&)> edit) {
    return [edit](GroupPropertiesModel& d, const Ok& ok) {
        edit(d);
        return ok();
    };
}

class GroupAdminTest : public RepositoryFixture {
protected:
    GroupAdmin& admin() { return server->groupAdmin(); }

    using Line = zelt::test::SeenLine;
    std::vector<Line> linesFrom(std::size_t mark) const {
        return zelt::test::linesSince(console, mark);
    }
    static Line plainLine(std::string text) { return {std::move(text), LineKind::Plain, "   "}; }

    // Makes Groups.zelt impossible to replace: a folder with something in it stands there.
    void breakGroupsFile() {
        std::filesystem::remove(server->paths().groups);
        std::filesystem::create_directories(server->paths().groups + "/x");
    }

};

TEST_F(GroupAdminTest, CreateAddsPickedMembersAndIsOnDiskBeforeItsLine) {
    ui.userPicks.push_back(std::vector<std::string>{"anna", "bob", "ANNA"});
    ui.filePicks.push_back(
        FilePick{.folder = dir.file("docs/"), .names = {"a.txt", "b.txt"}});
    const std::string tooLong = "/" + std::string(255, 'p');
    ui.filePicks.push_back(
        FilePick{.paths = {dir.file("docs/a.txt"), tooLong, dir.file("docs/a.txt.bak")}});
    ui.groupScripts.push_back(okWith([](GroupPropertiesModel& d) {
        EXPECT_FALSE(d.canRemoveGroup());
        EXPECT_EQ(d.usersCaption(), "Users (0/100)");
        d.form().name = "Dev";
        d.addUsers();
        d.addFiles();
        d.addFiles();
        EXPECT_EQ(d.filesCaption(), "Files (3/500)");
    }));
    // What Groups.zelt holds at the moment the line appears.
    struct OnLine : ConsoleObserver {
        void lineAppended(const ConsoleLine&, std::size_t) override { run(); }
        void cleared() override {}
        std::function<void()> run;
    } diskAtLine;
    std::vector<std::string> namesOnDisk;
    diskAtLine.run = [&] {
        namesOnDisk.push_back(groupsOnDisk()->record(0).get(GroupRecord::name));
    };
    console.addObserver(&diskAtLine);
    const std::size_t mark = console.size();
    admin().createGroup();
    console.removeObserver(&diskAtLine);

    EXPECT_EQ(linesFrom(mark), std::vector<Line>{plainLine("Group 'Dev' created, enabled.")});
    EXPECT_EQ(namesOnDisk, std::vector<std::string>{"Dev"});
    ASSERT_EQ(ui.creating, std::vector<bool>{true});
    // Each new entry goes on top; "ANNA" is anna, and a path that extends another is another.
    const GroupForm stored = formOf(*groupsOnDisk(), 0);
    EXPECT_EQ(stored.name, "Dev");
    EXPECT_EQ(stored.users, (std::vector<std::string>{"bob", "anna"}));
    EXPECT_EQ(stored.files,
              (std::vector<std::string>{dir.file("docs/a.txt.bak"), dir.file("docs/b.txt"),
                                        dir.file("docs/a.txt")}));
    EXPECT_FALSE(stored.disabled);
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"File path is too long. (Max: 255)\n\n" + tooLong});
    // The picker opens where the previous pick was.
    EXPECT_EQ(ui.pickerFolders, (std::vector<std::string>{"", dir.file("docs")}));

    // Cancelling leaves the record free and prints nothing.
    const std::size_t mark2 = console.size();
    admin().createGroup();
    EXPECT_EQ(console.size(), mark2);
    EXPECT_FALSE(server->groups().inUse(1));
}

TEST_F(GroupAdminTest, AGroupMadeWhileADialogIsOpenKeepsItsRecord) {
    ui.groupScripts.push_back(okWith([this](GroupPropertiesModel& d) {
        d.form().name = "Dev";
        // Meanwhile the admin command makes a group, in the record the dialog was opened for.
        EXPECT_TRUE(admin().createGroup(GroupForm{.name = "QA"}));
    }));
    std::size_t mark = console.size();
    admin().createGroup();
    EXPECT_EQ(linesFrom(mark), (std::vector<Line>{plainLine("Group 'QA' created, enabled."),
                                                  plainLine("Group 'Dev' created, enabled.")}));
    EXPECT_EQ(groupsOnDisk()->record(0).get(GroupRecord::name), "QA");
    EXPECT_EQ(groupsOnDisk()->record(1).get(GroupRecord::name), "Dev");

    // While QA is edited, the command removes it and makes Ops, which takes its record.
    ui.groupScripts.push_back(okWith([this](GroupPropertiesModel& d) {
        GroupForm removal = formOf(server->groups(), 0);
        removal.remove = true;
        EXPECT_TRUE(admin().acceptForm(removal, 0, false));
        EXPECT_TRUE(admin().createGroup(GroupForm{.name = "Ops"}));
        d.form().disabled = true;
    }));
    mark = console.size();
    admin().editGroup("QA");
    EXPECT_EQ(linesFrom(mark), (std::vector<Line>{plainLine("Group 'QA' removed."),
                                                  plainLine("Group 'Ops' created, enabled.")}));
    EXPECT_EQ(groupsOnDisk()->record(0).get(GroupRecord::name), "Ops");
    EXPECT_EQ(groupsOnDisk()->record(0).get(GroupRecord::state), StateEnabled);
}

TEST_F(GroupAdminTest, AFiftyFirstGroupIsRefusedWithoutADialog) {
    for (int i = 0; i < 50; ++i) addGroup("g" + std::to_string(i), {});
    const std::size_t mark = console.size();
    admin().createGroup();
    EXPECT_EQ(linesFrom(mark), (std::vector<Line>{{"Group full. You already exceed the group "
                                                   "capacity.",
                                                   LineKind::Error, "   "}}));
    EXPECT_TRUE(ui.opened.empty());
}

TEST_F(GroupAdminTest, TheOkCheckRefusesInOrderAndKeepsTheDialogOpen) {
    addGroup("QA", {});
    const int dev = addGroup("dev", {});
    const GroupTable& groups = server->groups();
    auto check = [&](GroupForm f, int edited = -1) {
        return checkGroupForm(f, groups, edited).value_or("");
    };
    EXPECT_EQ(check({}), "Please enter the group name.");
    EXPECT_EQ(check({.name = std::string(31, 'x')}), "Group name is too long. (Max: 30)");
    EXPECT_EQ(check({.name = std::string(30, 'x')}), "");
    EXPECT_EQ(check({.name = "a@b"}),
              "You can't use the following characters for group name:\n\n\\ / : * ? \" < > | ; @");
    EXPECT_EQ(check({.name = "qa"}, dev), "Group 'qa' is already exist.");
    EXPECT_EQ(check({.name = "DEV"}, dev), "");
    EXPECT_EQ(check({.name = "x", .users = std::vector<std::string>(101, "u")}),
              "Maximum capacity of member user exceeded (Max: 100).");
    EXPECT_EQ(check({.name = "x", .files = std::vector<std::string>(501, "/f")}),
              "Maximum capacity of member file exceeded (Max: 500).");
    EXPECT_EQ(check({.name = "x", .files = {"/" + std::string(255, 'p')}}),
              "File path is too long. (Max: 255)");
    const GroupForm removing{.remove = true};
    EXPECT_EQ(check(removing, dev), "");  // removing needs no other check
    EXPECT_EQ(check(removing), "Please enter the group name.");

    // Renamed to another group's name: the box is shown, the dialog stays, then OK with the
    // group's own name in other letters is taken.
    ui.groupScripts.push_back([](GroupPropertiesModel& d, const Ok& ok) {
        d.form().name = "qa";
        EXPECT_FALSE(ok());
        d.form().name = "DEV";
        return ok();
    });
    const std::size_t mark = console.size();
    admin().editGroup("Dev");
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Group 'qa' is already exist."});
    EXPECT_EQ(linesFrom(mark), std::vector<Line>{plainLine("Group 'DEV' changed, enabled.")});
    EXPECT_EQ(groupsOnDisk()->record(dev).get(GroupRecord::name), "DEV");
}

TEST_F(GroupAdminTest, AFileWhoseVersionFolderIsAnotherMembersIsRefusedOnOk) {
    // "/docs/q1-report.txt" and "/docs-q1/report.txt" both keep their versions in
    // "-docs-q1-report.txt".
    const std::string first = dir.file("docs/q1-report.txt");
    const std::string second = dir.file("docs-q1/report.txt");
    addGroup("alpha", {"anna"}, {first});
    const int beta = addGroup("beta", {"bob"}, {dir.file("docs/plan.doc")});
    const std::string refusal = "The file '" + second + "' cannot be added: its version folder '" +
                                VersionStore::folderName(second) + "' is already used by '" +
                                first + "'.";
    const GroupTable& groups = server->groups();
    EXPECT_EQ(checkGroupForm({.name = "beta", .files = {second}}, groups, beta), refusal);
    // Within one form too.
    EXPECT_NE(checkGroupForm({.name = "new", .files = {dir.file("docs/a-b"), dir.file("docs-a/b")}},
                             groups, -1)
                  .value_or("")
                  .find("cannot be added"),
              std::string::npos);
    // The same path in another group is the same file, not a clash.
    EXPECT_EQ(checkGroupForm({.name = "beta", .files = {first}}, groups, beta), std::nullopt);

    ui.filePicks.push_back(FilePick{.paths = {second}});
    ui.groupScripts.push_back([](GroupPropertiesModel& d, const Ok& ok) {
        d.addFiles();
        EXPECT_FALSE(ok());
        d.removeFiles({0});
        return ok();
    });
    admin().editGroup("beta");
    EXPECT_EQ(ui.messages, std::vector<std::string>{refusal});
    EXPECT_EQ(formOf(*groupsOnDisk(), beta).files,
              std::vector<std::string>{dir.file("docs/plan.doc")});
}

TEST_F(GroupAdminTest, EditingKeepsEachCheckOutMarkWithItsFile) {
    const std::string a = memberFile("a", "a"), b = memberFile("b", "b"), c = memberFile("c", "c");
    const std::string d = memberFile("d", "d");
    const int dev = addGroup("dev", {"anna", "bob", "carl"}, {a, b, c});
    auto anna = logIn("anna");
    auto bob = logIn("bob");
    ASSERT_EQ(checkOut(*anna, b).get(proto::RepCheckOut::status), proto::RepCheckOut::kCheckedOut);

    ui.filePicks.push_back(FilePick{.paths = {d}});
    ui.groupScripts.push_back(okWith([&](GroupPropertiesModel& dlg) {
        dlg.addFiles();        // d on top: d, a, b, c
        dlg.removeFiles({3});  // c: d, a, b; every file now sits in another slot
        // Requests are served while the dialog is open; this check-out must survive OK.
        EXPECT_EQ(checkOut(*bob, a).get(proto::RepCheckOut::status),
                  proto::RepCheckOut::kCheckedOut);
        dlg.form().disabled = true;
    }));
    const std::size_t mark = console.size();
    admin().editGroup("DEV");

    EXPECT_EQ(linesFrom(mark),
              (std::vector<Line>{{"2 member user(s) connected, 1 member file(s) checked out "
                                  "currently.",
                                  LineKind::Important, "   "},
                                 {"You are not safe to edit this group. To edit safely, shut down "
                                  "server first.",
                                  LineKind::Important, "   "},
                                 plainLine("Group 'dev' changed, disabled.")}));
    auto disk = groupsOnDisk();
    EXPECT_EQ(formOf(*disk, dev).files, (std::vector<std::string>{d, a, b}));
    EXPECT_EQ(holderIn(*disk, dev, d), "");
    EXPECT_EQ(holderIn(*disk, dev, a), "bob");
    EXPECT_EQ(holderIn(*disk, dev, b), "anna");
    EXPECT_EQ(holderIn(*disk, dev, c), "<absent>");
}

TEST_F(GroupAdminTest, RemovingAGroupFreesItsRecordForTheNextOne) {
    addGroup("keep", {});
    const int old = addGroup("Old", {"anna"}, {"/x"});
    ui.groupScripts.push_back(okWith([](GroupPropertiesModel& d) {
        EXPECT_TRUE(d.canRemoveGroup());
        d.form().name = "";  // no check applies to a removal
        d.form().remove = true;
    }));
    ui.groupScripts.push_back(okWith([](GroupPropertiesModel& d) {
        d.form().name = "new";
        d.form().disabled = true;
    }));
    const std::size_t mark = console.size();
    admin().editGroup("old");
    EXPECT_FALSE(groupsOnDisk()->inUse(old));
    admin().createGroup();
    admin().listGroups();
    EXPECT_EQ(linesFrom(mark), (std::vector<Line>{plainLine("Group 'Old' removed."),
                                                  plainLine("Group 'new' created, disabled."),
                                                  plainLine(std::string(Console::Separator)),
                                                  plainLine("Group list:"),
                                                  {"keep", LineKind::Function, "EDTGRP"},
                                                  {"new", LineKind::Function, "EDTGRP"}}));
    EXPECT_EQ(server->groups().findByName("new"), old);
    // A group that is not there opens nothing.
    admin().editGroup("Old");
    EXPECT_EQ(ui.opened.size(), 2u);
}

TEST_F(GroupAdminTest, AChangeThatCannotBeSavedIsTakenBackAndReported) {
    const int dev = addGroup("dev", {"anna"}, {"/a"});
    breakGroupsFile();
    ui.groupScripts.push_back(okWith([](GroupPropertiesModel& d) { d.form().name = "x"; }));
    ui.groupScripts.push_back(okWith([](GroupPropertiesModel& d) { d.form().name = "renamed"; }));
    const std::size_t mark = console.size();
    admin().createGroup();
    admin().editGroup("dev");
    const Line failed{"Failed to save the group table (Groups.zelt).", LineKind::Error, "   "};
    EXPECT_EQ(linesFrom(mark), (std::vector<Line>{failed, failed}));
    EXPECT_FALSE(server->groups().inUse(1));
    EXPECT_EQ(formOf(server->groups(), dev).name, "dev");
    EXPECT_EQ(formOf(server->groups(), dev).users, std::vector<std::string>{"anna"});
}

TEST_F(GroupAdminTest, FilePropertiesLinesNameTheirPath) {
    EXPECT_EQ(filePropertiesPath("dev::/srv/a::b"), "/srv/a::b");
    EXPECT_EQ(filePropertiesPath("/srv/plain"), "/srv/plain");
    EXPECT_EQ(filePropertiesPath(""), std::nullopt);
    EXPECT_EQ(filePropertiesPath("g::" + std::string(300, 'p'))->size(), 255u);

    const std::string plan = memberFile("plan", "x");
    addGroup("dev", {"anna"}, {plan});
    auto anna = logIn("anna");
    checkOut(*anna, plan);
    const std::size_t mark = console.size();
    listCheckedOutFiles(console, server->groups());
    const ConsoleLine& line = console.lines().back();
    ASSERT_EQ(console.size(), mark + 3);
    EXPECT_EQ(line.tag, "FILEPROP");
    admin().openFileProperties(line.text);
    admin().openFileProperties("");
    admin().openFileProperties("dev::");
    ASSERT_EQ(ui.windows.size(), 1u);
    EXPECT_EQ(ui.windows[0]->path(), plan);
    EXPECT_EQ(ui.windows[0]->holder(), "anna");
    admin().closeFileProperties(ui.windows[0]);
    EXPECT_EQ(admin().openWindowCount(), 0u);
}

TEST_F(GroupAdminTest, FilePropertiesShowGroupsHolderVersionsAndDetails) {
    const std::string plan = memberFile("plan", "x");
    addGroup("dev", {"anna"}, {plan});
    const int off = addGroup("off", {}, {"/other", plan}, StateDisabled);
    auto mark = server->groups().fileEntry(off, 1);
    mark.set(FileEntry::checkedOut, 1);
    mark.set(FileEntry::holder, "ghost");
    EXPECT_NE(files::createFolder(versions().folderOf(plan)), files::FolderResult::Failed);
    const auto v1 = versions().makeVersion(plan, plan, "anna", "line one\nline two");
    const auto v2 = versions().makeVersion(plan, plan, "bob", "no details");
    std::filesystem::remove(versions().detailFile(plan, *v2));

    FilePropertiesModel& w = admin().openFilePropertiesFor(plan);
    EXPECT_EQ(w.groupsText(), "dev,off");
    EXPECT_EQ(w.holder(), "");  // a disabled group's mark names no holder
    EXPECT_FALSE(w.canVoid());
    EXPECT_EQ(w.versions(), (std::vector<std::string>{*v1, *v2}));
    EXPECT_FALSE(w.canSetLatest());
    w.select(0);
    EXPECT_EQ(w.detailsText(), "2007/04/28 [16:05:09]\r\nanna\r\n\r\nline one\r\nline two");
    w.select(1);
    EXPECT_EQ(w.detailsText(), "No file details.");
    EXPECT_TRUE(w.canSetLatest());
    w.select(-1);
    EXPECT_FALSE(w.canSetLatest());
    EXPECT_EQ(w.detailsText(), "No file details.");

    auto anna = logIn("anna");
    checkOut(*anna, plan);
    w.refresh();
    EXPECT_EQ(w.holder(), "anna");
    EXPECT_EQ(w.checkOutTime(), "2007/04/28 [16:05]");
    EXPECT_EQ(w.selected(), -1);
}

TEST_F(GroupAdminTest, AVoidIsSavedAndReachesEveryHolder) {
    const std::string plan = memberFile("plan", "x");
    addGroup("dev", {"anna", "bob"}, {plan});
    const int qa = addGroup("qa", {"bob"}, {plan});
    auto anna = logIn("anna");
    auto bob = logIn("bob");
    ASSERT_EQ(checkOut(*anna, plan).get(proto::RepCheckOut::status),
              proto::RepCheckOut::kCheckedOut);
    // Marks that disagree, as an edit of a group's files can leave them.
    server->groups().fileEntry(qa, 0).set(FileEntry::holder, "bob");

    FilePropertiesModel& w = admin().openFilePropertiesFor(plan);
    EXPECT_TRUE(w.canVoid());
    w.voidCheckOut();
    EXPECT_EQ(anna->expect(Opcode::PushCheckOutVoided).get(proto::PushCheckOutVoided::path), plan);
    EXPECT_EQ(bob->expect(Opcode::PushCheckOutVoided).get(proto::PushCheckOutVoided::path), plan);
    auto disk = groupsOnDisk();
    EXPECT_EQ(holderIn(*disk, 0, plan), "");
    EXPECT_EQ(holderIn(*disk, qa, plan), "");
    EXPECT_FALSE(w.canVoid());

    // A void that cannot be saved is not made and nobody is told.
    ASSERT_EQ(checkOut(*anna, plan).get(proto::RepCheckOut::status),
              proto::RepCheckOut::kCheckedOut);
    breakGroupsFile();
    const std::size_t mark = console.size();
    w.voidCheckOut();
    EXPECT_EQ(linesFrom(mark), (std::vector<Line>{{"Failed to save the group table (Groups.zelt).",
                                                   LineKind::Error, "   "}}));
    EXPECT_TRUE(anna->quiet());
    EXPECT_EQ(w.holder(), "anna");
}

TEST_F(GroupAdminTest, SetAsTheLatestFileKeepsTheReplacedContentAsAnAdminVersion) {
    const std::string plan = memberFile("plan", "one");
    addGroup("dev", {"anna"}, {plan});
    std::vector<std::string> kept;
    EXPECT_NE(files::createFolder(versions().folderOf(plan)), files::FolderResult::Failed);
    for (const char* content : {"one", "two", "three"}) {
        writeAll(plan, content);
        kept.push_back(*versions().makeVersion(plan, plan, "anna", content));
    }
    writeAll(plan, "latest");
    FilePropertiesModel& w = admin().openFilePropertiesFor(plan);
    w.setAsLatest();  // nothing selected: nothing done
    EXPECT_EQ(w.versions().size(), 3u);

    w.select(0);
    w.setAsLatest();
    EXPECT_EQ(readAll(plan), "one");
    ASSERT_EQ(w.versions().size(), 4u);
    const std::string added = w.versions()[3];
    EXPECT_EQ(std::vector<std::string>(w.versions().begin(), w.versions().begin() + 3), kept);
    EXPECT_EQ(readAll(versions().versionFile(plan, added)), "latest");
    EXPECT_EQ(detail(plan, added, proto::DetailRecord::userName), "admin");
    EXPECT_EQ(detail(plan, added, proto::DetailRecord::comment),
              "This file was the latest version but the administrator replaced it with other "
              "version.");
    EXPECT_EQ(ui.information,
              std::vector<std::string>{"Latest version file has replaced with the selected backup "
                                       "file."});
    EXPECT_EQ(w.selected(), -1);

    // A deleted latest file is brought back, with nothing to keep of it.
    std::filesystem::remove(plan);
    w.select(1);
    w.setAsLatest();
    EXPECT_EQ(readAll(plan), "two");
    EXPECT_EQ(w.versions().size(), 4u);

    // A version pruned since the list was read: refused before anything is kept.
    w.select(2);
    std::filesystem::remove(versions().versionFile(plan, kept[2]));
    w.setAsLatest();
    EXPECT_EQ(ui.messages,
              std::vector<std::string>{"Failed to replace the latest version file with the "
                                       "selected backup file. (2)"});
    EXPECT_EQ(readAll(plan), "two");
    EXPECT_EQ(versions().versions(plan).size(), 3u);
}

}  // namespace
}  // namespace zelt::server::test
