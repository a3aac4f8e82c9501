#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/core/state/comm_settings.h"
#include "common/ui/shared_windows.h"

// What the client's dialogs hold, and the checks they make when the user presses OK. The core
// fills a form, hands it to the dialog with its check (a ui::FormCheck), and reads it back after
// the dialog was accepted; the dialog runs the check on OK and shows the text it returns.
namespace zelt::client {

using ui::MessageForm;

// Input limits of the dialogs, in characters.
inline constexpr std::size_t kMaxUserName = 50;
inline constexpr std::size_t kMaxPassword = 20;
inline constexpr std::size_t kMaxPortDigits = 5;

// The Log-in dialog.
struct LoginForm {
    std::string userName;
    std::string password;  // as typed, not scrambled
    // The four fields of the address entry; a blank field is nullopt.
    std::array<std::optional<int>, 4> address{};
    std::string port;    // digits, as typed
    std::string status;  // why the previous attempt failed (read-only)

    // Where the focus goes a moment (kFocusDelay milliseconds) after the dialog opens.
    enum class Focus { Unchanged, Address, Password };
    Focus focus = Focus::Unchanged;
    static constexpr int kFocusDelay = 200;
};

// The form as the dialog opens: the stored user name, address and port where they are set,
// and the last error text. The password field always starts empty.
LoginForm loginFormFrom(const CommSettings& comm, const std::string& lastError);
// The message-box text of the first check that fails, or nothing.
std::optional<std::string> validateLoginForm(const LoginForm& form);
// Replaces the settings with a validated form; the password is stored scrambled.
void storeLoginForm(const LoginForm& form, CommSettings* comm);

// The Account Properties dialog.
struct PasswordForm {
    std::string current;
    std::string replacement;
    std::string retype;
};
std::optional<std::string> validatePasswordForm(const PasswordForm& form);

// The Comment dialog's answer: OK with the edit's lines and the check box, or closed.
struct CommentReply {
    bool accepted = false;
    std::vector<std::string> lines;
    bool applyToRest = false;
};
inline constexpr std::size_t kMaxComment = 1024;
// The lines, each followed by one line feed, up to the last line that keeps the whole within
// kMaxComment characters.
std::string collectComment(const std::vector<std::string>& lines);

// A name or path as the console lines quote it: 'text'.
std::string quoted(const std::string& text);
// "<prefix> '<value>'.", the sentence that many lines about one name or file are.
std::string quotedLine(std::string_view prefix, const std::string& value);

// "%d file" for 0 and 1, "%d files" above.
std::string fileCountLabel(int count);

// A text shown in a multi-line box: every line feed not preceded by a carriage return gets
// one, and at most limit characters of the text are taken.
std::string toCrLf(const std::string& text, std::size_t limit);

}  // namespace zelt::client
