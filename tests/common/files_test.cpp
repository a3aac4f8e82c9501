#include "common/platform/files.h"
#include "common/platform/directory_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "tests/support/temp_dir.h"

namespace zelt::files {
namespace {

using test::readAll;
using test::TempDir;
using test::writeAll;

TEST(Files, ReadRecordZeroFillsWhatTheFileDoesNotHold) {
    TempDir dir;
    writeAll(dir.file("short"), "ab");
    char buffer[6];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(readRecord(dir.file("short"), buffer, sizeof buffer), 2u);
    EXPECT_EQ(std::string(buffer, 6), std::string("ab\0\0\0\0", 6));
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(readRecord(dir.file("missing"), buffer, sizeof buffer), 0u);
    EXPECT_EQ(std::string(buffer, 6), std::string(6, '\0'));
    writeAll(dir.file("long"), "0123456789");
    EXPECT_EQ(readRecord(dir.file("long"), buffer, sizeof buffer), 6u);
}

TEST(Files, AtomicWriteReplacesWholeAndHonoursOwnerOnly) {
    TempDir dir;
    const std::string path = dir.file("Accounts.zelt");
    ASSERT_TRUE(writeFileAtomic(path, "first", 5, {.ownerOnly = true, .writer = {}}));
    EXPECT_EQ(readAll(path), "first");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(writeFileAtomic(path, "second!", 7));
    EXPECT_EQ(readAll(path), "second!");
    EXPECT_EQ(listFiles(dir.path()).size(), 1u);  // no temporary left behind
}

TEST(Files, AWriteThatFailsMidwayLeavesTheOldContentWhole) {
    TempDir dir;
    const std::string path = dir.file("Groups.zelt");
    const std::string old(100000, 'o');
    ASSERT_TRUE(writeFileAtomic(path, old.data(), old.size()));

    const std::string fresh(100000, 'n');
    std::size_t written = 0;
    AtomicWriteOptions failing;
    failing.writer = [&](int fd, const void* data, std::size_t size) -> ssize_t {
        if (written >= 50000) {
            errno = ENOSPC;
            return -1;
        }
        const std::size_t n = std::min<std::size_t>(size, 4096);
        written += n;
        return ::write(fd, data, n);
    };
    EXPECT_FALSE(writeFileAtomic(path, fresh.data(), fresh.size(), failing));
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(listFiles(dir.path()).size(), 1u);
}

TEST(Files, TemporariesOfUnfinishedWritesAreFoundAndNothingElse) {
    TempDir dir;
    writeAll(dir.file("Groups.zelt"), "g");
    writeAll(dir.file("Groups.zelt.0123456789abcdef.part"), "half");
    writeAll(dir.file("notes.part"), "mine");
    writeAll(dir.file("x.0123456789abcdeg.part"), "not ours");
    writeAll(dir.file("plan.txt.fedcba9876543210.part"), "half of plan");
    // Only the copies of the targets asked for.
    const Removed plan = removeUnfinishedWrites(
        dir.path(), [](std::string_view target) { return target == "plan.txt"; });
    EXPECT_EQ(plan.count, 1);
    EXPECT_EQ(plan.bytes, 12);
    EXPECT_EQ(removeUnfinishedWrites(dir.path()).count, 1);
    EXPECT_TRUE(isFile(dir.file("Groups.zelt")));
    EXPECT_TRUE(isFile(dir.file("notes.part")));
    EXPECT_TRUE(isFile(dir.file("x.0123456789abcdeg.part")));
}

TEST(Files, APathNamingAFifoIsRefusedWithoutWaiting) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(copyFile(dir.file("pipe"), dir.file("copy")));
    EXPECT_FALSE(replaceWithCopy(dir.file("pipe"), dir.file("copy")));
    EXPECT_FALSE(OpenFile::forReading(dir.file("pipe")).isOpen());
    // Nor is one replaced, or written beside.
    writeAll(dir.file("source"), "new");
    EXPECT_FALSE(replaceWithCopy(dir.file("source"), dir.file("pipe")));
    EXPECT_EQ(kindOf(dir.file("pipe")), FileKind::Fifo);
    EXPECT_EQ(listFiles(dir.path()).size(), 1u);
}

TEST(Files, CreateFolderTellsCreatedFromAlreadyThere) {
    TempDir dir;
    EXPECT_EQ(createFolder(dir.file("Files")), FolderResult::Created);
    EXPECT_EQ(createFolder(dir.file("Files")), FolderResult::AlreadyThere);
    writeAll(dir.file("plain"), "x");
    EXPECT_EQ(createFolder(dir.file("plain")), FolderResult::Failed);
    EXPECT_EQ(createFolder(dir.file("no/such/parent")), FolderResult::Failed);
}

TEST(Files, ListAndEmptyTouchOnlyPlainFiles) {
    TempDir dir;
    writeAll(dir.file("20070428160509000.__file__"), "v");
    writeAll(dir.file("20070428160509000.__detail__"), "d");
    ASSERT_EQ(createFolder(dir.file("sub.__file__")), FolderResult::Created);
    EXPECT_EQ(listFiles(dir.path(), ".__file__"),
              std::vector<std::string>{"20070428160509000.__file__"});
    EXPECT_EQ(listFiles(dir.path()).size(), 2u);
    EXPECT_EQ(emptyFolder(dir.path()), 2);
    EXPECT_TRUE(isFolder(dir.file("sub.__file__")));
}

TEST(Files, UniqueTempFilesAreNewAndNamedByThePrefix) {
    TempDir dir;
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::string path = createUniqueTempFile(dir.path(), "annabelle");
        ASSERT_FALSE(path.empty());
        const std::string name = baseName(path);
        EXPECT_EQ(name.substr(0, 3), "ann");
        EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
        EXPECT_TRUE(seen.insert(path).second);
        EXPECT_EQ(fileSize(path), 0);
    }
    EXPECT_EQ(createUniqueTempFile(dir.file("missing"), "x"), "");
}

TEST(Files, CopiesAndReplacementKeepBytesAndPermissions) {
    TempDir dir;
    std::string content;
    for (int i = 0; i < 300000; ++i) content.push_back(static_cast<char>(i * 7));
    writeAll(dir.file("source"), content);
    ASSERT_TRUE(copyFile(dir.file("source"), dir.file("copy")));
    EXPECT_EQ(readAll(dir.file("copy")), content);

    writeAll(dir.file("latest"), "old");
    ASSERT_EQ(::chmod(dir.file("latest").c_str(), 0640), 0);
    ASSERT_TRUE(replaceWithCopy(dir.file("source"), dir.file("latest")));
    EXPECT_EQ(readAll(dir.file("latest")), content);
    struct stat st {};
    ASSERT_EQ(::stat(dir.file("latest").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_FALSE(replaceWithCopy(dir.file("missing"), dir.file("latest")));
    EXPECT_EQ(readAll(dir.file("latest")), content);
    EXPECT_FALSE(copyFile(dir.path(), dir.file("folder-copy")));
}

TEST(Files, BaseNameTakesTheTextAfterEitherSeparator) {
    EXPECT_EQ(baseName("/srv/docs/plan.doc"), "plan.doc");
    EXPECT_EQ(baseName("D:\\Docs\\plan.doc"), "plan.doc");
    EXPECT_EQ(baseName("mixed/a\\b.txt"), "b.txt");
    EXPECT_EQ(baseName("plain"), "");
    EXPECT_EQ(baseName("/srv/"), "");
    EXPECT_EQ(join("/a/", "b"), "/a/b");
    EXPECT_EQ(join("/a", "b"), "/a/b");
}

}  // namespace
}  // namespace zelt::files

namespace zelt {
namespace {

TEST(DirectoryLock, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
    test::TempDir dir;
    DirectoryLock first;
    ASSERT_EQ(first.take(dir.path()), DirectoryLock::Result::Taken);
    DirectoryLock second;
    EXPECT_EQ(second.take(dir.path()), DirectoryLock::Result::InUse);
    EXPECT_EQ(second.holder(), static_cast<int>(::getpid()));
    EXPECT_FALSE(second.held());
    first.release();
    EXPECT_EQ(second.take(dir.path()), DirectoryLock::Result::Taken);
    EXPECT_EQ(DirectoryLock().take(dir.file("missing")), DirectoryLock::Result::Failed);
}

}  // namespace
}  // namespace zelt
