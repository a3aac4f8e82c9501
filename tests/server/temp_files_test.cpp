#include "server/core/repository/temp_files.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace zelt::server {
namespace {

using test::readAll;
using test::TempDir;
using test::writeAll;
using Kind = TempFiles::Kind;

TEST(TempFiles, UploadNamesBelongToTheirUserOnly) {
    EXPECT_TRUE(TempFiles::isUploadNameOf("anna__plan.doc", "anna"));
    EXPECT_TRUE(TempFiles::isUploadNameOf("ANNA__", "anna"));
    for (const char* name :
         {"anna_plan", "anna", "bob__x", "anna__a/b", "anna__a\\b", "..", "", "/tmp/anna__x"}) {
        EXPECT_FALSE(TempFiles::isUploadNameOf(name, "anna")) << name;
    }
    EXPECT_FALSE(TempFiles::isUploadNameOf("__x", ""));

    TempDir dir;
    TempFiles temps(dir.path());
    // "anna__x" is a user name too; its owner's uploads are not anna's to take.
    ASSERT_NE(temps.beginUpload("anna__x", "anna__x__plan"), "");
    EXPECT_EQ(temps.beginUpload("anna", "anna__x__plan"), "");
    writeAll(dir.file("anna__stray"), "not made here");
    EXPECT_EQ(temps.beginUpload("anna", "anna__stray"), "");
    EXPECT_EQ(readAll(dir.file("anna__stray")), "not made here");
}

TEST(TempFiles, OpenFilesAreCappedAndReopenedWhenNeededAgain) {
    TempDir dir;
    TempFiles temps(dir.path());
    std::vector<std::pair<std::string, std::string>> made;  // user, path
    for (int u = 0; made.size() < TempFiles::MaxOpenFiles + 6; ++u) {
        const std::string user = "user" + std::to_string(u);
        for (std::size_t k = 0; k < TempFiles::MaxPerAccount - 1; ++k) {
            made.emplace_back(user, temps.createDownload(user));
            writeAll(made.back().second, "copy " + std::to_string(made.size()));
        }
    }
    for (const auto& [user, path] : made) ASSERT_NE(temps.use(path, user, Kind::Download), nullptr);
    EXPECT_EQ(temps.openCount(), TempFiles::MaxOpenFiles);
    EXPECT_EQ(temps.use(made[0].second, "someone", Kind::Download), nullptr);
    EXPECT_EQ(temps.use(made[0].second, made[0].first, Kind::Upload), nullptr);
    // The first one was closed for the later ones; it opens again and still reads its content.
    files::OpenFile* first = temps.use(made[0].second, made[0].first, Kind::Download);
    ASSERT_NE(first, nullptr);
    char text[16] = {};
    EXPECT_EQ(first->readAt(0, text, sizeof text), 6u);
    EXPECT_STREQ(text, "copy 1");
    EXPECT_EQ(temps.openCount(), TempFiles::MaxOpenFiles);

    temps.remove(made[0].second);
    EXPECT_FALSE(files::isFile(made[0].second));
    EXPECT_EQ(temps.openCount(), TempFiles::MaxOpenFiles - 1);
}

}  // namespace
}  // namespace zelt::server
