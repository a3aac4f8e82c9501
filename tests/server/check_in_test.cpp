#include <sys/stat.h>

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
