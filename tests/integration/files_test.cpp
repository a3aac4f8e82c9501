// Member files from the client's desk to the server's disk and back: browsing, check-out against
// another user's lock, fetch, check-in with its kept version, the user's and the
// administrator's void (also while a transfer runs), cancelled transfers, and restarts of both
// programs in between.
#include <algorithm>

#include "client/core/state/local_state.h"
#include "client/core/ui/texts.h"
#include "tests/integration/client_server_fixture.h"

namespace zelt::integration {
namespace {

using client::CheckOutTable;
using client::CommentReply;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class ClientServerFilesTest : public ClientServerTest {
protected:
    // The client's check-out table as Chkout.zelt holds it.
    CheckOutTable tableOnDisk(const Desk& d) const {
        CheckOutTable table;
        table.load(d.checkOutFile());
        return table;
    }
    std::uint8_t stateOnDisk(const Desk& d, const std::string& path) const {
        const CheckOutTable table = tableOnDisk(d);
        const int record = table.findInUse(path);
        return record == CheckOutTable::kNone ? 0 : table.state(record);
    }

    // Logs the user in, opens the group and checks out and fetches the paths.
    Desk& holdFetched(const std::string& user, const std::string& group,
                      const std::vector<std::string>& paths) {
        Desk& d = logIn(user);
        openGroup(d, group);
        checkOut(d, paths);
        fetch(d, paths);
        return d;
    }

    static CommentReply comment(std::vector<std::string> lines, bool applyToRest = false) {
        return CommentReply{true, std::move(lines), applyToRest};
    }
};

TEST_F(ClientServerFilesTest, AGroupOfTwelveFilesIsListedWholeWithItsHolders) {
    std::vector<std::string> paths;
    for (int i = 0; i < 12; ++i) paths.push_back(memberFile("f" + std::to_string(i) + ".txt", "x"));
    addGroup("Team", {"anna", "bob"}, paths);
    // Ten files fill two pages exactly; the third page is empty.
    addGroup("Ten", {"anna"}, {paths.begin(), paths.begin() + 10});
    // A full group: the client stops asking at the last slot.
    std::vector<std::string> full;
    for (std::size_t i = 0; i < MaxMemberFiles; ++i)
        full.push_back("/srv/full/" + std::to_string(i));
    addGroup("Full", {"anna"}, full);

    Desk& bob = logIn("bob");
    openGroup(bob, "Team");
    checkOut(bob, {paths[3]});

    Desk& anna = logIn("anna");
    std::size_t at = anna.mark();
    openGroup(anna, "Team");
    EXPECT_THAT(anna.linesSince(at),
                ElementsAre("Requesting file list of group 'Team'...", "Received."));
    const client::AvailableFilesModel& list = anna.ui.available;
    EXPECT_TRUE(list.visible);
    EXPECT_EQ(list.groupLabel, "Team");
    EXPECT_EQ(list.countLabel, "12 files");
    ASSERT_EQ(list.rows.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(list.rows[i].path, paths[i]);
        EXPECT_EQ(list.rows[i].holder, i == 3 ? "bob" : "");
        EXPECT_EQ(list.rows[i].icon, i == 3 ? client::IconHeld : client::IconFree);
    }

    openGroup(anna, "Ten");
    EXPECT_EQ(anna.ui.available.groupLabel, "Ten");
    EXPECT_EQ(anna.ui.available.rows.size(), 10u);
    openGroup(anna, "Full");
    ASSERT_EQ(anna.ui.available.rows.size(), MaxMemberFiles);
    EXPECT_EQ(anna.ui.available.rows.back().path, full.back());
    EXPECT_EQ(anna.ui.available.countLabel, "500 files");

    // The properties of the held file name its holder and when it was taken.
    openGroup(anna, "Team");
    anna.core->selectAvailableFiles({3});
    anna.core->requestSelectedProperties();
    reactor.drain();
    EXPECT_TRUE(anna.ui.properties.visible);
    EXPECT_EQ(anna.ui.properties.path, paths[3]);
    EXPECT_EQ(anna.ui.properties.holder, "bob");
    EXPECT_EQ(anna.ui.properties.checkOutTime, "2007/04/28 [16:05]");
    EXPECT_EQ(anna.ui.properties.details, "No file details.");
}

TEST_F(ClientServerFilesTest, CheckingOutThreeFilesOfWhichAnotherUserHoldsTheSecond) {
    const std::string a = memberFile("a.txt", "A");
    const std::string b = memberFile("b.txt", "B");
    const std::string c = memberFile("c.txt", "C");
    addGroup("Team", {"anna", "bob"}, {a, b, c});
    Desk& bob = logIn("bob");
    openGroup(bob, "Team");
    checkOut(bob, {b});

    Desk& anna = logIn("anna");
    openGroup(anna, "Team");
    const std::size_t at = anna.mark();
    checkOut(anna, {a, b, c});
    const std::string refused =
        quoted(b) + " check-out failed: Already checked-out by 'bob' at 2007/04/28 [16:05].";
    EXPECT_THAT(anna.linesSince(at),
                ElementsAre(quoted(a) + " checked-out.", refused, quoted(c) + " checked-out."));
    EXPECT_EQ(anna.kindOf(refused), LineKind::Error);
    EXPECT_EQ(anna.kindOf(quoted(c) + " checked-out."), LineKind::Important);

    EXPECT_TRUE(anna.ui.working.visible);
    EXPECT_THAT(pathsOf(anna.ui.working), ElementsAre(a, c));
    EXPECT_EQ(anna.ui.working.countLabel, "2 files");
    // Both ends have it on disk.
    EXPECT_EQ(stateOnDisk(anna, a), client::RecordCheckedOut);
    EXPECT_EQ(stateOnDisk(anna, b), 0);
    EXPECT_EQ(stateOnDisk(anna, c), client::RecordCheckedOut);
    EXPECT_EQ(holderOnDisk(a), "anna");
    EXPECT_EQ(holderOnDisk(b), "bob");
    EXPECT_EQ(holderOnDisk(c), "anna");
}

TEST_F(ClientServerFilesTest, ACheckOutWhoseAnswerWasLostIsTheUsersAfterTheNextLogIn) {
    const std::string a = memberFile("a.txt", "a v1");
    addGroup("Team", {"anna"}, {a});
    Desk& anna = logIn("anna");
    openGroup(anna, "Team");

    // The connection goes in the turn in which the server took the lock and sent its answer,
    // before the client has read it.
    reactor.startTimer(this, 1, 0, TimerMode::OneShot, [&] { anna.core->endSession(); });
    checkOut(anna, {a});
    ASSERT_FALSE(anna.connected());
    ASSERT_EQ(holderOnDisk(a), "anna");
    ASSERT_EQ(anna.core->checkOutTable().state(0), client::RecordRequested) << "answer was read";

    anna.ui.logins.push_back(loginAs("anna"));
    const std::size_t at = anna.mark();
    anna.core->connect();
    reactor.drain();
    ASSERT_TRUE(anna.connected());
    EXPECT_THAT(anna.linesSince(at), ::testing::Contains(quoted(a) + " checked-out."));
    EXPECT_THAT(anna.linesSince(at),
                ::testing::Each(::testing::Not(::testing::HasSubstr("check-out failed"))));
    EXPECT_EQ(stateOnDisk(anna, a), client::RecordCheckedOut);
    EXPECT_THAT(pathsOf(anna.ui.working), ElementsAre(a));

    fetch(anna, {a});
    EXPECT_EQ(readAll(anna.working("a.txt")), "a v1");
    writeAll(anna.working("a.txt"), "a v2");
    anna.ui.comments.push_back(comment({"Kept through a lost answer."}));
    checkIn(anna, {a});
    EXPECT_EQ(readAll(a), "a v2");
    EXPECT_EQ(holderOnDisk(a), "");
    EXPECT_EQ(stateOnDisk(anna, a), 0);
}

TEST_F(ClientServerFilesTest, FetchEditCheckInAndVoid) {
    const std::string original = binary(2500, 1);
    const std::string report = memberFile("report.bin", original);
    const std::string exact = memberFile("exact.bin", binary(1024, 2));
    const std::string empty = memberFile("empty.txt", "");
    addGroup("Team", {"anna"}, {report, exact, empty});

    Desk& anna = holdFetched("anna", "Team", {report, exact, empty});
    EXPECT_EQ(readAll(anna.working("report.bin")), original);
    EXPECT_EQ(readAll(anna.working("exact.bin")), binary(1024, 2));
    EXPECT_TRUE(files::isFile(anna.working("empty.txt")));
    EXPECT_EQ(files::fileSize(anna.working("empty.txt")), 0);
    ASSERT_EQ(anna.ui.working.rows.size(), 3u);
    for (const auto& row : anna.ui.working.rows) EXPECT_EQ(row.fetched, "Yes") << row.path;
    EXPECT_EQ(stateOnDisk(anna, report), client::RecordFetched);
    EXPECT_THAT(serverTemp(), IsEmpty()) << "copies outlived their fetch";

    // Edit, then check in with a comment of two lines.
    const std::string edited = binary(3000, 9);
    writeAll(anna.working("report.bin"), edited);
    anna.ui.comments.push_back(comment({"Totals fixed.", "See the second sheet."}));
    std::size_t at = anna.mark();
    checkIn(anna, {report});
    EXPECT_THAT(anna.linesSince(at), ElementsAre(quoted(report) + " checked-in."));
    EXPECT_THAT(anna.ui.commentPaths, ElementsAre(report));
    // The server: the new content at the file's path, the old one kept as the first version,
    // the new one with the comment, the lock given back.
    EXPECT_EQ(readAll(report), edited);
    const std::vector<std::string> versions = server->repository().versions().versions(report);
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(readAll(server->repository().versions().versionFile(report, versions[0])), original);
    EXPECT_EQ(readAll(server->repository().versions().versionFile(report, versions[1])), edited);
    EXPECT_EQ(
        latestDetails(report),
        std::make_pair(std::string("anna"), std::string("Totals fixed.\nSee the second sheet.\n")));
    EXPECT_EQ(holderOnDisk(report), "");
    EXPECT_THAT(serverTemp(), IsEmpty()) << "the upload outlived its commit";
    // The client: a copy in Backup, no working copy, no record.
    EXPECT_EQ(readAll(anna.backup("report.bin")), edited);
    EXPECT_FALSE(files::isFile(anna.working("report.bin")));
    EXPECT_EQ(stateOnDisk(anna, report), 0);
    EXPECT_THAT(pathsOf(anna.ui.working), ElementsAre(exact, empty));

    // The File Properties window shows the new version's details.
    openGroup(anna, "Team");
    anna.core->selectAvailableFiles({0});
    anna.core->requestSelectedProperties();
    reactor.drain();
    EXPECT_EQ(anna.ui.properties.holder, "");
    EXPECT_THAT(anna.ui.properties.details,
                ::testing::EndsWith("\r\nanna\r\n\r\nTotals fixed.\r\nSee the second sheet.\r\n"));

    // Void one: nothing is uploaded, the working copy goes, the lock is given back.
    anna.ui.answers.push_back(true);
    selectWorking(anna, {exact});
    at = anna.mark();
    anna.core->voidSelected();
    reactor.drain();
    EXPECT_THAT(anna.ui.questions, ElementsAre("Are you sure you want to void check-out ?"));
    EXPECT_THAT(anna.linesSince(at), ElementsAre(quoted(exact) + " check-out voided."));
    EXPECT_FALSE(files::isFile(anna.working("exact.bin")));
    EXPECT_EQ(stateOnDisk(anna, exact), 0);
    EXPECT_EQ(holderOnDisk(exact), "");
    EXPECT_EQ(readAll(exact), binary(1024, 2));
    EXPECT_THAT(pathsOf(anna.ui.working), ElementsAre(empty));
}

TEST_F(ClientServerFilesTest, CheckInsAtTheChunkAndCommentBoundaries) {
    const std::string emptied = memberFile("emptied.txt", "content to be removed");
    const std::string exact = memberFile("exact.bin", "short");
    addGroup("Team", {"anna"}, {emptied, exact});
    Desk& anna = holdFetched("anna", "Team", {emptied, exact});

    writeAll(anna.working("emptied.txt"), "");
    writeAll(anna.working("exact.bin"), binary(1024, 4));
    // No comment at all for the first; the second fills the comment to its last character.
    const std::vector<std::string> longLines(16, std::string(63, 'c'));
    anna.ui.comments = {comment({}), comment(longLines)};
    checkIn(anna, {emptied, exact});

    EXPECT_TRUE(anna.hasLine(quoted(emptied) + " checked-in."));
    EXPECT_TRUE(anna.hasLine(quoted(exact) + " checked-in."));
    EXPECT_EQ(files::fileSize(emptied), 0);
    EXPECT_EQ(readAll(exact), binary(1024, 4));
    EXPECT_EQ(latestDetails(emptied), std::make_pair(std::string("anna"), std::string()));
    const std::string full = latestDetails(exact).second;
    EXPECT_EQ(full.size(), 1024u);
    EXPECT_EQ(full.substr(0, 64), std::string(63, 'c') + "\n");
    EXPECT_EQ(readAll(anna.backup("emptied.txt")), "");
    EXPECT_EQ(readAll(anna.backup("exact.bin")), binary(1024, 4));
    EXPECT_EQ(anna.core->checkOutTable().checkedOutCount(), 0);
    EXPECT_EQ(holderOnDisk(emptied), "");
    EXPECT_EQ(holderOnDisk(exact), "");
}

TEST_F(ClientServerFilesTest, FilesAtEveryChunkBoundaryTravelByteExactWithRequestsInFlight) {
    const std::vector<std::size_t> sizes = {0, 1, 1023, 1024, 1025, 3 << 20};
    std::vector<std::string> paths;
    for (const std::size_t size : sizes) {
        paths.push_back(memberFile("f" + std::to_string(size), binary(size, 10 + size)));
    }
    addGroup("Team", {"anna"}, paths);
    Desk& anna = holdFetched("anna", "Team", paths);
    ASSERT_TRUE(anna.core->pipelined());
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        const std::string name = "f" + std::to_string(sizes[k]);
        EXPECT_EQ(readAll(anna.working(name)), readAll(paths[k])) << name;
        // Each comes back with the next size's content, so that every upload ends elsewhere.
        writeAll(anna.working(name), binary(sizes[(k + 1) % sizes.size()], 20 + k));
    }
    anna.ui.comments = {comment({"Resized."}, true)};
    checkIn(anna, paths);
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        EXPECT_EQ(readAll(paths[k]), binary(sizes[(k + 1) % sizes.size()], 20 + k)) << paths[k];
        EXPECT_EQ(holderOnDisk(paths[k]), "");
    }
    EXPECT_THAT(serverTemp(), IsEmpty());
    EXPECT_THAT(files::listFiles(anna.userDir + "/Temp"), IsEmpty());
}

// Fifty files checked out (one of them held by someone else), fetched, edited and checked in
// with one comment: with requests in flight the files overlap on the link, yet every line,
// file, record and version comes out as waiting for each answer gives them.
TEST_F(ClientServerFilesTest, FiftyFilesInFlightEndAsWaitingForEachAnswerEnds) {
    constexpr int kFiles = 50;
    struct Outcome {
        std::vector<std::string> lines;
        std::vector<std::string> backups;
        std::vector<std::string> onServer;
        std::vector<std::size_t> versions;
        std::vector<std::string> holders;
        std::vector<std::string> comments;
    };
    const auto run = [&](bool inFlight, const std::string& user) {
        const std::string folder = inFlight ? "flight" : "step";
        EXPECT_NE(files::createFolder(dir.file("docs/" + folder)), files::FolderResult::Failed);
        std::vector<std::string> paths;
        for (int k = 0; k < kFiles; ++k) {
            // From empty to several chunks, most of them ending inside a chunk.
            const std::size_t size = static_cast<std::size_t>(k % 7 == 0 ? k * 150 : k * 61);
            paths.push_back(memberFile(folder + "/" + std::to_string(k) + ".bin",
                                       binary(size, static_cast<unsigned>(k))));
        }
        offerPipelining = inFlight;
        restartServer();
        addGroup(folder, {user}, paths);
        // Someone else holds the eighth file.
        auto held = server->groups().fileEntry(
            static_cast<std::size_t>(server->groups().findByName(folder)), 7);
        held.set(server::FileEntry::checkedOut, 1);
        held.set(server::FileEntry::holder, "carl");
        held.set(server::FileEntry::checkOutTime, "2026/01/02 [03:04]");
        EXPECT_TRUE(server->saveGroups());

        Desk& d = logIn(user);
        EXPECT_EQ(d.core->pipelined(), inFlight);
        openGroup(d, folder);
        const std::size_t at = d.mark();
        checkOut(d, paths);
        std::vector<std::string> mine = paths;
        mine.erase(mine.begin() + 7);
        fetch(d, mine);
        for (int k = 0; k < kFiles; ++k) {
            if (k == 7) continue;
            writeAll(d.working(std::to_string(k) + ".bin"),
                     binary(static_cast<std::size_t>((kFiles - k) * 47), 100u + k));
        }
        d.ui.comments = {comment({"All at once."}, true)};
        checkIn(d, mine);
        EXPECT_THAT(serverTemp(), IsEmpty());
        EXPECT_THAT(files::listFiles(d.userDir + "/Temp"), IsEmpty());
        EXPECT_THAT(d.ui.commentPaths, ElementsAre(paths[0]));
        EXPECT_EQ(d.core->checkOutTable().checkedOutCount(), 0);

        Outcome out;
        const std::string docs = dir.file("docs/" + folder);
        for (std::string line : d.linesSince(at)) {
            for (std::size_t cut; (cut = line.find(docs)) != std::string::npos;) {
                line.replace(cut, docs.size(), "DOCS");
            }
            out.lines.push_back(line);
        }
        for (int k = 0; k < kFiles; ++k) {
            const std::string& path = paths[static_cast<std::size_t>(k)];
            out.backups.push_back(readAll(d.backup(std::to_string(k) + ".bin")));
            out.onServer.push_back(readAll(path));
            out.versions.push_back(server->repository().versions().versions(path).size());
            out.holders.push_back(holderOnDisk(path));
            out.comments.push_back(latestDetails(path).second);
        }
        return out;
    };
    const Outcome inFlight = run(true, "anna");
    const Outcome lockStep = run(false, "bob");
    EXPECT_EQ(inFlight.lines, lockStep.lines);
    EXPECT_EQ(inFlight.backups, lockStep.backups);
    EXPECT_EQ(inFlight.onServer, lockStep.onServer);
    EXPECT_EQ(inFlight.versions, lockStep.versions);
    EXPECT_EQ(inFlight.holders, lockStep.holders);
    EXPECT_EQ(inFlight.comments, lockStep.comments);
    // And what they both give is the work done: 49 files in, one refused.
    ASSERT_EQ(lockStep.lines.size(), 3u * (kFiles - 1) + 1);
    EXPECT_EQ(
        lockStep.lines[7],
        "'DOCS/7.bin' check-out failed: Already checked-out by 'carl' at 2026/01/02 [03:04].");
    EXPECT_EQ(lockStep.lines.back(), "'DOCS/49.bin' checked-in.");
    EXPECT_EQ(lockStep.onServer[49], binary(47, 149));
    EXPECT_EQ(lockStep.versions[49], 2u);
    EXPECT_EQ(lockStep.holders[7], "carl");
}

TEST_F(ClientServerFilesTest, TheAdministratorsVoidReachesTheHoldersClient) {
    const std::string plan = memberFile("plan.txt", "plan v1");
    const std::string notes = memberFile("notes.txt", "notes v1");
    const std::string other = memberFile("other.txt", "other v1");
    addGroup("Team", {"anna", "bob"}, {plan, notes, other});
    Desk& anna = logIn("anna");
    openGroup(anna, "Team");
    checkOut(anna, {plan, notes, other});
    fetch(anna, {plan, other});
    writeAll(anna.working("plan.txt"), "plan v2, not checked in");

    // A fetched and edited file: the edits are kept in Backup.
    std::size_t at = anna.mark();
    const int alerts = anna.ui.alerts;
    adminVoid(plan);
    EXPECT_THAT(anna.linesSince(at),
                ElementsAre("Your check-out for " + quoted(plan) + " is voided by administrator.",
                            "Your working copy is kept as " +
                                quoted(anna.backup("plan.txt.voided")) + "."));
    EXPECT_EQ(anna.ui.alerts, alerts + 1);
    EXPECT_EQ(readAll(anna.backup("plan.txt.voided")), "plan v2, not checked in");
    EXPECT_FALSE(files::isFile(anna.working("plan.txt")));
    EXPECT_EQ(stateOnDisk(anna, plan), 0);
    EXPECT_THAT(pathsOf(anna.ui.working), ElementsAre(notes, other));

    // A file never fetched: only the record goes.
    at = anna.mark();
    adminVoid(notes);
    EXPECT_THAT(anna.linesSince(at), ElementsAre("Your check-out for " + quoted(notes) +
                                                 " is voided by administrator."));
    EXPECT_EQ(stateOnDisk(anna, notes), 0);
    EXPECT_THAT(pathsOf(anna.ui.working), ElementsAre(other));
    EXPECT_EQ(readAll(anna.working("other.txt")), "other v1");

    // The lock is free for someone else, and anna's client no longer claims it.
    Desk& bob = logIn("bob");
    openGroup(bob, "Team");
    checkOut(bob, {plan});
    EXPECT_TRUE(bob.hasLine(quoted(plan) + " checked-out."));
    EXPECT_EQ(holderOnDisk(plan), "bob");
}

TEST_F(ClientServerFilesTest, ACancelledFetchLeavesNoCopyOnEitherSideAndCanBeRunAgain) {
    const std::string big = memberFile("big.bin", binary(10 * 1024 + 5, 5));
    const std::string next = memberFile("next.bin", binary(3000, 6));
    addGroup("Team", {"anna"}, {big, next});
    Desk& anna = logIn("anna");
    openGroup(anna, "Team");
    checkOut(anna, {big, next});

    bool cancelled = false;
    anna.ui.onTransfer = [&](const client::FileTransferModel& model) {
        if (!cancelled && model.visible && model.position == 3) {
            cancelled = true;
            anna.core->cancelTransfer();
        }
    };
    const std::size_t at = anna.mark();
    fetch(anna, {big, next});
    ASSERT_TRUE(cancelled);
    EXPECT_THAT(anna.linesSince(at), ElementsAre("File transfer cancelled."));
    EXPECT_FALSE(files::isFile(anna.working("big.bin")));
    EXPECT_FALSE(files::isFile(anna.working("next.bin")));
    EXPECT_EQ(stateOnDisk(anna, big), client::RecordCheckedOut);
    EXPECT_EQ(stateOnDisk(anna, next), client::RecordCheckedOut);
    // The client told the server to drop its copy, and kept nothing of what had come.
    EXPECT_TRUE(anna.core->pipelined());
    EXPECT_THAT(serverTemp(), IsEmpty());
    EXPECT_EQ(server->repository().tempFiles().countOf("anna"), 0u);
    EXPECT_THAT(files::listFiles(anna.userDir + "/Temp"), IsEmpty());

    // The Working Files window is back with its buttons working.
    anna.ui.onTransfer = nullptr;
    EXPECT_TRUE(anna.ui.working.visible);
    EXPECT_FALSE(anna.core->fetching());
    selectWorking(anna, {big, next});
    EXPECT_TRUE(anna.ui.working.buttons.fetch);
    fetch(anna, {big, next});
    EXPECT_EQ(readAll(anna.working("big.bin")), binary(10 * 1024 + 5, 5));
    EXPECT_EQ(readAll(anna.working("next.bin")), binary(3000, 6));
    EXPECT_EQ(stateOnDisk(anna, next), client::RecordFetched);
}

TEST_F(ClientServerFilesTest, ARestartedClientFindsItsCheckOutsAndChecksInAfterTheServerRestarted) {
    const std::string a = memberFile("a.txt", "a v1");
    const std::string b = memberFile("b.txt", "b v1");
    addGroup("Team", {"anna"}, {a, b});
    Desk& anna = logIn("anna");
    openGroup(anna, "Team");
    checkOut(anna, {a, b});
    fetch(anna, {a});
    writeAll(anna.working("a.txt"), "a v2");

    // Both programs close and start again.
    anna.core->disconnect();
    anna.core->executeLine(static_cast<int>(anna.core->console().size() - 1));  // Disconnect now.
    anna.core->closeClient();
    anna.core.reset();
    reactor.drain();
    restartServer();
    EXPECT_EQ(holderOnDisk(a), "anna");

    logIn("anna");
    // The Log-in dialog opened with what worked last time, but no password.
    const LoginForm& shown = anna.ui.loginsShown.back();
    EXPECT_EQ(shown.userName, "anna");
    EXPECT_EQ(shown.address[0], 127);
    EXPECT_EQ(shown.address[3], 1);
    EXPECT_EQ(shown.password, "");
    anna.core->showWorkingFiles();
    ASSERT_EQ(anna.ui.working.rows.size(), 2u);
    EXPECT_EQ(anna.ui.working.rows[0].path, a);
    EXPECT_EQ(anna.ui.working.rows[0].fetched, "Yes");
    EXPECT_EQ(anna.ui.working.rows[1].path, b);
    EXPECT_EQ(anna.ui.working.rows[1].fetched, "");

    anna.ui.comments.push_back(comment({"After the restart."}));
    checkIn(anna, {a});
    EXPECT_TRUE(anna.hasLine(quoted(a) + " checked-in."));
    EXPECT_EQ(readAll(a), "a v2");
    EXPECT_EQ(latestDetails(a).second, "After the restart.\n");
    EXPECT_EQ(holderOnDisk(a), "");
    EXPECT_EQ(holderOnDisk(b), "anna");
}

TEST_F(ClientServerFilesTest, AUserNameTypedInOtherLettersWorksThroughACheckIn) {
    const std::string a = memberFile("a.txt", "a v1");
    addGroup("Team", {"anna"}, {a});
    Desk& anna = desk("anna");
    anna.ui.logins.push_back(loginAs("ANNA"));
    startClient(anna);
    reactor.drain();
    ASSERT_TRUE(anna.connected());
    openGroup(anna, "Team");
    checkOut(anna, {a});
    fetch(anna, {a});
    writeAll(anna.working("a.txt"), "a v2");
    anna.ui.comments.push_back(comment({"Capitals."}));
    checkIn(anna, {a});
    EXPECT_TRUE(anna.hasLine(quoted(a) + " checked-in."));
    EXPECT_EQ(readAll(a), "a v2");
    EXPECT_EQ(holderOnDisk(a), "");

    // The administrator's void finds the client too.
    checkOut(anna, {a});
    adminVoid(a);
    EXPECT_EQ(anna.core->checkOutTable().checkedOutCount(), 0);
}

TEST_F(ClientServerFilesTest, AWorkingCopyWhosePathWouldNotFitTheCheckOutTableIsNotKept) {
    // The server's path fits its 255 characters; the working copy's would be longer.
    const std::string longName = std::string(255 - dir.file("docs/").size() - 4, 'n') + ".txt";
    const std::string path = memberFile(longName, "long");
    ASSERT_EQ(path.size(), 255u);
    addGroup("Team", {"anna"}, {path});
    Desk& anna = logIn("anna");
    ASSERT_GT(anna.working(longName).size(), 255u);
    openGroup(anna, "Team");
    checkOut(anna, {path});
    const std::size_t at = anna.mark();
    fetch(anna, {path});
    EXPECT_THAT(anna.linesSince(at), ElementsAre("Failed to save the fetched file " +
                                                 quoted(anna.working(longName)) + "."));
    EXPECT_EQ(stateOnDisk(anna, path), client::RecordCheckedOut);
    EXPECT_FALSE(files::isFile(anna.working(longName)));
    EXPECT_THAT(serverTemp(), IsEmpty());
}

TEST_F(ClientServerFilesTest, TwoFilesOfOneNameShareNoWorkingCopy) {
    EXPECT_NE(files::createFolder(dir.file("docs/one")), files::FolderResult::Failed);
    EXPECT_NE(files::createFolder(dir.file("docs/two")), files::FolderResult::Failed);
    const std::string first = memberFile("one/same.txt", binary(3000, 1));
    const std::string second = memberFile("two/same.txt", binary(3000, 2));
    addGroup("Team", {"anna"}, {first, second});
    Desk& anna = logIn("anna");
    openGroup(anna, "Team");
    checkOut(anna, {first, second});
    const std::size_t at = anna.mark();
    fetch(anna, {first, second});
    EXPECT_THAT(anna.linesSince(at),
                ElementsAre("'same.txt' received.", "Failed to save the fetched file " +
                                                        quoted(anna.working("same.txt")) + "."));
    EXPECT_EQ(readAll(anna.working("same.txt")), binary(3000, 1));
    EXPECT_EQ(stateOnDisk(anna, second), client::RecordCheckedOut);
    // The second file's copy, given up after its first chunk, is gone from the server too.
    EXPECT_THAT(serverTemp(), IsEmpty());
}

TEST_F(ClientServerFilesTest, EachViewOfAFileIsAFreshReadOnlyCopy) {
    const std::string original = binary(5000, 3);
    const std::string plan = memberFile("plan.bin", original);
    addGroup("Team", {"anna"}, {plan});
    Desk& anna = logIn("anna");
    openGroup(anna, "Team");
    anna.core->selectAvailableFiles({0});
    anna.core->requestSelectedProperties();
    reactor.drain();
    anna.core->viewFile();
    reactor.drain();
    anna.core->viewFile();
    reactor.drain();

    ASSERT_EQ(anna.opened.size(), 2u);
    EXPECT_NE(anna.opened[0], anna.opened[1]);
    for (const std::string& copy : anna.opened) {
        EXPECT_EQ(copy.rfind(anna.userDir + "/Temp/", 0), 0u) << copy;
        EXPECT_THAT(copy, ::testing::EndsWith("plan.bin"));
        EXPECT_EQ(readAll(copy), original);
    }
    const std::vector<std::string> lines = anna.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "'plan.bin' received."), 2);
    EXPECT_THAT(serverTemp(), IsEmpty());
    // Viewing takes no lock.
    EXPECT_EQ(holderOnDisk(plan), "");
    EXPECT_EQ(anna.core->checkOutTable().checkedOutCount(), 0);
}

TEST_F(ClientServerFilesTest, AVoidThatArrivesDuringTheUploadStopsThatCheckInOnly) {
    const std::string big = memberFile("big.bin", binary(6000, 1));
    const std::string small = memberFile("small.txt", "small v1");
    addGroup("Team", {"anna"}, {big, small});
    Desk& anna = holdFetched("anna", "Team", {big, small});
    // Large enough to be still on its way when the void arrives, with chunks in flight too.
    writeAll(anna.working("big.bin"), binary(600 * 1024, 2));
    writeAll(anna.working("small.txt"), "small v2");

    // The administrator voids the big file while its third chunk is on its way.
    bool voided = false;
    anna.ui.onTransfer = [&](const client::FileTransferModel& model) {
        if (voided || !model.visible || model.label != big || model.position != 2) return;
        voided = true;
        auto& groups = server->groups();
        auto entry = groups.fileEntry(0, 0);
        entry.set(server::FileEntry::checkedOut, 0);
        entry.set(server::FileEntry::holder, "");
        entry.set(server::FileEntry::checkOutTime, "");
        server->saveGroups();
        server->repository().sendCheckOutVoided("anna", big);
    };
    anna.ui.comments = {comment({"Both."}, true)};
    const std::size_t at = anna.mark();
    checkIn(anna, {big, small});
    ASSERT_TRUE(voided);
    EXPECT_THAT(
        anna.linesSince(at),
        ElementsAre("Your check-out for " + quoted(big) + " is voided by administrator.",
                    "Your working copy is kept as " + quoted(anna.backup("big.bin.voided")) + ".",
                    quoted(anna.working("big.bin")) + " file not found or opening error.",
                    quoted(small) + " checked-in."));
    // The big file is as it was on the server, its edits are in Backup, and the half upload
    // is gone; the other file went in.
    EXPECT_EQ(readAll(big), binary(6000, 1));
    EXPECT_EQ(server->repository().versions().versions(big).size(), 0u);
    EXPECT_EQ(readAll(anna.backup("big.bin.voided")), binary(600 * 1024, 2));
    EXPECT_EQ(readAll(small), "small v2");
    EXPECT_EQ(latestDetails(small).second, "Both.\n");
    EXPECT_THAT(serverTemp(), IsEmpty());
    EXPECT_EQ(anna.core->checkOutTable().checkedOutCount(), 0);
}

TEST_F(ClientServerFilesTest, TwoUsersFetchAtTheSameTimeEachGettingTheirOwnFile) {
    const std::string forAnna = memberFile("anna.bin", binary(20 * 1024 + 7, 1));
    const std::string forBob = memberFile("bob.bin", binary(30 * 1024, 2));
    addGroup("Team", {"anna", "bob"}, {forAnna, forBob});
    Desk& anna = logIn("anna");
    Desk& bob = logIn("bob");
    openGroup(anna, "Team");
    checkOut(anna, {forAnna});
    openGroup(bob, "Team");
    checkOut(bob, {forBob});

    // Both start before either is answered; their chunks interleave on the server.
    selectWorking(anna, {forAnna});
    selectWorking(bob, {forBob});
    anna.core->fetchSelected();
    bob.core->fetchSelected();
    reactor.drain();
    EXPECT_EQ(readAll(anna.working("anna.bin")), binary(20 * 1024 + 7, 1));
    EXPECT_EQ(readAll(bob.working("bob.bin")), binary(30 * 1024, 2));
    EXPECT_THAT(serverTemp(), IsEmpty());
}

TEST_F(ClientServerFilesTest, CheckOutsOutliveAServerRestartWhileTheClientRuns) {
    const std::string a = memberFile("a.txt", "a v1");
    addGroup("Team", {"anna"}, {a});
    Desk& anna = holdFetched("anna", "Team", {a});
    writeAll(anna.working("a.txt"), "a v2");

    restartServer();
    reactor.drain();
    EXPECT_FALSE(anna.connected());
    EXPECT_EQ(anna.core->console().lines().back().text, "Disconnected from the ZELT server.");
    EXPECT_EQ(anna.core->checkOutTable().checkedOutCount(), 1);

    anna.ui.logins.push_back(loginAs("anna"));
    anna.core->connect();
    reactor.drain();
    ASSERT_TRUE(anna.connected());
    anna.core->showWorkingFiles();
    anna.ui.comments.push_back(comment({"Done."}));
    checkIn(anna, {a});
    EXPECT_EQ(readAll(a), "a v2");
    EXPECT_EQ(holderOnDisk(a), "");
}

TEST_F(ClientServerFilesTest,
       AVoidMadeWhileTheHolderWasAwayLeavesTheirEditsAndRefusesTheirCheckIn) {
    const std::string a = memberFile("a.txt", "a v1");
    addGroup("Team", {"anna", "bob"}, {a});
    Desk& anna = holdFetched("anna", "Team", {a});
    writeAll(anna.working("a.txt"), "anna's edits");
    anna.core->disconnect();
    anna.core->executeLine(static_cast<int>(anna.core->console().size() - 1));  // Disconnect now.
    reactor.drain();

    // Nobody is there to be told; bob takes the file and checks in a version of his own.
    adminVoid(a);
    Desk& bob = holdFetched("bob", "Team", {a});
    writeAll(bob.working("a.txt"), "bob's version");
    bob.ui.comments.push_back(comment({"Bob's."}));
    checkIn(bob, {a});
    ASSERT_EQ(readAll(a), "bob's version");

    anna.ui.logins.push_back(loginAs("anna"));
    anna.core->connect();
    reactor.drain();
    anna.core->showWorkingFiles();
    anna.ui.comments.push_back(comment({"Anna's."}));
    const std::size_t at = anna.mark();
    checkIn(anna, {a});
    EXPECT_THAT(anna.linesSince(at),
                ElementsAre(quoted(a) + " check-in failed. File is not checked-out by you."));
    EXPECT_EQ(readAll(a), "bob's version");
    EXPECT_EQ(readAll(anna.working("a.txt")), "anna's edits");
    EXPECT_EQ(stateOnDisk(anna, a), client::RecordFetched);
    EXPECT_THAT(serverTemp(), IsEmpty());

    // Her void gives back nothing of bob's.
    checkOut(bob, {a});
    anna.ui.answers.push_back(true);
    selectWorking(anna, {a});
    anna.core->voidSelected();
    reactor.drain();
    EXPECT_EQ(stateOnDisk(anna, a), 0);
    EXPECT_EQ(holderOnDisk(a), "bob");
}

TEST_F(ClientServerFilesTest, ACommentWrittenSlowlyStillCommitsAndALostServerLeavesTheFileHeld) {
    const std::string a = memberFile("a.txt", "a v1");
    const std::string b = memberFile("b.txt", "b v1");
    addGroup("Team", {"anna"}, {a, b});
    Desk& anna = holdFetched("anna", "Team", {a, b});
    writeAll(anna.working("a.txt"), "a v2");
    writeAll(anna.working("b.txt"), "b v2");

    // Ten minutes in the Comment dialog: the keep-alives go on, the upload waits on the server.
    anna.ui.whileCommenting = [&] { reactor.advance(10 * 60 * 1000); };
    anna.ui.comments.push_back(comment({"Slowly."}));
    checkIn(anna, {a});
    EXPECT_TRUE(anna.hasLine(quoted(a) + " checked-in."));
    EXPECT_EQ(readAll(a), "a v2");

    // The server goes away while the dialog is open: nothing is committed, nothing is lost.
    anna.ui.whileCommenting = [&] {
        anna.ui.whileCommenting = nullptr;
        server->exit();
        reactor.drain();
    };
    anna.ui.comments.push_back(comment({"Too late."}));
    checkIn(anna, {b});
    EXPECT_FALSE(anna.connected());
    EXPECT_FALSE(anna.hasLine(quoted(b) + " checked-in."));
    EXPECT_EQ(readAll(anna.working("b.txt")), "b v2");
    EXPECT_EQ(stateOnDisk(anna, b), client::RecordFetched);
    EXPECT_FALSE(anna.core->fetching());

    startServer();
    EXPECT_EQ(readAll(b), "b v1");
    EXPECT_EQ(holderOnDisk(b), "anna");
    anna.ui.logins.push_back(loginAs("anna"));
    anna.core->connect();
    reactor.drain();
    anna.core->showWorkingFiles();
    anna.ui.comments.push_back(comment({"Again."}));
    checkIn(anna, {b});
    EXPECT_EQ(readAll(b), "b v2");
    EXPECT_EQ(latestDetails(b).second, "Again.\n");
}

TEST_F(ClientServerFilesTest, ACancelledUploadLeavesTheServerAsItWas) {
    const std::string big = memberFile("big.bin", binary(6000, 1));
    const std::string small = memberFile("small.txt", "small v1");
    addGroup("Team", {"anna"}, {big, small});
    Desk& anna = holdFetched("anna", "Team", {big, small});
    writeAll(anna.working("big.bin"), binary(9000, 2));
    writeAll(anna.working("small.txt"), "small v2");

    anna.ui.onTransfer = [&](const client::FileTransferModel& model) {
        if (model.visible && model.position == 3) anna.core->cancelTransfer();
    };
    checkIn(anna, {big, small});
    EXPECT_TRUE(anna.ui.commentPaths.empty());
    EXPECT_EQ(readAll(big), binary(6000, 1));
    EXPECT_EQ(readAll(small), "small v1");
    EXPECT_THAT(serverTemp(), IsEmpty());
    EXPECT_EQ(holderOnDisk(big), "anna");
    EXPECT_EQ(stateOnDisk(anna, big), client::RecordFetched);
    EXPECT_EQ(stateOnDisk(anna, small), client::RecordFetched);
    EXPECT_TRUE(anna.ui.working.visible);
}

TEST_F(ClientServerFilesTest, ACheckOutTheServerCannotSaveIsRefusedOnBothSides) {
    const std::string a = memberFile("a.txt", "a v1");
    addGroup("Team", {"anna"}, {a});
    Desk& anna = logIn("anna");
    openGroup(anna, "Team");

    // A folder where the group table should be: no file can be put in its place.
    const std::string groups = server->paths().groups;
    ASSERT_TRUE(files::renameFile(groups, groups + ".kept"));
    EXPECT_NE(files::createFolder(groups), files::FolderResult::Failed);
    const std::string journal = server->store().groupJournal().segmentPath();
    EXPECT_NE(files::createFolder(journal), files::FolderResult::Failed);
    const std::size_t at = anna.mark();
    checkOut(anna, {a});
    EXPECT_THAT(
        anna.linesSince(at),
        ElementsAre(quoted(a) + " check-out failed: The server could not save the check-out."));
    EXPECT_EQ(stateOnDisk(anna, a), 0);
    EXPECT_EQ(anna.core->checkOutTable().checkedOutCount(), 0);

    ASSERT_TRUE(files::removeFolder(groups));
    ASSERT_TRUE(files::removeFolder(journal));
    ASSERT_TRUE(files::renameFile(groups + ".kept", groups));
    checkOut(anna, {a});
    EXPECT_TRUE(anna.hasLine(quoted(a) + " checked-out."));
    EXPECT_EQ(holderOnDisk(a), "anna");
}

TEST_F(ClientServerFilesTest, AVoidThatArrivesDuringTheFetchLeavesNoRecordAndTheNextFileComes) {
    const std::string big = memberFile("big.bin", binary(8000, 1));
    const std::string next = memberFile("next.bin", binary(2000, 2));
    addGroup("Team", {"anna"}, {big, next});
    Desk& anna = logIn("anna");
    openGroup(anna, "Team");
    checkOut(anna, {big, next});

    bool voided = false;
    anna.ui.onTransfer = [&](const client::FileTransferModel& model) {
        if (voided || !model.visible || model.label != big || model.position != 2) return;
        voided = true;
        auto entry = server->groups().fileEntry(0, 0);
        entry.set(server::FileEntry::checkedOut, 0);
        entry.set(server::FileEntry::holder, "");
        server->saveGroups();
        server->repository().sendCheckOutVoided("anna", big);
    };
    const std::size_t at = anna.mark();
    fetch(anna, {big, next});
    ASSERT_TRUE(voided);
    // No copy of a file the user no longer holds stays in Working, and none is reported.
    EXPECT_THAT(anna.linesSince(at),
                ElementsAre("Your check-out for " + quoted(big) + " is voided by administrator.",
                            "'next.bin' received."));
    EXPECT_FALSE(files::isFile(anna.working("big.bin")));
    EXPECT_EQ(stateOnDisk(anna, big), 0);
    EXPECT_EQ(stateOnDisk(anna, next), client::RecordFetched);
    EXPECT_EQ(readAll(anna.working("next.bin")), binary(2000, 2));
    EXPECT_THAT(pathsOf(anna.ui.working), ElementsAre(next));
    EXPECT_THAT(serverTemp(), IsEmpty());
}

TEST_F(ClientServerFilesTest, OfTwoUsersAskingForOneFileAtOnceExactlyOneGetsIt) {
    const std::string a = memberFile("a.txt", "a v1");
    addGroup("Team", {"anna", "bob"}, {a});
    Desk& anna = logIn("anna");
    Desk& bob = logIn("bob");
    openGroup(anna, "Team");
    openGroup(bob, "Team");
    anna.core->selectAvailableFiles({0});
    bob.core->selectAvailableFiles({0});
    anna.core->checkOutSelected();
    bob.core->checkOutSelected();
    reactor.drain();

    const std::string winner = holderOnDisk(a);
    ASSERT_TRUE(winner == "anna" || winner == "bob") << winner;
    Desk& won = winner == "anna" ? anna : bob;
    Desk& lost = winner == "anna" ? bob : anna;
    EXPECT_TRUE(won.hasLine(quoted(a) + " checked-out."));
    EXPECT_EQ(won.core->checkOutTable().checkedOutCount(), 1);
    EXPECT_TRUE(lost.hasLine(quoted(a) + " check-out failed: Already checked-out by " +
                             quoted(winner) + " at 2007/04/28 [16:05]."));
    EXPECT_EQ(lost.core->checkOutTable().checkedOutCount(), 0);
}

}  // namespace
}  // namespace zelt::integration
