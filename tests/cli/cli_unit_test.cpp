// zelt's own pieces that need no server: its manual and its progress line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "client/cli/cli.h"
#include "client/cli/manual.h"
#include "client/cli/progress.h"

namespace zelt::cli {
namespace {

using ::testing::HasSubstr;

int parse(std::vector<const char*> args, CommandLine* line) {
    args.insert(args.begin(), "zelt");
    return parseCommandLine(static_cast<int>(args.size()), args.data(), line);
}

TEST(ZeltManual, EveryCommandItDescribesIsOneTheCommandLineTakesAndShowsItsOwnPart) {
    for (const CommandDoc& command : manual().commands) {
        CommandLine line;
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(parse({command.name.data(), "--help"}, &line), 0) << command.name;
        const std::string shown = ::testing::internal::GetCapturedStdout();
        EXPECT_THAT(shown, HasSubstr("zelt [OPTIONS] " + std::string(command.name))) << shown;
        for (const OptionDoc& option : command.options) {
            EXPECT_THAT(shown, HasSubstr(std::string(option.text))) << command.name;
        }
    }
    ::testing::internal::CaptureStdout();
    CommandLine line;
    EXPECT_EQ(parse({"--help"}, &line), 0);
    const std::string page = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(page.rfind("NAME\n       zelt - ", 0), 0u) << page;
    for (const char* section :
         {"SYNOPSIS", "OPTIONS", "COMMANDS", "PASSWORD", "EXIT STATUS", "ENVIRONMENT", "FILES"}) {
        EXPECT_THAT(page, HasSubstr(std::string("\n") + section + "\n")) << section;
    }
    EXPECT_THAT(page, HasSubstr("\n       3      Could not connect or log in"));
    // Wrapped to the width asked for.
    for (std::size_t at = 0, end; (end = page.find('\n', at)) != std::string::npos; at = end + 1) {
        EXPECT_LE(end - at, 80u) << page.substr(at, end - at);
    }

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(parse({"checkin", "/srv/a.txt"}, &line), 2);
    EXPECT_EQ(parse({"frobnicate"}, &line), 2);
    EXPECT_EQ(parse({}, &line), 2);
    ::testing::internal::GetCapturedStderr();
    // The options before the command may follow it too.
    CommandLine late;
    EXPECT_EQ(parse({"files", "Team", "--json", "--user", "anna"}, &late), -1);
    EXPECT_TRUE(late.json);
    EXPECT_EQ(late.user, "anna");
    EXPECT_EQ(late.group, "Team");
}

TEST(ZeltProgress, ALineShowsTheShareTheRateAndTheTimeLeftWithinTheTerminal) {
    // A quarter of 4 MB in two seconds: 512 KB a second, six seconds to go.
    const std::string line = progressLine("plan.ods", 1 << 20, 4 << 20, 2000, 80);
    EXPECT_THAT(line, HasSubstr("plan.ods ["));
    EXPECT_THAT(line, HasSubstr(" 25%"));
    EXPECT_THAT(line, HasSubstr("512.0 KB/s"));
    EXPECT_THAT(line, HasSubstr("0:06 left"));
    EXPECT_LT(line.size(), 80u);
    // A narrow terminal cuts the name first; an empty file is whole at once.
    EXPECT_LT(progressLine(std::string(200, 'n'), 0, 10, 0, 40).size(), 40u);
    EXPECT_THAT(progressLine("empty", 0, 0, 0, 80), HasSubstr("100%"));
    // Three hours to go at the start of a big transfer.
    EXPECT_THAT(progressLine("big", 1024, 1024LL * 10800 + 1024, 1000, 80),
                HasSubstr("3:00:00 left"));
}

}  // namespace
}  // namespace zelt::cli
