#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The windows both programs share (Send Message, Recipient Notation, the Legends and the
// message box of a failed shell open), as the cores and the windows both need them: forms,
// checks and every text, defined once.
namespace zelt::ui {

// The two programs differ in a few of these texts.
enum class Program { Server, Client };

// The Send Message window.
struct MessageForm {
    std::string recipients;  // at most MaxRecipients characters
    std::string text;        // at most MaxMessage characters
    bool important = true;   // checked when the window opens
};
inline constexpr std::size_t MaxRecipients = 512;
inline constexpr std::size_t MaxMessage = 1024;
// The message-box text of the first refusal on Send, or nothing.
std::optional<std::string> checkMessageForm(const MessageForm& form);

// The name a REPLYMSG line was sent by: the text between its leading '<' and the first '>',
// at most 50 characters; "" when there is none.
std::string replyName(std::string_view lineText);

// The address an OPENMAIL line opens: "mailto:<address>?subject=ZELT query: <version>", cut to
// the 511 characters the mail handler is given.
std::string mailtoAddress(std::string_view address, std::string_view version);

// The message-box text when the desktop could not open a file or folder, by its result code
// (the codes of common/platform/shell.h).
std::string shellOpenFailure(int code);

namespace text {

inline constexpr std::string_view SendMessageTitle = "Send Message";
inline constexpr std::string_view RecipientLabel = "&Recipient:";
inline constexpr std::string_view MessageLabel = "&Message:";
inline constexpr std::string_view NotationButton = "&Notation";
inline constexpr std::string_view SendButton = "&Send";
inline constexpr std::string_view CancelButton = "Cancel";
inline constexpr std::string_view CloseButton = "Close";
// The server's check box has two spaces before the bracket, the client's one.
inline constexpr std::string_view ImportantServer = "&Important  (will beep and flash)";
inline constexpr std::string_view ImportantClient = "&Important (will beep and flash)";
inline constexpr std::string_view EnterRecipient = "Please enter the recipient.";
inline constexpr std::string_view EnterMessage = "Please enter the message to send.";

inline constexpr std::string_view RecipientNotationTitle = "Recipient Notation";
inline constexpr std::string_view NotationGeneralFrame = "General";
inline constexpr std::string_view NotationSpecialFrame = "Special";
inline constexpr std::string_view NotationGeneral =
    "username1;username2;...\n\n    Send a message to username1, username2,...\n"
    "    (Use semicolon for multiple recipients.)\n\n@group name\n\n"
    "    Send a message to all members of a group.\n"
    "    (Groups are identified by '@' character.)";
inline constexpr std::string_view NotationSpecialServer =
    "@<all>\n\n    Send a message to all users.";
inline constexpr std::string_view NotationSpecialClient =
    "admin\n\n    Send a message to ZELT server manager.\n\n@<all>\n\n"
    "    Send a message to all users.";

inline constexpr std::string_view LegendsTitle = "Console Window Legends";
inline constexpr std::string_view LegendFunction =
    "This line has a function to execute.\nDouble-click or right click to execute a function.";
inline constexpr std::string_view LegendImportant = "This line contains an important message.";
inline constexpr std::string_view LegendError = "This line indicates an error.";

inline constexpr std::string_view ExecuteItem = "Execute";
// The status-bar prompt of the console's "Execute" item differs between the programs.
inline constexpr std::string_view ExecutePromptServer = "Execute a related function";
inline constexpr std::string_view ExecutePromptClient = "Execute related function";
inline constexpr std::string_view OpenFailed = "Failed to open the file.";

// The programs' names, which message boxes carry as their title.
inline constexpr std::string_view ServerName = "ZELT server";
inline constexpr std::string_view ClientName = "ZELT client";

// The find bar over the console (Ctrl+F); neither program uses the mnemonics F, N and P.
inline constexpr std::string_view FindLabel = "&Find:";
inline constexpr std::string_view FindNext = "&Next";
inline constexpr std::string_view FindPrevious = "&Previous";
inline constexpr std::string_view FindNotFound = "Not found";
inline constexpr std::string_view FindClose = "Close the find bar (Escape)";

}  // namespace text

inline std::string_view importantText(Program program) {
    return program == Program::Server ? text::ImportantServer : text::ImportantClient;
}
inline std::string_view executePrompt(Program program) {
    return program == Program::Server ? text::ExecutePromptServer : text::ExecutePromptClient;
}
inline std::string_view programName(Program program) {
    return program == Program::Server ? text::ServerName : text::ClientName;
}
inline std::string_view notationSpecial(Program program) {
    return program == Program::Server ? text::NotationSpecialServer : text::NotationSpecialClient;
}

}  // namespace zelt::ui
