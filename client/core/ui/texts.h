#pragma once

#include <string_view>

#include "common/ui/shared_windows.h"

// Every sentence the client shows, defined once: the console's lines first, then the windows'
// titles, labels, buttons and columns. Lines that carry a value are put together from these
// pieces where they are printed. The menus, the toolbar and their prompts are in commands.h.
namespace zelt::client::text {

// Connection and log-in.
inline constexpr std::string_view AlreadyConnected = "You already connected.";
inline constexpr std::string_view ConnectingInProcess = "Connecting in process...";
inline constexpr std::string_view Connecting = "Connecting...";
inline constexpr std::string_view SocketFailed = "Windows socket failed (socket).";
inline constexpr std::string_view ConnectFailed =
    "Failed to connect to the ZELT server. Please check the IP address, port and server status.";
inline constexpr std::string_view Connected = "Connected to the ZELT server.";
inline constexpr std::string_view AccessDenied = "Access denied.";
inline constexpr std::string_view LoggedInAs = "You are logged in as a user";
inline constexpr std::string_view ServerNotResponding = "Server not responding.";
inline constexpr std::string_view Disconnected = "Disconnected from the ZELT server.";
inline constexpr std::string_view NotConnected = "You are not connected yet.";
inline constexpr std::string_view ConnectingCancelled = "Connecting cancelled.";
inline constexpr std::string_view NotSafeToDisconnect = "You are not safe to disconnect.";
inline constexpr std::string_view DisconnectNow = "Disconnect now.";
inline constexpr std::string_view CloseClient = "Close ZELT client.";
inline constexpr std::string_view ConnectionSettingsNotSaved =
    "Failed to save the connection settings";

// A second client started on the same data directory.
inline constexpr std::string_view DataDirectory = "The data directory";
inline constexpr std::string_view InUseByAnotherClient = "is in use by another ZELT client";
inline constexpr std::string_view Process = "process";

// The Log-in dialog's checks.
inline constexpr std::string_view EnterAddress = "Please enter the valid ZELT server IP adddress.";
inline constexpr std::string_view EnterPort = "Please enter the valid port number.";
inline constexpr std::string_view EnterUserName = "Please enter the username.";
inline constexpr std::string_view EnterPassword = "Please enter the password.";

// The Account Properties dialog's checks and the answer.
inline constexpr std::string_view EnterCurrentPassword = "Please enter the current password.";
inline constexpr std::string_view EnterNewPassword = "Please enter the new password.";
inline constexpr std::string_view RetypeNewPassword = "Please retype the new password.";
inline constexpr std::string_view PasswordMismatch = "New password does not match with retyped.";
inline constexpr std::string_view PasswordChanged = "Password changed.";
inline constexpr std::string_view PasswordNotChanged = "Password not changed.";

// Groups, file lists and file properties.
inline constexpr std::string_view YourGroupsHeader = "- - - Your Groups - - -";
inline constexpr std::string_view NoGroups = "You are not joined in any group.";
inline constexpr std::string_view RequestingFileList = "Requesting file list of group";
inline constexpr std::string_view Received = "Received.";
inline constexpr std::string_view NoFileDetails = "No file details.";

// Check-out, transfers and the administrator's void.
inline constexpr std::string_view CheckOutFailed = "check-out failed:";
inline constexpr std::string_view CheckedOut = "checked-out.";
inline constexpr std::string_view NoOriginalOnServer =
    "Failed to get the original file on the server.";
inline constexpr std::string_view TransferCancelled = "File transfer cancelled.";
inline constexpr std::string_view TransferBusy = "A file transfer is in progress.";
inline constexpr std::string_view ServerCouldNotSend = "Server couldn't send the file";
inline constexpr std::string_view NoOriginalName = "Failed to get the original file name.";
inline constexpr std::string_view TempFileFailed = "Failed to create/open a temporary file.";
inline constexpr std::string_view SaveFailed = "Failed to save a file.";
inline constexpr std::string_view FileReceived = "received.";
inline constexpr std::string_view FetchFailed = "Failed to fetch the file";
inline constexpr std::string_view FetchedNotSaved = "Failed to save the fetched file";
inline constexpr std::string_view YourCheckOutFor = "Your check-out for";
inline constexpr std::string_view VoidedByAdministrator = "is voided by administrator.";
inline constexpr std::string_view WorkingCopyKeptAs = "Your working copy is kept as";
inline constexpr std::string_view CheckOutTableNotSaved = "Failed to save the check-out table";

// Working files, check-in and void.
inline constexpr std::string_view NoFileCheckedOut = "No file currently checked-out.";
inline constexpr std::string_view NotFetchedYet = "The selected file is not fetched yet.";
inline constexpr std::string_view WorkingCopyMissing = "file not found or opening error.";
inline constexpr std::string_view ServerFailedToSave =
    "Server failed to save the transferred file:";
inline constexpr std::string_view NoComment = "No comment.";
inline constexpr std::string_view CheckInFailed = "check-in failed.";
inline constexpr std::string_view CheckedIn = "checked-in.";
inline constexpr std::string_view ConfirmVoid = "Are you sure you want to void check-out ?";
inline constexpr std::string_view CheckOutVoided = "check-out voided.";
inline constexpr std::string_view Fetched = "Yes";

// Messages and the notice.
inline constexpr std::string_view MessageSentTo = "Message sent to";
inline constexpr std::string_view Users = "user(s).";
inline constexpr std::string_view NoticeHeader = "- - - Server Notice - - -";

// Status displays.
inline constexpr std::string_view StatusHeader = "- - - Status - - -";
inline constexpr std::string_view ConnectedAs = "You are currently connected as a user";
inline constexpr std::string_view YouCheckedOut = "You currently checked-out";
inline constexpr std::string_view Files = "file(s).";
inline constexpr std::string_view ManualHeader = "- - - On-line manual - - -";
// The users' guide the package installs.
inline constexpr std::string_view ManualAddress =
    "file:///usr/share/doc/zelt-client/guide/index.html";
inline constexpr std::string_view VersionText = "1.6.1";

// --- the windows ---
// A '&' marks the letter that chooses a control with Alt. Column widths are in pixels at 100%
// scale: the least a column is given.

// The main window.
namespace frame {
inline constexpr std::string_view Title = "ZELT client - Holmvik Lab";
// The program's name, as message boxes and questions are titled.
inline constexpr std::string_view ProgramName = "ZELT client";
inline constexpr int ToolbarButtonWidth = 52;
inline constexpr int ToolbarButtonHeight = 58;
}  // namespace frame

// Buttons that several windows share.
namespace buttons {
inline constexpr std::string_view Ok = "OK";
inline constexpr std::string_view Cancel = ui::text::CancelButton;
inline constexpr std::string_view Close = "&Close";
inline constexpr std::string_view Refresh = "&Refresh";
}  // namespace buttons

namespace login {
inline constexpr std::string_view Title = "Log-in";
inline constexpr std::string_view AccountGroup = "Account";
inline constexpr std::string_view UserName = "&Username:";
inline constexpr std::string_view Password = "&Password:";
inline constexpr std::string_view CommunicationGroup = "Communication";
inline constexpr std::string_view Address = "ZELT server &IP address:";
inline constexpr std::string_view Port = "Port &number:";
}  // namespace login

namespace available {
inline constexpr std::string_view Title = "Available Files";
inline constexpr std::string_view FileColumn = "File";
inline constexpr int FileColumnWidth = 323;
inline constexpr std::string_view HolderColumn = "Current user";
inline constexpr int HolderColumnWidth = 95;
// When the current user checked the file out.
inline constexpr std::string_view SinceColumn = "Since";
inline constexpr int SinceColumnWidth = 130;
inline constexpr int IconWidth = 20;
inline constexpr std::string_view Properties = "&Properties";
inline constexpr std::string_view CheckOut = "Check-&out";
}  // namespace available

namespace properties {
inline constexpr std::string_view Title = "File Properties";
inline constexpr std::string_view FileGroup = "File information";
inline constexpr std::string_view IncludedIn = "This file is included in";
inline constexpr std::string_view CheckedOutBy = "Currently checked-out by";
inline constexpr std::string_view At = "at ";
inline constexpr std::string_view SendMessage = "&Send message";
inline constexpr std::string_view LastUpdateGroup = "Last update information";
inline constexpr std::string_view FetchReadOnly = "&Fetch File (read-only)";
}  // namespace properties

namespace transfer {
inline constexpr std::string_view Title = "File Transfer";
inline constexpr std::string_view Cancel = "&Cancel";
// Beside the progress bar: how fast the bytes go and how long the rest will take.
inline constexpr std::string_view Rate = "Rate:";
inline constexpr std::string_view TimeLeft = "Time left:";
inline constexpr std::string_view Bytes = "B/s";
inline constexpr std::string_view KiloBytes = "KB/s";
inline constexpr std::string_view MegaBytes = "MB/s";
inline constexpr std::string_view Seconds = "s";
inline constexpr std::string_view Minutes = "min";
inline constexpr std::string_view Hours = "h";
}  // namespace transfer

namespace working {
inline constexpr std::string_view Title = "Working Files (Checked-out)";
inline constexpr std::string_view Label = "Checked-out files:";
inline constexpr std::string_view FileColumn = "File";
inline constexpr int FileColumnWidth = 530;
inline constexpr std::string_view FetchedColumn = "Fetched ?";
inline constexpr int FetchedColumnWidth = 80;
inline constexpr std::string_view Fetch = "Fe&tch File";
inline constexpr std::string_view Open = "&Open File";
inline constexpr std::string_view OpenFolder = "Open &Folder";
inline constexpr std::string_view CheckIn = "Check-&In";
inline constexpr std::string_view Void = "&Void Check-Out";
}  // namespace working

namespace comment {
inline constexpr std::string_view Title = "Comment";
inline constexpr std::string_view OriginalFile = "Original file:";
inline constexpr std::string_view Comment = "Your &comment for this update:";
inline constexpr std::string_view ApplyToRest = "&Apply this comment to the rest of files";
}  // namespace comment

namespace account {
inline constexpr std::string_view Title = "Account Properties";
inline constexpr std::string_view PasswordGroup = "Change Password";
inline constexpr std::string_view Current = "&Current Password:";
inline constexpr std::string_view New = "&New Password:";
inline constexpr std::string_view Retype = "&Retype:";
}  // namespace account

}  // namespace zelt::client::text

// The client's function tags.
namespace zelt::client::tag {
inline constexpr std::string_view OpenWeb = "OPENWEB";
inline constexpr std::string_view OpenMail = "OPENMAIL";
inline constexpr std::string_view ShowCheckOuts = "DSPCHKOUT";
inline constexpr std::string_view LogoutNow = "LOGOUTNOW";
inline constexpr std::string_view GroupFiles = "GRPFLIST";
inline constexpr std::string_view CloseClient = "CLOSECLI";
inline constexpr std::string_view ReplyMessage = "REPLYMSG";
}  // namespace zelt::client::tag
