#include "server/core/repository/version_store.h"

#include <gtest/gtest.h>

#include <set>

#include "common/platform/files.h"
#include "tests/support/temp_dir.h"

namespace zelt::server {
namespace {

using test::readAll;
using test::TempDir;
using test::writeAll;

class VersionStoreTest : public ::testing::Test {
protected:
    VersionStoreTest() : clock({2007, 4, 28, 16, 10, 12, 345}), store(dir.file("Files"), clock) {
        EXPECT_NE(files::createFolder(dir.file("Files")), files::FolderResult::Failed);
        writeAll(dir.file("plan.doc"), "content");
    }
    void makeVersions(int n) {
        EXPECT_NE(files::createFolder(store.folderOf(path)), files::FolderResult::Failed);
        for (int i = 0; i < n; ++i) {
            writeAll(dir.file("plan.doc"), "v" + std::to_string(i));
            ASSERT_TRUE(store.makeVersion(path, dir.file("plan.doc"), "anna", "c" + std::to_string(i)));
            clock.advance(1000);
        }
    }

    TempDir dir;
    ManualClock clock;
    VersionStore store;
    const std::string path = "/srv/docs/plan.doc";
};

TEST(VersionFolder, SeparatorsAndColonsBecomeDashes) {
    EXPECT_EQ(VersionStore::folderName("/srv/docs/plan.doc"), "-srv-docs-plan.doc");
    EXPECT_EQ(VersionStore::folderName("D:\\Docs\\plan.doc"), "D--Docs-plan.doc");
    EXPECT_EQ(VersionStore::folderName("a b.txt"), "a b.txt");
}

TEST_F(VersionStoreTest, StampsHaveSeventeenDigitsAndAreDistinctWithinAMillisecond) {
    EXPECT_EQ(store.newStamp(), "20070428161012345");
    std::set<std::string> seen;
    std::string previous;
    for (int i = 0; i < 1500; ++i) {  // the clock does not move: stamps still grow
        const std::string stamp = store.newStamp();
        EXPECT_EQ(stamp.size(), 17u);
        EXPECT_GT(stamp, previous);
        EXPECT_TRUE(seen.insert(stamp).second);
        previous = stamp;
    }
    EXPECT_EQ(previous, "20070428161013845");  // carried into the next second properly
    clock.advance(-60000);  // a clock stepped back does not make older names
    EXPECT_GT(store.newStamp(), previous);
}

TEST_F(VersionStoreTest, PruningDropsTheOldestFirst) {
    makeVersions(6);
    const auto six = store.versions(path);
    ASSERT_EQ(six.size(), 6u);
    store.prune(path, 5);
    auto left = store.versions(path);
    EXPECT_EQ(left, std::vector<std::string>(six.begin() + 1, six.end()));
    EXPECT_FALSE(files::isFile(store.detailFile(path, six[0])));

    makeVersions(2);  // seven now
    const auto seven = store.versions(path);
    store.prune(path, 5);
    left = store.versions(path);
    EXPECT_EQ(left, std::vector<std::string>(seven.begin() + 2, seven.end()));
    EXPECT_EQ(readAll(store.versionFile(path, left.back())), "v1");
}

TEST_F(VersionStoreTest, LatestDetailsComeFromTheGreatestDetailStamp) {
    EXPECT_EQ(store.latestDetails(path), DetailBytes{});  // no folder at all
    makeVersions(3);
    const auto stamps = store.versions(path);
    DetailBytes latest = store.latestDetails(path);
    EXPECT_EQ(proto::ConstView{latest}.get(proto::DetailRecord::comment), "c2");
    EXPECT_EQ(proto::ConstView{latest}.get(proto::DetailRecord::userName), "anna");
    EXPECT_EQ(proto::ConstView{latest}.get(proto::DetailRecord::time), "2007/04/28 [16:10:14]");
    // A folder with details and no versions still has latest details.
    for (const auto& s : stamps) ASSERT_TRUE(files::removeFile(store.versionFile(path, s)));
    EXPECT_TRUE(store.versions(path).empty());
    latest = store.latestDetails(path);
    EXPECT_EQ(proto::ConstView{latest}.get(proto::DetailRecord::comment), "c2");
    EXPECT_FALSE(store.details(path, "20000101000000000"));
}

TEST_F(VersionStoreTest, DetailsAreZeroPaddedAndTheCommentIsCut) {
    EXPECT_NE(files::createFolder(store.folderOf(path)), files::FolderResult::Failed);
    const std::string stamp = store.newStamp();
    ASSERT_TRUE(store.writeDetails(path, stamp, "bob", std::string(2000, 'x')));
    const DetailBytes d = *store.details(path, stamp);
    EXPECT_EQ(proto::ConstView{d}.get(proto::DetailRecord::comment).size(), 1024u);
    for (std::size_t i = 132 + 1024; i < d.size(); ++i) EXPECT_EQ(d[i], 0) << i;
    EXPECT_EQ(files::fileSize(store.detailFile(path, stamp)), 1669);
}

TEST(DetailsText, LineFeedsBecomeCrLf) {
    DetailBytes d{};
    proto::MutableView v{d};
    v.set(proto::DetailRecord::time, "2007/04/28 [16:10:12]");
    v.set(proto::DetailRecord::userName, "anna");
    v.set(proto::DetailRecord::comment, "one\ntwo\r\nthree");
    EXPECT_EQ(VersionStore::detailsText(d),
              "2007/04/28 [16:10:12]\r\nanna\r\n\r\none\r\ntwo\r\nthree");
}

}  // namespace
}  // namespace zelt::server
