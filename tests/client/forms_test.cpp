#include "client/core/ui/forms.h"

#include <gtest/gtest.h>

#include "client/core/ui/models.h"
#include "common/scramble/scramble.h"

namespace zelt::client {
namespace {

LoginForm completeForm() {
    LoginForm form;
    form.userName = "anna";
    form.password = "secret";
    form.address = {10, 0, 0, 7};
    form.port = "32767";
    return form;
}

TEST(LoginFormTest, ChecksRunInOrderAndTheFirstFailureIsShown) {
    LoginForm form = completeForm();
    EXPECT_EQ(validateLoginForm(form), std::nullopt);

    // Everything wrong at once: the address is reported first, then each in turn.
    form.address[3].reset();
    form.port = "";
    form.userName = "";
    form.password = "";
    EXPECT_EQ(validateLoginForm(form), "Please enter the valid ZELT server IP adddress.");
    form.address[3] = 7;
    EXPECT_EQ(validateLoginForm(form), "Please enter the valid port number.");
    form.port = "12a";
    EXPECT_EQ(validateLoginForm(form), "Please enter the valid port number.");
    form.port = "80";
    EXPECT_EQ(validateLoginForm(form), "Please enter the username.");
    form.userName = "anna";
    EXPECT_EQ(validateLoginForm(form), "Please enter the password.");
    form.password = "x";
    EXPECT_EQ(validateLoginForm(form), std::nullopt);
}

TEST(LoginFormTest, StoringScramblesThePasswordAndOpeningFillsWhatIsStored) {
    CommSettings comm;
    LoginForm form = completeForm();
    form.port = "99999";  // five digits pass; only the low 16 bits reach the connect
    storeLoginForm(form, &comm);
    EXPECT_EQ(comm.address(), 0x0A000007u);
    EXPECT_EQ(comm.port(), 99999);
    EXPECT_EQ(comm.password(), scramble::scramble("secret"));

    const LoginForm reopened = loginFormFrom(comm, "Access denied. Password not match.");
    EXPECT_EQ(reopened.userName, "anna");
    EXPECT_EQ(reopened.password, "");
    EXPECT_EQ(reopened.address[0], 10);
    EXPECT_EQ(reopened.address[3], 7);
    EXPECT_EQ(reopened.status, "Access denied. Password not match.");
    EXPECT_EQ(reopened.focus, LoginForm::Focus::Password);

    // Nothing stored: empty fields, the port left blank, the focus on the address.
    const LoginForm empty = loginFormFrom(CommSettings{}, "");
    EXPECT_FALSE(empty.address[0].has_value());
    EXPECT_EQ(empty.port, "");
    EXPECT_EQ(empty.focus, LoginForm::Focus::Address);
}

TEST(PasswordFormTest, ChecksRunInOrderAndCaseMatters) {
    PasswordForm form;
    EXPECT_EQ(validatePasswordForm(form), "Please enter the current password.");
    form.current = "old";
    EXPECT_EQ(validatePasswordForm(form), "Please enter the new password.");
    form.replacement = "New";
    EXPECT_EQ(validatePasswordForm(form), "Please retype the new password.");
    form.retype = "new";
    EXPECT_EQ(validatePasswordForm(form), "New password does not match with retyped.");
    form.retype = "New";
    EXPECT_EQ(validatePasswordForm(form), std::nullopt);
    form.replacement = form.retype = "old";  // the server decides about reuse
    EXPECT_EQ(validatePasswordForm(form), std::nullopt);
}

TEST(CommentTest, LinesAreKeptWhileTheWholeFitsIn1024Characters) {
    const std::vector<std::string> thirty(30, std::string(40, 'c'));
    const std::string comment = collectComment(thirty);
    EXPECT_EQ(comment.size(), 24u * 41u);
    EXPECT_EQ(std::count(comment.begin(), comment.end(), '\n'), 24);

    // A line that exactly reaches 1024 is kept; one character more and it is not.
    EXPECT_EQ(collectComment({std::string(1023, 'a')}).size(), 1024u);
    EXPECT_EQ(collectComment({std::string(1024, 'a')}), "");
    EXPECT_EQ(collectComment({"one", "", "three"}), "one\n\nthree\n");
}

TEST(TextShapes, CountLabelsAndLineEnds) {
    EXPECT_EQ(fileCountLabel(0), "0 file");
    EXPECT_EQ(fileCountLabel(1), "1 file");
    EXPECT_EQ(fileCountLabel(12), "12 files");
    // A bare line feed and a CRLF pair both end up as CRLF: three lines.
    EXPECT_EQ(toCrLf("a\nb\r\nc", 1024), "a\r\nb\r\nc");
    EXPECT_EQ(toCrLf(std::string(2000, 'x'), 1024).size(), 1024u);
}

TEST(ButtonTables, AvailableFiles) {
    struct Row {
        bool connected;
        std::size_t selected;
        bool refresh, properties, checkOut;
    };
    const Row table[] = {
        {false, 0, false, false, false}, {false, 1, false, false, false},
        {false, 3, false, false, false}, {true, 0, true, false, false},
        {true, 1, true, true, true},     {true, 2, true, false, true},
    };
    for (const Row& r : table) {
        const AvailableFilesButtons b = availableFilesButtons(r.connected, r.selected);
        EXPECT_EQ(b.refresh, r.refresh) << r.connected << r.selected;
        EXPECT_EQ(b.properties, r.properties) << r.connected << r.selected;
        EXPECT_EQ(b.checkOut, r.checkOut) << r.connected << r.selected;
    }
}

TEST(ButtonTables, WorkingFiles) {
    struct Row {
        bool fetching, connected;
        std::size_t selected;
        bool fetch, open, checkIn, voidCheckOut;
    };
    const Row table[] = {
        {true, true, 1, false, false, false, false},
        {true, false, 1, false, false, false, false},
        {false, false, 1, false, true, false, false},
        {false, false, 0, false, false, false, false},
        {false, false, 2, false, false, false, false},
        {false, true, 0, false, false, false, false},
        {false, true, 1, true, true, true, true},
        {false, true, 2, true, false, true, true},
    };
    for (const Row& r : table) {
        const WorkingFilesButtons b = workingFilesButtons(r.fetching, r.connected, r.selected);
        const std::string trace =
            std::to_string(r.fetching) + std::to_string(r.connected) + std::to_string(r.selected);
        EXPECT_EQ(b.fetch, r.fetch) << trace;
        EXPECT_EQ(b.open, r.open) << trace;
        EXPECT_EQ(b.checkIn, r.checkIn) << trace;
        EXPECT_EQ(b.voidCheckOut, r.voidCheckOut) << trace;
        EXPECT_TRUE(b.openFolder && b.close);
    }
}

}  // namespace
}  // namespace zelt::client
