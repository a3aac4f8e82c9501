#include "common/ui/shared_windows.h"

#include <gtest/gtest.h>

#include <string>

namespace zelt::ui {
namespace {

TEST(SharedWindows, SendChecksTheRecipientThenTheText) {
    MessageForm form;
    form.text = "hello";
    EXPECT_EQ(checkMessageForm(form), "Please enter the recipient.");
    form.recipients = "bob";
    form.text = "";
    EXPECT_EQ(checkMessageForm(form), "Please enter the message to send.");
    form.text = "hello";
    EXPECT_EQ(checkMessageForm(form), std::nullopt);
}

TEST(SharedWindows, ReplyAndMailAddresses) {
    EXPECT_EQ(replyName("<bob> \"hi\""), "bob");
    EXPECT_EQ(replyName("<admin> \"a > b\""), "admin");
    EXPECT_EQ(replyName("no brackets"), "");
    EXPECT_EQ(replyName("<> \"x\""), "");
    EXPECT_EQ(replyName("<" + std::string(60, 'n') + ">").size(), 50u);
    EXPECT_EQ(mailtoAddress("a@b.c", "ZELT server 1.6.1"),
              "mailto:a@b.c?subject=ZELT query: ZELT server 1.6.1");
    EXPECT_EQ(mailtoAddress(std::string(600, 'm'), "1.6.1").size(), 511u);
}

TEST(SharedWindows, ShellOpenFailuresNameTheReasonByCode) {
    EXPECT_EQ(shellOpenFailure(2), "Failed to open the file.\n\nThe specified file was not found.");
    EXPECT_EQ(shellOpenFailure(3), "Failed to open the file.\n\nThe specified path was not found.");
    EXPECT_EQ(shellOpenFailure(31),
              "Failed to open the file.\n\nThere is no application associated with the given "
              "file name extension.");
    EXPECT_EQ(shellOpenFailure(17), "Failed to open the file.\n\nCannot execute the specified file.");
}

}  // namespace
}  // namespace zelt::ui
