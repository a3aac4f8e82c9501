#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <memory>

#include "tests/server/repository_fixture.h"

namespace zelt::server::test {
namespace {

class CheckInTest : public RepositoryFixture {
protected:
    void SetUp() override {
        RepositoryFixture::SetUp();
        plan = memberFile("plan.doc", "original");
        addGroup("alpha", {"anna", "bob"}, {plan});
        addGroup("beta", {"anna"}, {plan});
        anna = logIn("anna");
    }
    std::string tempFile(const std::string& name) const {
        return files::join(server->paths().temp, name);
    }

    std::string plan;
    std::unique_ptr<TestPeer> anna;
};

TEST_F(CheckInTest, TheFirstCommitKeepsTheOriginalThenTheNewContentAndFreesTheLock) {
    ::chmod(plan.c_str(), 0640);
    checkOut(*anna, plan);
    const std::string content = randomBytes(1500);
    upload(*anna, "anna__plan.doc", content);
    EXPECT_EQ(readAll(tempFile("anna__plan.doc")), content);

    const Packet r = commit(*anna, plan, "anna__plan.doc", "first edit", "mallory");
    EXPECT_EQ(r.get(proto::RepCheckIn::status), proto::RepCheckIn::kCheckedIn);
    EXPECT_EQ(r.get(proto::RepCheckIn::reason), "");
    EXPECT_EQ(readAll(plan), content);
    struct stat st {};
    ASSERT_EQ(::stat(plan.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the member file keeps its permissions
    EXPECT_FALSE(files::isFile(tempFile("anna__plan.doc")));
    auto disk = groupsOnDisk();
    EXPECT_EQ(holderIn(*disk, 0, plan), "");
    EXPECT_EQ(holderIn(*disk, 1, plan), "");

    const auto stamps = versions().versions(plan);
    ASSERT_EQ(stamps.size(), 2u);  // distinct stamps although the clock stood still
    EXPECT_EQ(readAll(versions().versionFile(plan, stamps[0])), "original");
    EXPECT_EQ(detail(plan, stamps[0], proto::DetailRecord::userName), "admin");
    EXPECT_EQ(detail(plan, stamps[0], proto::DetailRecord::comment),
              "This is a backup file of the original file.");
    EXPECT_EQ(readAll(versions().versionFile(plan, stamps[1])), content);
    // The account that committed, not the name the packet claims.
    EXPECT_EQ(detail(plan, stamps[1], proto::DetailRecord::userName), "anna");
    EXPECT_EQ(detail(plan, stamps[1], proto::DetailRecord::comment), "first edit");

    // A later commit adds exactly one version; empty and 1024-byte contents pass too.
    for (const std::size_t size : {0u, 1024u}) {
        checkOut(*anna, plan);
        upload(*anna, "Anna__plan.doc", randomBytes(size, 3));  // the user name in any case
        EXPECT_EQ(commit(*anna, plan, "Anna__plan.doc", "again").get(proto::RepCheckIn::status), 0);
        EXPECT_EQ(readAll(plan), randomBytes(size, 3));
    }
    EXPECT_EQ(versions().versions(plan).size(), 4u);
}

TEST_F(CheckInTest, LongCopiesHoldUpOnlyTheConnectionThatAskedForThem) {
    auto bob = logIn("bob");
    // Keeps the thread that makes the copies busy until the test lets it go, as a copy of a
    // file of gigabytes would.
    const auto holdCopies = [this] {
        auto gate = std::make_shared<std::promise<void>>();
        server->repository().work().run(
            {}, [done = gate->get_future().share()] { done.wait(); }, [] {});
        return gate;
    };
    const auto bystanderServed = [&] {
        bob->send(Packet(Opcode::ReqKeepAlive));
        return bob->receive(1000).has_value();
    };

    // A download copy: anna's keep-alive behind it waits for it, bob is answered meanwhile.
    // Small files are copied at once and do not wait behind others' copies.
    writeAll(plan, randomBytes(Transfers::CopyAtOnceBytes + 1));
    const std::string small = memberFile("small.doc", "small");
    addGroup("gamma", {"anna"}, {small});
    auto gate = holdCopies();
    const Packet smallCopy = openFetch(*anna, small);
    EXPECT_EQ(smallCopy.get(proto::RepFetchOpen::size), 5);
    Packet open(Opcode::ReqFetchOpen);
    open.set(proto::ReqFetchOpen::path, plan);
    anna->send(open);
    anna->send(Packet(Opcode::ReqKeepAlive));
    EXPECT_TRUE(bystanderServed());
    EXPECT_TRUE(anna->quiet(100));
    gate->set_value();
    const Packet opened = anna->expect(Opcode::RepFetchOpen);
    EXPECT_EQ(opened.get(proto::RepFetchOpen::size), Transfers::CopyAtOnceBytes + 1);
    anna->expect(Opcode::RepKeepAlive);
    for (const Packet* copy : {&smallCopy, &opened}) {
        Packet close(Opcode::ReqFetchClose);
        close.set(proto::ReqFetchClose::tempPath, copy->get(proto::RepFetchOpen::tempPath));
        anna->send(close);
    }

    // A commit: the file stays anna's until it has been replaced, and her requests sent after
    // the commit see it done.
    checkOut(*anna, plan);
    const std::string content = randomBytes(3 << 20);
    upload(*anna, "anna__plan.doc", content);
    gate = holdCopies();
    Packet checkIn(Opcode::ReqCheckIn);
    checkIn.set(proto::ReqCheckIn::path, plan);
    checkIn.set(proto::ReqCheckIn::uploadName, "anna__plan.doc");
    checkIn.set(proto::ReqCheckIn::comment, "edited");
    anna->send(checkIn);
    Packet properties(Opcode::ReqFileProperties);
    properties.set(proto::ReqFileProperties::groupName, "alpha");
    properties.set(proto::ReqFileProperties::path, plan);
    anna->send(properties);
    EXPECT_TRUE(bystanderServed());
    EXPECT_EQ(checkOut(*bob, plan).get(proto::RepCheckOut::status), proto::RepCheckOut::kRefused);
    EXPECT_TRUE(anna->quiet(100));
    gate->set_value();
    EXPECT_EQ(anna->expect(Opcode::RepCheckIn).get(proto::RepCheckIn::status),
              proto::RepCheckIn::kCheckedIn);
    const Packet after = anna->expect(Opcode::RepFileProperties);
    EXPECT_EQ(proto::ConstView{after.get(proto::RepFileProperties::details)}.get(
                  proto::DetailRecord::comment),
              "edited");
    EXPECT_EQ(readAll(plan), content);
    EXPECT_EQ(checkOut(*bob, plan).get(proto::RepCheckOut::status),
              proto::RepCheckOut::kCheckedOut);
    EXPECT_TRUE(files::listFiles(server->paths().temp).empty());
}

TEST_F(CheckInTest, ACommitUnderWayEndsWhenItsConnectionGoes) {
    checkOut(*anna, plan);
    upload(*anna, "anna__plan.doc", "new content");
    auto gate = std::make_shared<std::promise<void>>();
    server->repository().work().run(
        {}, [done = gate->get_future().share()] { done.wait(); }, [] {});
    Packet checkIn(Opcode::ReqCheckIn);
    checkIn.set(proto::ReqCheckIn::path, plan);
    checkIn.set(proto::ReqCheckIn::uploadName, "anna__plan.doc");
    anna->send(checkIn);
    EXPECT_TRUE(anna->quiet(50));
    // The server drops her (the administrator's disconnect), taking her copies and uploads.
    server->slots().freeAll();
    gate->set_value();
    ASSERT_TRUE(reactor.runUntil([&] { return reactor.outsideWork() == 0; }, 3000));
    reactor.drain();
    EXPECT_EQ(holderIn(*groupsOnDisk(), 0, plan), "");
    EXPECT_EQ(readAll(plan), "new content");
    EXPECT_EQ(versions().versions(plan).size(), 2u);
    EXPECT_TRUE(files::listFiles(server->paths().temp).empty());
}

TEST_F(CheckInTest, AChecksumMismatchRepeatsTheOffsetAndAResentChunkIsNotStoredTwice) {
    const std::string a(1024, 'a');
    uploadChunk(*anna, "anna__x", 0, a, false);
    Packet r = uploadChunk(*anna, "anna__x", 1024, "bbb", true, 1);
    EXPECT_EQ(r.get(proto::RepCheckInChunk::nextOffset), 1024);
    EXPECT_EQ(r.get(proto::RepCheckInChunk::done), 0);
    EXPECT_EQ(readAll(tempFile("anna__x")), a);
    r = uploadChunk(*anna, "anna__x", 1024, "bbb", true);
    EXPECT_EQ(r.get(proto::RepCheckInChunk::nextOffset), 1027);
    EXPECT_EQ(r.get(proto::RepCheckInChunk::done), 1);
    r = uploadChunk(*anna, "anna__x", 1024, "bbb", true);  // the same chunk once more
    EXPECT_EQ(r.get(proto::RepCheckInChunk::nextOffset), 1027);
    EXPECT_EQ(readAll(tempFile("anna__x")), a + "bbb");
    // A gap would fill with zeros: refused.
    EXPECT_EQ(
        uploadChunk(*anna, "anna__x", 5000, "c", true).get(proto::RepCheckInChunk::nextOffset), -1);
}

TEST_F(CheckInTest, UploadNamesAreTheUsersOwnPlainNamesAndChunksFitThePacket) {
    const std::string outside = dir.file("x");
    for (const std::string& name :
         {std::string("../x"), std::string("anna__/../../x"), std::string("anna__a\\b"),
          std::string("bob__x"), std::string("anna_x"), std::string("anna"), std::string(".."),
          std::string(""), outside}) {
        SCOPED_TRACE(name);
        const Packet r = uploadChunk(*anna, name, 0, "data", true);
        EXPECT_EQ(r.get(proto::RepCheckInChunk::nextOffset), -1);
        EXPECT_EQ(r.get(proto::RepCheckInChunk::done), 0);
    }
    EXPECT_FALSE(files::isFile(outside));
    EXPECT_EQ(files::listFiles(server->paths().temp).size(), 0u);

    Packet big(Opcode::ReqCheckInChunk);
    big.set(proto::ReqCheckInChunk::uploadName, "anna__x");
    big.set(proto::ReqCheckInChunk::count, 1025);  // its checksum over 1024 zeros would be 0
    anna->send(big);
    EXPECT_EQ(anna->expect(Opcode::RepCheckInChunk).get(proto::RepCheckInChunk::nextOffset), -1);
    // Appending to an upload that was never started is refused too.
    EXPECT_EQ(
        uploadChunk(*anna, "anna__new", 4, "data", true).get(proto::RepCheckInChunk::nextOffset),
        -1);
}

TEST_F(CheckInTest, AnAbortDeletesOnlyTheUsersOwnUpload) {
    auto bob = logIn("bob");
    upload(*bob, "bob__plan.doc", "bob's");
    const std::string outside = dir.file("docs/keep.txt");
    writeAll(outside, "keep");
    for (const std::string& name : {std::string("bob__plan.doc"), std::string("../docs/keep.txt"),
                                    outside, std::string("anna__/../bob__plan.doc")}) {
        Packet p(Opcode::ReqCheckInAbort);
        p.set(proto::ReqCheckInAbort::uploadName, name);
        anna->send(p);
    }
    EXPECT_TRUE(anna->quiet(50));
    EXPECT_TRUE(files::isFile(tempFile("bob__plan.doc")));
    EXPECT_TRUE(files::isFile(outside));

    upload(*anna, "anna__plan.doc", "mine");
    Packet p(Opcode::ReqCheckInAbort);
    p.set(proto::ReqCheckInAbort::uploadName, "anna__plan.doc");
    anna->send(p);
    EXPECT_TRUE(anna->quiet(50));
    EXPECT_FALSE(files::isFile(tempFile("anna__plan.doc")));
}

TEST_F(CheckInTest, OnlyTheHolderCanCommitAndOnlyItsOwnUpload) {
    auto bob = logIn("bob");
    checkOut(*bob, plan);
    upload(*anna, "anna__plan.doc", "anna's");
    // anna does not hold the file, even when the packet names bob.
    Packet r = commit(*anna, plan, "anna__plan.doc", "sneaky", "bob");
    EXPECT_EQ(r.get(proto::RepCheckIn::status), proto::RepCheckIn::kFailed);
    EXPECT_EQ(r.get(proto::RepCheckIn::reason), "File is not checked-out by you.");
    EXPECT_EQ(readAll(plan), "original");
    EXPECT_TRUE(versions().versions(plan).empty());
    EXPECT_EQ(holderIn(server->groups(), 0, plan), "bob");

    // bob holds it, but an upload that is not his is as good as missing.
    upload(*anna, "anna__plan.doc", "anna's");
    for (const std::string& name :
         {std::string("anna__plan.doc"), std::string("bob__none"), std::string("../Groups.zelt")}) {
        r = commit(*bob, plan, name, "x");
        EXPECT_EQ(r.get(proto::RepCheckIn::reason),
                  "Failed to overwrite the latest file with new file.");
    }
    EXPECT_TRUE(files::isFile(tempFile("anna__plan.doc")));
    EXPECT_EQ(readAll(plan), "original");
    EXPECT_EQ(holderIn(*groupsOnDisk(), 0, plan), "bob");
}

TEST_F(CheckInTest, NoVersionFolderMeansNoOverwrite) {
    writeAll(versions().folderOf(plan), "a file where the folder should be");
    checkOut(*anna, plan);
    upload(*anna, "anna__plan.doc", "new");
    const Packet r = commit(*anna, plan, "anna__plan.doc", "x");
    EXPECT_EQ(r.get(proto::RepCheckIn::reason), "Failed to create a backup of the original file.");
    EXPECT_EQ(readAll(plan), "original");
    EXPECT_EQ(holderIn(server->groups(), 0, plan), "anna");
}

TEST_F(CheckInTest, AFileThatDoesNotExistYetIsCreatedByItsFirstCommit) {
    const std::string fresh = dir.file("docs/fresh.doc");
    addGroup("gamma", {"anna"}, {fresh});
    checkOut(*anna, fresh);
    upload(*anna, "anna__fresh.doc", "born");
    EXPECT_EQ(commit(*anna, fresh, "anna__fresh.doc", "x").get(proto::RepCheckIn::status), 0);
    EXPECT_EQ(readAll(fresh), "born");
    EXPECT_EQ(versions().versions(fresh).size(), 1u);
}

TEST_F(CheckInTest, AMemberThatIsASymbolicLinkIsUpdatedThroughItKeepingTheLink) {
    ASSERT_NE(files::createFolder(dir.file("elsewhere")), files::FolderResult::Failed);
    const std::string real = dir.file("elsewhere/report.txt");
    writeAll(real, "before");
    const std::string link = dir.file("docs/report.txt");
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    addGroup("gamma", {"anna"}, {link});

    for (const std::string content : {"after", "after again"}) {
        checkOut(*anna, link);
        upload(*anna, "anna__report.txt", content);
        EXPECT_EQ(commit(*anna, link, "anna__report.txt", "x").get(proto::RepCheckIn::status), 0);
        EXPECT_EQ(files::kindOf(link), files::FileKind::Link);
        EXPECT_EQ(files::linkTarget(link), real);
        EXPECT_EQ(readAll(real), content);
    }
    const auto stamps = versions().versions(link);
    ASSERT_EQ(stamps.size(), 3u);
    EXPECT_EQ(readAll(versions().versionFile(link, stamps[0])), "before");
    // The replacement was written in the target's folder: nothing is left beside either name.
    EXPECT_EQ(files::listFiles(dir.file("elsewhere")), std::vector<std::string>{"report.txt"});
    EXPECT_EQ(files::listFiles(dir.file("docs")), std::vector<std::string>{"plan.doc"});
}

TEST_F(CheckInTest, AFifoAFolderOrALinkToNothingIsRefusedWithNothingWritten) {
    const std::string fifo = dir.file("docs/pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string folder = dir.file("docs/folder");
    ASSERT_EQ(files::createFolder(folder), files::FolderResult::Created);
    const std::string dangling = dir.file("docs/dangling");
    ASSERT_EQ(::symlink(dir.file("docs/missing").c_str(), dangling.c_str()), 0);
    addGroup("gamma", {"anna"}, {fifo, folder, dangling});

    const std::pair<std::string, std::string> refusals[] = {
        {fifo, "The latest file is a FIFO, not a regular file; nothing was written."},
        {folder, "The latest file is a folder, not a regular file; nothing was written."},
        {dangling, "The latest file is a link to nothing; nothing was written."},
    };
    for (const auto& [path, reason] : refusals) {
        SCOPED_TRACE(path);
        checkOut(*anna, path);
        upload(*anna, "anna__x", "content");
        const Packet r = commit(*anna, path, "anna__x", "x");
        EXPECT_EQ(r.get(proto::RepCheckIn::status), proto::RepCheckIn::kFailed);
        EXPECT_EQ(r.get(proto::RepCheckIn::reason), reason);
        EXPECT_FALSE(files::isFolder(versions().folderOf(path)));
        EXPECT_EQ(holderIn(server->groups(), 2, path), "anna");
    }
    EXPECT_EQ(files::kindOf(fifo), files::FileKind::Fifo);
    EXPECT_TRUE(files::listFiles(folder).empty());
    EXPECT_EQ(files::kindOf(dangling, true), files::FileKind::BrokenLink);
    EXPECT_EQ(files::kindOf(dir.file("docs/missing")), files::FileKind::Missing);
    EXPECT_EQ(files::listFiles(dir.file("docs")), std::vector<std::string>{"plan.doc"});
}

TEST_F(CheckInTest, ALinkPlantedInTempIsNeverFollowed) {
    // An upload would have created the file the link names, anywhere on the machine.
    const std::string victim = dir.file("victim");
    ASSERT_EQ(::symlink(victim.c_str(), tempFile("anna__plan.doc").c_str()), 0);
    EXPECT_EQ(uploadChunk(*anna, "anna__plan.doc", 0, "payload", true)
                  .get(proto::RepCheckInChunk::nextOffset),
              -1);
    EXPECT_EQ(files::kindOf(victim), files::FileKind::Missing);

    // The clean-ups remove links, FIFOs and folders from Temp without entering what they name,
    // and a Temp that is itself a link is replaced by a folder of its own.
    ASSERT_EQ(::symlink(dir.file("docs").c_str(), tempFile("docs-link").c_str()), 0);
    ASSERT_EQ(::mkfifo(tempFile("pipe").c_str(), 0600), 0);
    ASSERT_EQ(files::createFolder(tempFile("folder")), files::FolderResult::Created);
    writeAll(tempFile("folder/inside"), "x");
    anna.reset();
    server->exit();
    EXPECT_EQ(files::kindOf(dir.file("Temp")), files::FileKind::Folder);
    EXPECT_EQ(::rmdir(dir.file("Temp").c_str()), 0) << "Temp is not empty";
    ASSERT_EQ(::symlink(dir.file("docs").c_str(), dir.file("Temp").c_str()), 0);
    const std::size_t mark = console.size();
    startServer();
    EXPECT_EQ(files::kindOf(dir.file("Temp")), files::FileKind::Folder);
    EXPECT_EQ(readAll(plan), "original");
    EXPECT_EQ(files::kindOf(victim), files::FileKind::Missing);
    EXPECT_EQ(linesSince(mark)[0], "Cleaned up after an interrupted run: 1 leftover(s) in Temp.");
}

TEST_F(CheckInTest, LeftoversOfAKilledRunAreRemovedAndWhatIsMissingIsReported) {
    const std::string tail = ".0123456789abcdef.part";
    const std::string folder = versions().folderOf(plan);
    ASSERT_EQ(files::createFolder(folder), files::FolderResult::Created);
    const std::string stamp = "20070428160509000";
    writeAll(dir.file("docs/plan.doc" + tail), std::string(2048, 'h'));
    writeAll(files::join(folder, stamp + ".__file__" + tail), "half");
    writeAll(files::join(folder, stamp + ".__file__"), "a version");   // its details never came
    writeAll(files::join(folder, "20070428160508000.__detail__"), "");  // its version was pruned
    // Names the server never gives its own files stay.
    const std::vector<std::string> others = {"notes.txt" + tail, "plan.doc.part",
                                             "plan.doc.0123456789abcdeg.part"};
    for (const std::string& name : others) writeAll(dir.file("docs/" + name), "mine");
    // Two member paths of one version folder.
    const std::string q1 = memberFile("q1-report.txt", "a");
    ASSERT_EQ(files::createFolder(dir.file("docs-q1")), files::FolderResult::Created);
    const std::string q1Other = dir.file("docs-q1/report.txt");
    writeAll(q1Other, "b");
    addGroup("gamma", {"anna"}, {q1});
    addGroup("delta", {"bob"}, {q1Other});

    anna.reset();
    server->exit();
    const std::size_t mark = console.size();
    startServer();
    const std::vector<std::string> lines = linesSince(mark);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "Cleaned up after an interrupted run: 1 half-written file(s) beside member files "
              "(2.0 KB), 1 in version folders (4 bytes).");
    const std::string folderName = VersionStore::folderName(plan);
    EXPECT_EQ(lines[1], "1 version detail file(s) have no version file: " + folderName +
                            "/20070428160508000.");
    EXPECT_EQ(lines[2], "1 version(s) have no details: " + folderName + "/" + stamp + ".");
    EXPECT_EQ(lines[3], "Member files '" + q1 + "' and '" + q1Other + "' share the version folder '" +
                            VersionStore::folderName(q1) + "'; their versions are mixed.");
    EXPECT_EQ(console.lines()[mark + 3].kind, LineKind::Error);
    std::vector<std::string> left = files::listFiles(dir.file("docs"));
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected = others;
    expected.push_back("plan.doc");
    expected.push_back("q1-report.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    EXPECT_EQ(versions().versions(plan), std::vector<std::string>{stamp});

    // A leftover that appears later goes at the next commit of its file.
    writeAll(dir.file("docs/plan.doc" + tail), "half");
    anna = logIn("anna");
    checkOut(*anna, plan);
    upload(*anna, "anna__plan.doc", "new");
    EXPECT_EQ(commit(*anna, plan, "anna__plan.doc", "x").get(proto::RepCheckIn::status), 0);
    EXPECT_FALSE(files::isFile(dir.file("docs/plan.doc" + tail)));
    EXPECT_EQ(linesSince(mark).size(), lines.size());  // a commit writes no line
}

TEST_F(CheckInTest, ACommitPrunesToTheRetentionCount) {
    EXPECT_NE(files::createFolder(versions().folderOf(plan)), files::FolderResult::Failed);
    for (int i = 0; i < 5; ++i) {
        versions().makeVersion(plan, plan, "anna", "old " + std::to_string(i));
        reactor.advance(1000);
    }
    const auto before = versions().versions(plan);
    checkOut(*anna, plan);
    upload(*anna, "anna__plan.doc", "sixth");
    EXPECT_EQ(commit(*anna, plan, "anna__plan.doc", "x").get(proto::RepCheckIn::status), 0);
    const auto after = versions().versions(plan);
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after.front(), before[1]);
    EXPECT_EQ(readAll(versions().versionFile(plan, after.back())), "sixth");
}

}  // namespace
}  // namespace zelt::server::test
