#pragma once

#include <string_view>

// The sentences zelt says beyond those of the client core (client/core/ui/texts.h), which it
// uses wherever the window would say the same.
namespace zelt::cli::text {

inline constexpr std::string_view Interrupted = "Interrupted.";
inline constexpr std::string_view TryHelp = "Try 'zelt --help'.";
inline constexpr std::string_view NoCommand = "Which command? Try 'zelt --help'.";

// Input refused before anything is sent.
inline constexpr std::string_view NeedsComment = "checkin needs its comment: -m TEXT or -F FILE.";
inline constexpr std::string_view CommentTooLong =
    "The comment is longer than 1024 characters, counting one for each line end.";
inline constexpr std::string_view CommentUnreadable = "The comment file cannot be read:";
inline constexpr std::string_view RecipientsTooLong =
    "The recipients are longer than 512 characters.";
inline constexpr std::string_view MessageTooLong = "The message is longer than 1024 characters.";
inline constexpr std::string_view VoidNeedsYes =
    "void deletes the working copies: confirm with --yes, or run it on a terminal.";
inline constexpr std::string_view JsonOnStandardOutput =
    "--json and -o - would both write to standard output.";
inline constexpr std::string_view NegativeTime = "--for takes a number of seconds, 0 or more.";

// Refusals that the client's own records make.
inline constexpr std::string_view NotCheckedOut = "is not checked out by you.";
inline constexpr std::string_view NotFetched = "is not fetched yet.";
inline constexpr std::string_view NotCheckedIn = "was not checked in.";
inline constexpr std::string_view NotVoidedFile = "was not voided.";
inline constexpr std::string_view NotViewed = "was not copied.";
inline constexpr std::string_view TableFull = "cannot be checked out: the check-out table is full.";
inline constexpr std::string_view NotMember = "You are not a member of group";
inline constexpr std::string_view NotInGroup = "is not a file of group";
inline constexpr std::string_view NotVoided = "Nothing was voided.";
inline constexpr std::string_view NotSent = "was not sent:";
inline constexpr std::string_view NoCount =
    "The message was sent; the server did not say how many users it reached.";
inline constexpr std::string_view CopyNotWritten = "The copy could not be written to";

// Prompts.
inline constexpr std::string_view PasswordPrompt = "Password for";
inline constexpr std::string_view NewPasswordPrompt = "New password: ";
inline constexpr std::string_view RetypePrompt = "Retype the new password: ";

// status.
inline constexpr std::string_view ServerLabel = "Server:";
inline constexpr std::string_view UserLabel = "User:";
inline constexpr std::string_view DataDirectoryLabel = "Data directory:";
inline constexpr std::string_view UserFolderLabel = "User folder:";
inline constexpr std::string_view NotSet = "not set";
inline constexpr std::string_view Requested = "requested";
inline constexpr std::string_view CheckedOut = "checked-out";
inline constexpr std::string_view Fetched = "fetched";

// watch.
inline constexpr std::string_view MessageFrom = "message from";
inline constexpr std::string_view ImportantMessageFrom = "important message from";
inline constexpr std::string_view Broadcast = "broadcast:";
inline constexpr std::string_view Voided = "voided:";
inline constexpr std::string_view KeptAs = "kept as";

}  // namespace zelt::cli::text
