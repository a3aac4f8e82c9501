#include "client/core/state/local_state.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>

#include "common/platform/files.h"
#include "common/scramble/scramble.h"
#include "tests/support/temp_dir.h"

namespace zelt::client {
namespace {

using zelt::test::TempDir;

// The fields, repeated ones spread out, must follow one another from byte 0 to the end.
void expectTiles(std::span<const FieldInfo> fields, std::size_t size) {
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (const FieldInfo& f : fields) {
        for (std::size_t k = 0; k < f.count; ++k)
            spans.emplace_back(f.offset + k * f.stride, f.width);
    }
    std::sort(spans.begin(), spans.end());
    std::size_t at = 0;
    for (const auto& [offset, width] : spans) {
        EXPECT_EQ(offset, at) << "gap or overlap at byte " << at;
        at = offset + width;
    }
    EXPECT_EQ(at, size);
}

TEST(ClientRecords, LayoutsTileTheirRecordsExactly) {
    expectTiles(ClientCommRecord::kFields, ClientCommRecord::kSize);
    expectTiles(CheckOutRecord::kFields, CheckOutRecord::kSize);
    EXPECT_EQ(kCheckOutFileSize, 297000u);
}

TEST(ClientRecords, CommSettingsKeepTheAddressInBothFormsAndSaveOwnerOnly) {
    TempDir dir;
    CommSettings comm;
    comm.setAddress({192, 168, 1, 20});
    comm.setPort(32767);
    comm.setUserName("anna");
    comm.setPassword(scramble::scramble("pw"));
    const std::string file = dir.file("Comm.zelt");
    ASSERT_TRUE(comm.save(file));

    const std::string bytes = zelt::test::readAll(file);
    ASSERT_EQ(bytes.size(), 84u);
    // The number has the first octet in its most significant byte, stored little-endian.
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 20);
    EXPECT_EQ(static_cast<unsigned char>(bytes[3]), 192);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 192);
    EXPECT_EQ(static_cast<unsigned char>(bytes[7]), 20);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A file that lets others read the password is made the owner's alone when it is read.
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    CommSettings back;
    back.load(file);
    EXPECT_EQ(back.address(), 0xC0A80114u);
    EXPECT_EQ(back.userName(), "anna");
    EXPECT_EQ(scramble::unscramble(back.password()), "pw");
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(ClientRecords, MissingCommFileGivesTheDefaultPortAndAZeroFileDoesNot) {
    TempDir dir;
    CommSettings missing;
    missing.load(dir.file("none"));
    EXPECT_EQ(missing.port(), 32767);

    zelt::test::writeAll(dir.file("zero"), std::string(84, '\0'));
    CommSettings zero;
    zero.load(dir.file("zero"));
    EXPECT_EQ(zero.port(), 0);
}

TEST(CheckOutTableTest, MarkingFindsFreeRecordsAndRefusesDuplicatesAndAFullTable) {
    CheckOutTable table;
    EXPECT_EQ(table.markRequested("C:\\a.doc"), 0);
    EXPECT_EQ(table.markRequested("C:\\b.doc"), 1);
    EXPECT_EQ(table.markRequested("C:\\a.doc"), CheckOutTable::kNone);
    table.clear(0);
    EXPECT_EQ(table.markRequested("C:\\c.doc"), 0);
    // Paths compare over 255 characters: two paths alike that far are one file.
    const std::string longA = std::string(255, 'x') + "A";
    const std::string longB = std::string(255, 'x') + "B";
    EXPECT_NE(table.markRequested(longA), CheckOutTable::kNone);
    EXPECT_EQ(table.markRequested(longB), CheckOutTable::kNone);

    CheckOutTable full;
    for (int i = 0; i < CheckOutTable::size(); ++i) full.markRequested("f" + std::to_string(i));
    EXPECT_EQ(full.markRequested("one more"), CheckOutTable::kNone);
}

TEST(CheckOutTableTest, SavesTheWholeTableAndLoadsAShortFileAsFreeRecords) {
    TempDir dir;
    CheckOutTable table;
    table.set(3, RecordFetched, "/srv/a.txt", "/home/u/Zelt/Working/a.txt");
    table.set(7, RecordCheckedOut, "/srv/b.txt", "");
    ASSERT_TRUE(table.save(dir.file("Chkout.zelt")));
    EXPECT_EQ(zelt::test::readAll(dir.file("Chkout.zelt")).size(), 297000u);

    CheckOutTable back;
    back.load(dir.file("Chkout.zelt"));
    EXPECT_EQ(back.bytes(), table.bytes());
    EXPECT_EQ(back.checkedOutCount(), 2);
    EXPECT_EQ(back.findHeld("/srv/a.txt"), 3);
    EXPECT_EQ(back.findByWorkingPath("/home/u/Zelt/Working/a.txt"), 3);

    // A file cut inside record 3 keeps record 3's state and loses record 7.
    const std::string bytes = zelt::test::readAll(dir.file("Chkout.zelt"));
    zelt::test::writeAll(dir.file("short"), bytes.substr(0, 4 * CheckOutRecord::kSize));
    CheckOutTable cut;
    cut.load(dir.file("short"));
    EXPECT_EQ(cut.state(3), RecordFetched);
    EXPECT_EQ(cut.state(7), RecordFree);

    // Clearing leaves every byte of the record zero.
    table.clear(3);
    EXPECT_TRUE(std::all_of(table.bytes().begin() + 3 * CheckOutRecord::kSize,
                            table.bytes().begin() + 4 * CheckOutRecord::kSize,
                            [](std::uint8_t b) { return b == 0; }));
}

// The Working Files list and the check-out requests walk the table through these: a record
// skipped at a gap or at the last row would be a file the user holds and never sees.
TEST(CheckOutTableTest, WalksReachRecordsAcrossGapsUpToTheLastRow) {
    CheckOutTable table;
    table.set(0, RecordRequested, "/srv/r0", "");
    table.set(3, RecordFetched, "/srv/a", "/w/a");
    table.set(4, RecordRefused, "/srv/x", "");
    table.set(498, RecordRequested, "/srv/r1", "");
    table.set(499, RecordCheckedOut, "/srv/z", "");
    std::vector<int> held;
    for (int i = table.nextHeld(0); i != CheckOutTable::kNone; i = table.nextHeld(i + 1)) {
        held.push_back(i);
    }
    EXPECT_EQ(held, (std::vector<int>{3, 499}));
    EXPECT_EQ(table.nextInState(-1, RecordRequested), 0);
    EXPECT_EQ(table.nextInState(1, RecordRequested), 498);
    EXPECT_EQ(table.nextInState(499, RecordRequested), CheckOutTable::kNone);
    EXPECT_EQ(table.nextHeld(CheckOutTable::size()), CheckOutTable::kNone);
}

TEST(ClientPlacesTest, OptionsWinAndTheFoldersAreCreatedOnce) {
    TempDir dir;
    PlaceOptions options{dir.file("data/"), dir.file("user")};
    const ClientPlaces first = preparePlaces(options);
    EXPECT_TRUE(files::isFolder(dir.file("data")));
    EXPECT_EQ(first.dataDirectory, dir.file("data"));
    EXPECT_EQ(first.commFile, dir.file("data/Comm.zelt"));
    EXPECT_EQ(first.checkOutFile, dir.file("data/Chkout.zelt"));
    EXPECT_EQ(first.notifyFile, dir.file("data/Notify.zelt"));
    EXPECT_TRUE(first.workingCreated);
    EXPECT_TRUE(files::isFolder(dir.file("user/Working")));
    EXPECT_TRUE(files::isFolder(dir.file("user/Temp")));
    EXPECT_TRUE(files::isFolder(dir.file("user/Backup")));
    EXPECT_FALSE(preparePlaces(options).workingCreated);
}

TEST(ClientPlacesTest, DataDirectoryComesFromTheConfigFileAndAnUnusableUserFolderFallsBack) {
    TempDir dir;
    EXPECT_NE(files::createFolder(dir.file("fromconf")), files::FolderResult::Failed);
    zelt::test::writeAll(dir.file("client.conf"),
                         "# settings\npath=" + dir.file("fromconf/") + "\n");
    ::setenv("ZELT_CLIENT_CONFIG", dir.file("client.conf").c_str(), 1);
    // A user folder that cannot be made leaves the working folders in the data directory.
    const ClientPlaces places = preparePlaces({"", dir.file("missing/deeper")});
    ::unsetenv("ZELT_CLIENT_CONFIG");
    EXPECT_EQ(places.dataDirectory, dir.file("fromconf"));
    EXPECT_EQ(places.userFolder, dir.file("fromconf"));
    EXPECT_EQ(places.working, dir.file("fromconf/Working"));
}

TEST(BaseNames, WindowsAndPosixPathsGiveTheirLastPartAndUnsafeNamesAreRefused) {
    std::string name;
    EXPECT_TRUE(safeBaseName("C:\\Projects\\Plan\\budget.xls", &name));
    EXPECT_EQ(name, "budget.xls");
    EXPECT_TRUE(safeBaseName("\\\\share\\docs\\a b.txt", &name));
    EXPECT_EQ(name, "a b.txt");
    EXPECT_TRUE(safeBaseName("/srv/zelt/files/report.odt", &name));
    EXPECT_EQ(name, "report.odt");
    EXPECT_TRUE(safeBaseName("/srv/mixed\\part/x\\y.txt", &name));
    EXPECT_EQ(name, "y.txt");
    for (const char* bad : {"C:\\docs\\", "/srv/..", "C:\\..", "C:\\docs\\.", "noseparator", ""}) {
        EXPECT_FALSE(safeBaseName(bad, &name)) << bad;
    }
}

}  // namespace
}  // namespace zelt::client
