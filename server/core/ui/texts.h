#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>

// Every text the server shows, defined once: console lines, message boxes, the function tags of
// its console lines, and the words of its windows (titles, labels, buttons, menus, prompts). The
// window, the headless program and the admin command line all read them from here. Patterns
// with a value are put together with format(); the texts the two programs share (Send Message,
// Recipient Notation, Legends) are in common/ui/shared_windows.h.
namespace zelt::server {

namespace tag {
inline constexpr std::string_view CloseServer = "CLOSESRV";
inline constexpr std::string_view OpenWeb = "OPENWEB";
inline constexpr std::string_view OpenMail = "OPENMAIL";
inline constexpr std::string_view ShutDownNow = "SHUTDOWN";
inline constexpr std::string_view CancelShutdown = "CNCLSHTDN";
inline constexpr std::string_view ScheduleShutdown = "SCHESHTDN";
inline constexpr std::string_view CreateAccount = "CRTACT";
inline constexpr std::string_view ListAccounts = "DSPACT";
inline constexpr std::string_view EditAccount = "EDTACT";
inline constexpr std::string_view SearchAccounts = "SRCHAC";
inline constexpr std::string_view ListLoggedIn = "DSPLOGIN";
inline constexpr std::string_view ListCheckedOut = "DSPCHKOUT";
inline constexpr std::string_view ChangePort = "CHGPORT";
inline constexpr std::string_view CreateGroup = "CRTGRP";
inline constexpr std::string_view ListGroups = "DSPGRP";
inline constexpr std::string_view EditGroup = "EDTGRP";
inline constexpr std::string_view FileProperties = "FILEPROP";
inline constexpr std::string_view ReplyMessage = "REPLYMSG";
}  // namespace tag

namespace text {

// --- Start-up, connections and the end of communication ----------------------------------
inline constexpr std::string_view GroupAllocationFailed =
    "Memory allocation failed for group data. Cannot proceed the system.";
inline constexpr std::string_view AccountAllocationFailed =
    "Memory allocation failed for account data. Cannot proceed the system.";
inline constexpr std::string_view SocketFailedSocket = "Windows socket failed (socket).";
inline constexpr std::string_view SocketFailedBind = "Windows socket failed (bind).";
inline constexpr std::string_view SocketFailedGetSockName = "Windows socket failed (getsockname).";
inline constexpr std::string_view SocketFailedSelect = "Windows socket failed (select).";
inline constexpr std::string_view SocketFailedListen = "Windows socket failed (listen).";
inline constexpr char ServerReady[] = "Server is ready at %s, %d TCP/IP port.";
inline constexpr std::string_view ConnectionFull = "User connection full.";
// The end of a time of refusals, the first of which said ConnectionFull.
inline constexpr char ConnectionsRefused[] =
    "%d user connection(s) were refused while the user connections were full.";
inline constexpr char AcceptFailed[] = "Accepting user connection failed: %d";
// The end of a time of failures, the first of which said AcceptFailed.
inline constexpr char AcceptFailures[] =
    "Accepting user connections failed %d time(s) before it worked again.";
// The system lets this program open fewer sockets and files than a full connection table needs.
inline constexpr char ConnectionsLimited[] =
    "User connections are limited to %d: the system lets the server open only %d files and "
    "sockets.";
// A client that does not read what the server sends it would make the server hold it all.
inline constexpr char UserNotReading[] =
    "User '%s' disconnected: it left what the server sent it unread.";
inline constexpr char ConnectionNotReading[] =
    "The connection from %s closed: it left what the server sent it unread.";
inline constexpr std::string_view CommunicationClosed = "Communication closed.";
inline constexpr std::string_view CloseServer = "Close ZELT server.";
// What a command that needs the communication says once it is closed (or never opened).
inline constexpr std::string_view CommunicationIsClosed = "Communication is closed.";
// Comm.zelt names a port nobody can reach (0 would have the system pick one at random).
inline constexpr char StoredPortInvalid[] =
    "Comm.zelt holds the port %d, which clients cannot use; the default port %d is used instead.";
// A second server on the same data directory would empty the first one's Temp folder and write
// its stale tables over the first one's when it ends; it refuses to start instead.
inline constexpr char DataDirectoryInUse[] =
    "The data directory %s is in use by another ZELT server; this one does not start.";
inline constexpr char DataDirectoryInUseBy[] =
    "The data directory %s is in use by another ZELT server (process %d); this one does not "
    "start.";
inline constexpr char DataDirectoryUnusable[] =
    "The data directory %s cannot be created or locked; the ZELT server does not start.";

// What the start-up found left over by a run that was killed or lost its power: the half-written
// copies it removed, in one line of the parts that apply, and version files that lost half of
// their pair, which it leaves for the administrator to look at.
inline constexpr char CleanedUp[] = "Cleaned up after an interrupted run: %s.";
inline constexpr char CopiesBesideMembers[] = "%d half-written file(s) beside member files (%s)";
inline constexpr char CopiesInVersionFolders[] = "%d in version folders (%s)";
inline constexpr char HalfWrittenTables[] = "%d half-written table file(s)";
inline constexpr char TempEntries[] = "%d leftover(s) in Temp";
inline constexpr char DetailsWithoutVersion[] =
    "%d version detail file(s) have no version file: %s.";
inline constexpr char VersionsWithoutDetails[] = "%d version(s) have no details: %s.";
// Two member paths whose version folder names coincide: each file shows the other's versions
// and a check-in of one prunes the other's.
inline constexpr char SharedVersionFolder[] =
    "Member files '%s' and '%s' share the version folder '%s'; their versions are mixed.";
// Accounts.zelt holds the passwords; a copy made by hand or restored from a backup may carry a
// mode that lets others read it.
inline constexpr std::string_view AccountsTightened =
    "Accounts.zelt was readable by other users; it is now readable by its owner only.";
// One line when guessing at a name or from an address begins to be slowed down.
inline constexpr char LogInsSlowedForUser[] =
    "%d failed log-ins for user '%s'; further log-ins for that user are answered slower.";
inline constexpr char LogInsSlowedFromAddress[] =
    "%d failed log-ins from %s; further log-ins from there are answered slower.";

// --- Saving ---------------------------------------------------------------------------------
inline constexpr std::string_view AccountsNotSaved =
    "Failed to save the account table (Accounts.zelt).";
inline constexpr std::string_view GroupsNotSaved = "Failed to save the group table (Groups.zelt).";
inline constexpr std::string_view PortNotSaved = "Failed to save the port (Comm.zelt).";
inline constexpr std::string_view NoticeNotSaved = "Failed to save the notice (Notice.zelt).";
inline constexpr std::string_view BackupNotSaved =
    "Failed to save the backup properties (Backup.zelt).";

// --- Answers to clients ---------------------------------------------------------------------
inline constexpr std::string_view UserNotFound = "User not found.";
inline constexpr std::string_view PasswordNotMatch = "Password not match.";
inline constexpr std::string_view AccountDisabled = "Account is disabled by administrator.";
inline constexpr std::string_view PasswordNotSaved = "The server could not save the new password.";
inline constexpr char AlreadyCheckedOut[] = "Already checked-out by '%s' at %s.";
inline constexpr std::string_view FileNotFound = "File not found.";
inline constexpr std::string_view CheckOutNotSaved = "The server could not save the check-out.";
inline constexpr std::string_view NotCheckedOutByYou = "File is not checked-out by you.";
inline constexpr std::string_view OriginalBackupFailed =
    "Failed to create a backup of the original file.";
inline constexpr std::string_view OverwriteFailed =
    "Failed to overwrite the latest file with new file.";
inline constexpr std::string_view NewBackupFailed = "Failed to create a backup of the new file.";
// A check-in replaces only a plain file (through its symbolic link, if it has one); for anything
// else the client is told what the path is and that it was left alone.
inline constexpr std::string_view LatestIsFolder =
    "The latest file is a folder, not a regular file; nothing was written.";
inline constexpr std::string_view LatestIsFifo =
    "The latest file is a FIFO, not a regular file; nothing was written.";
inline constexpr std::string_view LatestIsSocket =
    "The latest file is a socket, not a regular file; nothing was written.";
inline constexpr std::string_view LatestIsDevice =
    "The latest file is a device, not a regular file; nothing was written.";
inline constexpr std::string_view LatestIsBrokenLink =
    "The latest file is a link to nothing; nothing was written.";
// The comments of the versions the server keeps on its own.
inline constexpr std::string_view OriginalComment = "This is a backup file of the original file.";
inline constexpr std::string_view ReplacedComment =
    "This file was the latest version but the administrator replaced it with other version.";

// --- Messages -------------------------------------------------------------------------------
inline constexpr char ReceivedMessage[] = "<%s> \"%s\"";
inline constexpr char MessageSent[] = "Message sent to %d user(s).";

// --- Status displays and listings -----------------------------------------------------------
inline constexpr std::string_view GroupInformation = "- - - Group information - - -";
inline constexpr char GroupCount[] = "You have %d group.  enabled(%d) disabled(%d)";
inline constexpr std::string_view NoGroup = "You have no group.";
inline constexpr std::string_view CreateGroupLine = "Create a new group";
inline constexpr std::string_view DisplayGroupLine = "Display group";
inline constexpr std::string_view AccountInformation = "- - - Account information - - -";
inline constexpr char AccountCount[] = "You have %d user account.  enabled(%d) disabled(%d)";
inline constexpr std::string_view NoAccount = "You have no user account.";
inline constexpr std::string_view CreateAccountLine = "Create a new account";
inline constexpr std::string_view DisplayAccountLine = "Display account";
inline constexpr std::string_view SearchAccountLine = "Search account";
inline constexpr std::string_view SessionInformation = "- - - Session information - - -";
inline constexpr char UsersConnected[] = "%d user(s) currently connected.";
inline constexpr std::string_view NoUserConnected = "No user currently connected.";
inline constexpr std::string_view DisplayConnectedUsers = "Display connected users.";
inline constexpr char FilesCheckedOut[] = "%d file(s) currently checked-out.";
inline constexpr std::string_view NoFileCheckedOut = "No file currently checked-out.";
inline constexpr std::string_view DisplayCheckedOutFiles = "Display checked-out files.";
inline constexpr std::string_view ContactInformation = "- - - Contact information - - -";
inline constexpr std::string_view OnlineManual = "- - - On-line manual - - -";
inline constexpr std::string_view LoggedInUsers = "Logged in users:";
inline constexpr std::string_view CheckedOutFiles = "Checked-out files:";
// A FILEPROP line: the group's name, this, and the file's path.
inline constexpr std::string_view GroupPathSeparator = "::";
inline constexpr std::string_view AccountList = "Account list:";
inline constexpr std::string_view GroupList = "Group list:";
inline constexpr std::string_view SearchResult = "- - - Search result - - -";
inline constexpr char AccountsFound[] = "%d %s";
inline constexpr std::string_view OneAccountFound = "account found.";
inline constexpr std::string_view ManyAccountsFound = "accounts found.";

// --- Shut-down, port, notice and backup -----------------------------------------------------
inline constexpr char ShutdownIn[] = "Shut down will be processed in %d minute(s).";
inline constexpr std::string_view CancelShutdownLine = "Cancel shut down schedule.";
inline constexpr std::string_view ShutDownNowLine = "Shut down now.";
inline constexpr std::string_view ScheduleShutdownLine = "Setup a schedule to shut down.";
inline constexpr char AccountsLoggedIn[] = "%d account(s) currently logged in.";
inline constexpr std::string_view SafeToShutDown = "You are safe to shut down.";
inline constexpr char ServerWillShutDown[] = "Server will be shut down in %d minute(s).";
inline constexpr std::string_view ShutdownCanceled = "Shut down canceled.";
inline constexpr std::string_view ShutdownCanceledAlready = "Shut down canceled already.";
inline constexpr std::string_view ChangePortLine = "Change communication port.";
inline constexpr std::string_view PortChanged =
    "Port changed. Please shut down and restart the server to apply.";
inline constexpr std::string_view PortNotChanged = "Port not changed.";
inline constexpr std::string_view InvalidMinutes = "Please enter the valid minute value.";
inline constexpr std::string_view InvalidPort = "Please enter the valid port number.";
inline constexpr std::string_view NoticeChanged = "Notice properties changed.";
inline constexpr std::string_view BackupChanged = "Backup properties changed.";

// --- Accounts -------------------------------------------------------------------------------
inline constexpr char UserCreatedEnabled[] = "User '%s' created, enabled.";
inline constexpr char UserCreatedDisabled[] = "User '%s' created, disabled.";
inline constexpr char UserUpdated[] = "User '%s' updated.";
inline constexpr char UserUpdatedEnabled[] = "User '%s' updated, enabled.";
inline constexpr char UserUpdatedDisabled[] = "User '%s' updated, disabled.";
inline constexpr char UserUpdatedDisconnectedDisabled[] =
    "User '%s' updated, disconnected, disabled.";
inline constexpr char UserDisconnected[] = "User '%s' disconnected.";
inline constexpr char UserRemoved[] = "User '%s' removed.";
inline constexpr char UserDismissed[] = "User '%s' is dismissed from group '%s'.";
inline constexpr std::string_view AccountFull =
    "Account full. You already exceed the account capacity.";
inline constexpr std::string_view EnterUserName = "Please enter the username.";
inline constexpr std::string_view WhiteSpaceInUserName =
    "You can't use white space characters in the username.";
inline constexpr char UserExists[] = "User '%s' is already exist.";
inline constexpr char UserReserved[] = "User '%s' is reserved for administration.";
inline constexpr std::string_view UserNameCharacters =
    "You can't use the following characters for user name:\n\n\\ / : * ? \" < > | ;";
inline constexpr std::string_view EnterPassword = "Please enter the password.";
inline constexpr std::string_view PasswordTooLong = "Password is too long.";
inline constexpr std::string_view PasswordMismatch = "Password does not match with re-type.";

// --- Groups and member files ----------------------------------------------------------------
inline constexpr char GroupCreatedEnabled[] = "Group '%s' created, enabled.";
inline constexpr char GroupCreatedDisabled[] = "Group '%s' created, disabled.";
inline constexpr char GroupChangedEnabled[] = "Group '%s' changed, enabled.";
inline constexpr char GroupChangedDisabled[] = "Group '%s' changed, disabled.";
inline constexpr char GroupRemoved[] = "Group '%s' removed.";
inline constexpr char GroupBusy[] =
    "%d member user(s) connected, %d member file(s) checked out currently.";
inline constexpr std::string_view GroupNotSafe =
    "You are not safe to edit this group. To edit safely, shut down server first.";
inline constexpr std::string_view GroupFull = "Group full. You already exceed the group capacity.";
inline constexpr std::string_view EnterGroupName = "Please enter the group name.";
inline constexpr std::string_view GroupNameTooLong = "Group name is too long.";
inline constexpr std::string_view GroupNameCharacters =
    "You can't use the following characters for group name:\n\n\\ / : * ? \" < > | ; @";
inline constexpr char GroupExists[] = "Group '%s' is already exist.";
inline constexpr char UserCapacity[] = "Maximum capacity of member user exceeded (Max: %d).";
inline constexpr char FileCapacity[] = "Maximum capacity of member file exceeded (Max: %d).";
inline constexpr std::string_view MemberPathTooLong = "File path is too long.";
inline constexpr char VersionFolderTaken[] =
    "The file '%s' cannot be added: its version folder '%s' is already used by '%s'.";
// "Group name is too long. (Max: 30)", "File path is too long. (Max: 255)".
inline constexpr char WithMax[] = "%s (Max: %d)";
inline constexpr std::string_view NoFileDetails = "No file details.";
inline constexpr std::string_view BackupFailed = "Failed to make an original backup.";
inline constexpr std::string_view ReplaceFailed =
    "Failed to replace the latest version file with the selected backup file.";
inline constexpr std::string_view Replaced =
    "Latest version file has replaced with the selected backup file.";
// A copy failure in a message box: the text and the system's error number.
inline constexpr char WithError[] = "%s (%d)";

// --- The main window ------------------------------------------------------------------------
inline constexpr std::string_view MainWindowTitle = "ZELT server - Holmvik Lab";
inline constexpr std::string_view ConsoleColumn = "Console";
inline constexpr std::string_view VersionText = "ZELT server 1.6.1";
// The administrator's guide the package installs, and where it says whom to ask.
inline constexpr std::string_view ManualAddress =
    "file:///usr/share/doc/zelt-server/guide/index.html";
inline constexpr std::string_view SupportAddress =
    "file:///usr/share/doc/zelt-server/guide/index.html#help";
// Whom the Contact display offers to write to when the machine's settings name nobody: the
// machine's own administrator.
inline constexpr std::string_view SupportMail = "root@localhost";
inline constexpr std::string_view ServerMenu = "&Server";
inline constexpr std::string_view StatusMenu = "Stat&us";
inline constexpr std::string_view MessageMenu = "&Message";
inline constexpr std::string_view HelpMenu = "&Help";
inline constexpr std::string_view CommunicationPropertiesItem = "&Communication Properties";
inline constexpr std::string_view NoticePropertiesItem = "&Notice Properties";
inline constexpr std::string_view BackupPropertiesItem = "&Backup Properties";
inline constexpr std::string_view ShutDownItem = "Shut &Down";
inline constexpr std::string_view GroupStatusItem = "&Group\tCtrl+G";
inline constexpr std::string_view AccountStatusItem = "Acco&unt\tCtrl+U";
inline constexpr std::string_view SessionStatusItem = "&Session\tCtrl+S";
inline constexpr std::string_view AllStatusItem = "&All\tCtrl+A";
inline constexpr std::string_view NewMessageItem = "&New\tCtrl+M";
inline constexpr std::string_view LegendsItem = "Le&gends";
inline constexpr std::string_view ManualItem = "&Manual";
inline constexpr std::string_view ContactItem = "&Contact";
inline constexpr std::string_view ExecuteItem = "Execute";
// Status-bar prompts; each is also its button's tooltip.
inline constexpr std::string_view CommunicationPropertiesPrompt = "Communication Properties";
inline constexpr std::string_view NoticePropertiesPrompt = "Edit log-in notice message";
inline constexpr std::string_view BackupPropertiesPrompt = "Backup Properties";
inline constexpr std::string_view ShutDownPrompt = "Shut down ZELT server";
inline constexpr std::string_view GroupStatusPrompt = "Display group status";
inline constexpr std::string_view AccountStatusPrompt = "Display account status";
inline constexpr std::string_view SessionStatusPrompt = "Display session status";
inline constexpr std::string_view AllStatusPrompt = "Display all status";
inline constexpr std::string_view NewMessagePrompt = "Send new message";
inline constexpr std::string_view LegendsPrompt = "Display legends";
inline constexpr std::string_view ManualPrompt = "Display manual";
inline constexpr std::string_view ContactPrompt = "Contact to Holmvik Lab";
inline constexpr std::string_view ExecutePrompt = "Execute a related function";
// Toolbar captions.
inline constexpr std::string_view GroupButton = "Group";
inline constexpr std::string_view AccountButton = "Account";
inline constexpr std::string_view SessionButton = "Session";
inline constexpr std::string_view MessageButton = "Message";
inline constexpr std::string_view AllButton = "All";

// The program without --headless where no display can be opened.
inline constexpr std::string_view NoDisplay =
    "zelt-server: no display to open the window on; run zelt-server --headless instead.";

// --- Dialogs --------------------------------------------------------------------------------
inline constexpr std::string_view OkButton = "OK";
inline constexpr std::string_view CancelButton = "Cancel";

inline constexpr std::string_view AccountPropertiesTitle = "Account Properties";
inline constexpr std::string_view LogInInformationFrame = "Log in Information";
inline constexpr std::string_view UserInformationFrame = "User Information (optional)";
inline constexpr std::string_view AccountControlFrame = "Account Control";
inline constexpr std::string_view UserNameLabel = "&Username:";
inline constexpr std::string_view PasswordLabel = "&Password:";
inline constexpr std::string_view RetypeLabel = "&Re-type:";
inline constexpr std::string_view NameLabel = "&Name:";
inline constexpr std::string_view DeptLabel = "&Dept.:";
inline constexpr std::string_view EmailLabel = "&Email:";
inline constexpr std::string_view PhoneLabel = "P&hone:";
inline constexpr std::string_view MiscLabel = "M&isc.:";
inline constexpr std::string_view DisableAccountBox = "Di&sable this account";
inline constexpr std::string_view RemoveAccountBox = "Re&move this account";
inline constexpr std::string_view DisconnectBox = "Dis&connect";

inline constexpr std::string_view SearchAccountTitle = "Search Account";
inline constexpr std::string_view SearchKeywordsLabel = "&Search keywords:";

inline constexpr std::string_view UserListTitle = "User List";
inline constexpr std::string_view UserNameColumn = "Username";
inline constexpr std::string_view NameColumn = "Name";
inline constexpr std::string_view DeptColumn = "Dept.";
inline constexpr std::string_view AddUsersButton = "&Add";
inline constexpr std::string_view CreateUserButton = "&Create";

inline constexpr std::string_view ShutdownScheduleTitle = "Shut Down Schedule";
inline constexpr std::string_view ShutdownInLabel = "Shut down server &in ";
inline constexpr std::string_view MinutesLabel = "minute(s)";
inline constexpr std::string_view MinuteChoices[] = {"1",  "2",  "3",  "5", "10",
                                                     "20", "30", "50", "60"};
inline constexpr std::string_view DefaultMinutes = "5";

inline constexpr std::string_view ChangePortTitle = "Change Communication Port";
inline constexpr std::string_view PortLabel = "&Port:";
inline constexpr std::string_view PortExplanation =
    "If you change the port number, you have to restart the ZELT server to apply.\n\nNew port "
    "number must be applied to the ZELT client in the login screen.";

inline constexpr std::string_view BackupPropertiesTitle = "Backup Properties";
inline constexpr std::string_view RetainLastLabel = "&Retain last";
inline constexpr std::string_view BackupsLabel = "backups for each files.";

inline constexpr std::string_view NoticePropertiesTitle = "Notice Properties";
inline constexpr std::string_view SendNoticeBox = "&Send notice when a user connected successfully";

inline constexpr std::string_view GroupPropertiesTitle = "Group Properties";
inline constexpr std::string_view GroupNameLabel = "&Group name:";
inline constexpr char UsersFrame[] = "Users (%d/%d)";
inline constexpr char FilesFrame[] = "Files (%d/%d)";
inline constexpr std::string_view AddUserButton = "&Add";
inline constexpr std::string_view RemoveUsersButton = "R&emove";
inline constexpr std::string_view AddFileButton = "A&dd";
inline constexpr std::string_view RemoveFilesButton = "Re&move";
inline constexpr std::string_view FilePropertiesButton = "&Properties";
inline constexpr std::string_view DisableGroupBox = "D&isable this group";
inline constexpr std::string_view RemoveGroupBox = "&Remove this group";
inline constexpr std::string_view SelectFileTitle = "Select File";
inline constexpr std::string_view MemberFileFilter = "Files to be added to the group";
// Every file: the filter's pattern.
inline constexpr std::string_view MemberFilePattern = "*";

inline constexpr std::string_view FilePropertiesTitle = "File Properties";
// Between the names of the groups that hold a file.
inline constexpr std::string_view GroupNameSeparator = ",";
inline constexpr std::string_view IncludedInLabel = "This file is included in ";
inline constexpr std::string_view CheckedOutByLabel = "This file is currently checked-out by";
inline constexpr std::string_view AtLabel = "at";
inline constexpr std::string_view VoidButton = "Void current check-out";
inline constexpr std::string_view VersionsFrame = "Versions";
inline constexpr std::string_view SetLatestButton = "Set as the latest file";
inline constexpr std::string_view DetailsFrame = "Details";
inline constexpr std::string_view RefreshButton = "&Refresh";
inline constexpr std::string_view CloseButton = "&Close";

// --- The admin command (zelt-server admin) --------------------------------------------------
// Refusals where a window would have offered nothing to choose.
inline constexpr char NoSuchUser[] = "User '%s' does not exist.";
inline constexpr char NoSuchGroup[] = "Group '%s' does not exist.";
inline constexpr char UserNotConnected[] = "User '%s' is not connected.";
inline constexpr char NotAMemberUser[] = "User '%s' is not a member of group '%s'.";
inline constexpr char NotAMemberFile[] = "File '%s' is not a member of group '%s'.";
inline constexpr char NoSuchFile[] = "File '%s' does not exist.";
inline constexpr char NotCheckedOut[] = "File '%s' is not checked-out.";
// The notice window cannot take more than fits; a command is told instead of losing lines.
inline constexpr std::string_view NoticeTooLong =
    "The notice is too long: its lines may hold 1024 characters, each line counting one more.";
inline constexpr std::string_view TablesNotLoaded = "The server has not loaded its tables.";
inline constexpr char AdminSocketFailed[] =
    "The administration socket %s cannot be opened (%s); zelt-server admin cannot reach this "
    "server.";
// checkouts --older-than: a block like the checked-out files', each file with its holder.
inline constexpr char OldCheckedOutFiles[] = "Checked-out files held longer than %d day(s):";
inline constexpr char HeldBy[] = "    checked-out by %s at %s";
// port show, when the port for the next start is not the one listened on now.
inline constexpr char ListeningOn[] = "Listening now on port %d.";
// The command's own failures, on its standard error.
inline constexpr char NoServer[] = "No ZELT server is running on the data directory %s.";
inline constexpr char CannotReachServer[] =
    "The ZELT server on the data directory %s cannot be reached: %s.";
inline constexpr char NoAnswer[] =
    "The ZELT server on the data directory %s closed the connection without answering; only "
    "the user it runs as and root may administer it.";
inline constexpr char AnswerTimedOut[] =
    "The ZELT server on the data directory %s did not answer in time.";
inline constexpr char RequestNotUnderstood[] = "The ZELT server did not understand: %s";
inline constexpr char CannotReadFile[] = "Cannot read %s: %s.";

namespace detail {
// Texts travel to snprintf as NUL-ended copies; numbers as they are.
template <typename T>
auto held(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return std::string(std::string_view(value));
    } else {
        return value;
    }
}
template <typename T>
auto passed(const T& value) {
    if constexpr (std::is_same_v<T, std::string>) {
        return value.c_str();
    } else {
        return value;
    }
}
}  // namespace detail

// A pattern of this file filled with numbers and texts.
template <typename... Args>
std::string format(const char* pattern, const Args&... args) {
    const auto values = std::make_tuple(detail::held(args)...);
    return std::apply(
        [pattern](const auto&... value) {
            const int size = std::snprintf(nullptr, 0, pattern, detail::passed(value)...);
            if (size <= 0) return std::string();
            std::string out(static_cast<std::size_t>(size), '\0');
            std::snprintf(out.data(), out.size() + 1, pattern, detail::passed(value)...);
            return out;
        },
        values);
}

}  // namespace text
}  // namespace zelt::server
