#include "server/core/store/account_table.h"
#include "server/core/store/group_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/platform/files.h"
#include "server/core/store/names.h"
#include "tests/support/temp_dir.h"

namespace zelt::server {
namespace {

using test::TempDir;

void addAccount(AccountTable& table, std::size_t index, std::string_view name, int state = 1) {
    auto r = table.record(index);
    r.set(AccountRecord::state, state);
    r.set(AccountRecord::userName, name);
}

TEST(AccountTable, WrittenReloadedAndReloadedFromATruncatedFile) {
    TempDir dir;
    const std::string path = dir.file("Accounts.zelt");
    AccountTable table;
    addAccount(table, 0, "anna");
    addAccount(table, 1, "Bob", StateDisabled);
    addAccount(table, 999, "last");
    table.record(0).set(AccountRecord::connected, 1);
    table.record(1).set(AccountRecord::email, "bob@example.org");
    ASSERT_TRUE(table.save(path));
    EXPECT_EQ(files::fileSize(path), 255000);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    AccountTable loaded;
    EXPECT_EQ(loaded.load(path), 255000u);
    EXPECT_EQ(loaded.record(0).get(AccountRecord::connected), 0);  // nobody is connected at start
    EXPECT_EQ(loaded.record(1).get(AccountRecord::email), "bob@example.org");
    EXPECT_EQ(loaded.findByUserName("LAST"), 999);

    // A short file fills only the records it holds.
    ASSERT_EQ(::truncate(path.c_str(), 255 + 100), 0);
    AccountTable truncated;
    EXPECT_EQ(truncated.load(path), 355u);
    EXPECT_EQ(truncated.findByUserName("anna"), 0);
    EXPECT_EQ(truncated.findByUserName("bob"), 1);
    EXPECT_EQ(truncated.record(1).get(AccountRecord::email), "");  // cut at offset 100
    EXPECT_EQ(truncated.findByUserName("last"), -1);
    EXPECT_EQ(truncated.findFree(), 2);

    AccountTable missing;
    EXPECT_EQ(missing.load(dir.file("none")), 0u);
    EXPECT_EQ(missing.findFree(), 0);
}

TEST(AccountTable, LookupsIgnoreAsciiCaseOnly) {
    AccountTable table;
    addAccount(table, 0, "");  // in use but nameless: never found
    addAccount(table, 2, "anna");
    addAccount(table, 3, "\xC4nna");  // bytes outside ASCII are not folded
    EXPECT_EQ(table.findByUserName("ANNA"), 2);
    EXPECT_EQ(table.findByUserName("\xE4nna"), -1);
    EXPECT_EQ(table.findByUserName(""), -1);
    EXPECT_EQ(table.findFree(), 1);
    table.clear(2);
    EXPECT_EQ(table.findByUserName("anna"), -1);
    EXPECT_EQ(table.findFree(), 1);
    // Only the first 50 characters of the asked name count.
    const std::string fifty(50, 'z');
    addAccount(table, 5, fifty);
    EXPECT_EQ(table.findByUserName(fifty + "tail"), 5);
}

TEST(GroupTable, WrittenReloadedWithMembersAndFiles) {
    TempDir dir;
    const std::string path = dir.file("Groups.zelt");
    GroupTable table;
    auto g = table.record(3);
    g.set(GroupRecord::state, StateEnabled);
    g.set(GroupRecord::name, "Team");
    g.set(GroupRecord::members.at(99), "Anna");
    auto entry = table.fileEntry(3, 499);
    entry.set(FileEntry::path, "/srv/docs/plan.doc");
    entry.set(FileEntry::checkedOut, 1);
    entry.set(FileEntry::holder, "anna");
    ASSERT_TRUE(table.save(path));
    EXPECT_EQ(files::fileSize(path), 8431750);

    GroupTable loaded;
    loaded.load(path);
    EXPECT_EQ(loaded.findByName("TEAM"), 3);
    EXPECT_TRUE(loaded.isMember(3, "anna"));
    EXPECT_FALSE(loaded.isMember(3, "ann"));
    EXPECT_FALSE(loaded.isMember(3, ""));
    EXPECT_EQ(loaded.fileEntry(3, 499).get(FileEntry::path), "/srv/docs/plan.doc");
    EXPECT_EQ(loaded.fileEntry(3, 499).get(FileEntry::holder), "anna");
    EXPECT_EQ(loaded.findFree(), 0);
    // The last file slot ends exactly at the end of the record.
    EXPECT_EQ(GroupRecord::files.at(499).offset + FileEntry::kSize, GroupRecord::kSize);

    loaded.record(3).set(GroupRecord::state, StateDisabled);
    EXPECT_EQ(loaded.findByName("team"), 3);  // a disabled group is still found by name
    EXPECT_FALSE(loaded.enabled(3));
}

TEST(Names, Rules) {
    EXPECT_TRUE(isReservedUserName("AdMiN"));
    EXPECT_FALSE(isReservedUserName("admin2"));
    EXPECT_TRUE(isValidUserName("anna"));
    EXPECT_TRUE(isValidUserName(std::string(50, 'a')));
    EXPECT_FALSE(isValidUserName(std::string(51, 'a')));
    EXPECT_FALSE(isValidUserName(""));
    EXPECT_FALSE(isValidUserName("an na"));
    EXPECT_FALSE(isValidUserName("an\tna"));
    EXPECT_FALSE(isValidUserName("ADMIN"));
    for (char c : std::string("\\/:*?\"<>|;")) {
        EXPECT_TRUE(userNameHasIllegalCharacters(std::string("a") + c)) << c;
        EXPECT_TRUE(groupNameHasIllegalCharacters(std::string("a") + c)) << c;
    }
    EXPECT_FALSE(userNameHasIllegalCharacters("a@b"));
    EXPECT_TRUE(groupNameHasIllegalCharacters("a@b"));
    EXPECT_TRUE(isValidGroupName(std::string(30, 'g')));
    EXPECT_FALSE(isValidGroupName(std::string(31, 'g')));
    EXPECT_TRUE(isValidGroupName("Team A"));
    EXPECT_TRUE(isValidPassword(std::string(20, 'p')));
    EXPECT_FALSE(isValidPassword(std::string(21, 'p')));
    EXPECT_FALSE(isValidPassword(""));
    EXPECT_TRUE(equalsIgnoringCase("ABC", "abc"));
    EXPECT_FALSE(equalsIgnoringCase("ABC", "abd"));
    EXPECT_EQ(lowerAscii("MiXeD \xC4"), "mixed \xC4");
}

}  // namespace
}  // namespace zelt::server
