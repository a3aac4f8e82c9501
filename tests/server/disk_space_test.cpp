#include <sys/mount.h>

#include "tests/server/repository_fixture.h"

namespace zelt::server::test {
namespace {

class DiskSpaceTest : public RepositoryFixture {
protected:
    static std::size_t tempCount(const Server& s) { return files::listFiles(s.paths().temp).size(); }
    // A new server on the limits and data directory set now, with the fixture's users.
    void restart() {
        startServer();
        addAccount("anna");
        addAccount("bob");
    }
};

TEST_F(DiskSpaceTest, UploadsPastTheAccountsBoundAreRefusedAndACloseLeavesNothingInTemp) {
    tempLimits.pendingUploadBytes = 3000;
    restart();
    const std::string plan = memberFile("plan.doc", randomBytes(5000));
    addGroup("alpha", {"anna", "bob"}, {plan});
    auto anna = logIn("anna");
    auto bob = logIn("bob");

    const std::string kilo = randomBytes(1024);
    EXPECT_EQ(uploadChunk(*anna, "anna__a", 0, kilo, false).get(proto::RepCheckInChunk::nextOffset),
              1024);
    EXPECT_EQ(uploadChunk(*anna, "anna__a", 1024, kilo, false)
                  .get(proto::RepCheckInChunk::nextOffset),
              2048);
    // A second upload of the same account counts against the same bound.
    EXPECT_EQ(uploadChunk(*anna, "anna__b", 0, kilo, false).get(proto::RepCheckInChunk::nextOffset),
              -1);
    EXPECT_EQ(uploadChunk(*anna, "anna__a", 2048, kilo, false)
                  .get(proto::RepCheckInChunk::nextOffset),
              -1);
    // Sending a chunk again, or starting over, is no growth; other accounts have their own bound.
    EXPECT_EQ(uploadChunk(*anna, "anna__a", 1024, kilo, true).get(proto::RepCheckInChunk::done), 1);
    upload(*bob, "bob__a", randomBytes(2500));

    // Copies and uploads belong to the connection that made them.
    const std::string copy = openFetch(*anna, plan).get(proto::RepFetchOpen::tempPath);
    ASSERT_NE(copy, "");
    EXPECT_EQ(tempCount(*server), 4u);
    anna->close();
    ASSERT_TRUE(reactor.runUntil([&] { return tempCount(*server) == 1; }));
    EXPECT_TRUE(files::isFile(files::join(server->paths().temp, "bob__a")));
    EXPECT_EQ(server->repository().tempFiles().pendingUploadBytes("anna"), 0u);

    // The account may start afresh from a new connection.
    anna = logIn("anna");
    upload(*anna, "anna__a", randomBytes(2900));
}

// A small volume of its own, where the test may mount one (it needs the right to).
class SmallVolume {
public:
    explicit SmallVolume(const std::string& where, std::size_t megabytes) : path_(where) {
        (void)files::createFolder(path_);
        const std::string options = "size=" + std::to_string(megabytes) + "m";
        mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallVolume() {
        if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};

TEST_F(DiskSpaceTest, OnAVolumeFilledToTheReserveCheckOutsAndVoidsStillWork) {
    SmallVolume volume(dir.file("volume"), 48);
    if (!volume.mounted()) GTEST_SKIP() << "no small volume can be mounted here";
    dataDir = dir.file("volume/data");
    tempLimits.freeSpaceReserve = std::uint64_t{20} << 20;
    restart();
    const std::string plan = memberFile("plan.doc", randomBytes(200000));
    addGroup("alpha", {"anna"}, {plan});
    ASSERT_TRUE(server->saveGroups());
    auto anna = logIn("anna");

    // Fill the volume to just above the reserve.
    const std::string filler = files::join(dataDir, "filler");
    {
        const std::uint64_t free = files::freeSpace(dataDir).value_or(0);
        ASSERT_GT(free, tempLimits.freeSpaceReserve + 100000);
        const std::string bytes(free - tempLimits.freeSpaceReserve - 100000, 'x');
        writeAll(filler, bytes);
    }

    // A copy or an upload that would reach into the reserve is refused, as a failure is.
    const Packet opened = openFetch(*anna, plan);
    EXPECT_EQ(opened.get(proto::RepFetchOpen::tempPath), "");
    EXPECT_EQ(opened.get(proto::RepFetchOpen::size), 0);
    const std::string big = randomBytes(1024);
    std::int64_t offset = 0;
    while (offset < 200000) {
        const auto next =
            uploadChunk(*anna, "anna__plan", offset, big, false).get(proto::RepCheckInChunk::nextOffset);
        if (next < 0) break;
        offset = next;
    }
    EXPECT_LT(offset, 200000);

    // The locks go on working, and every change is on disk.
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(checkOut(*anna, plan).get(proto::RepCheckOut::status),
                  proto::RepCheckOut::kCheckedOut)
            << checkOut(*anna, plan).get(proto::RepCheckOut::reason);
        EXPECT_EQ(holderIn(*groupsOnDisk(), 0, plan), "anna");
        voidCheckOut(*anna, plan);
        EXPECT_EQ(holderIn(*groupsOnDisk(), 0, plan), "");
    }
    // Room made again: copies are served again.
    files::discardFile(filler);
    EXPECT_EQ(fetch(*anna, plan), randomBytes(200000));
}

}  // namespace
}  // namespace zelt::server::test
