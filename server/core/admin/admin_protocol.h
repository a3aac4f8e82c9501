#pragma once

#include <cstddef>
#include <string_view>

// What `zelt-server admin` and a running server say to each other over the administration
// socket, admin.sock in the server's data directory.
//
// The command connects, writes one request and reads one answer; then both sides close. A
// request and an answer are each one JSON object on one line, in UTF-8, ended by a line feed:
//
//   {"version":1,"command":"account add","args":{"user":"anna","password":"pw","retype":"pw"}}
//   {"version":1,"status":"done","lines":[{"text":"User 'anna' created, enabled.",
//    "kind":"Plain","tag":"   "}]}
//
// An answer's fields:
//   status  "done": the command ran. "refused": it did not, or not all of it; "reason" holds the
//           words the window would have shown: its message box, or the console's error line.
//           "error": the request was not understood (not JSON, an unknown command, an argument
//           missing or of the wrong type, too long); "reason" says what was wrong.
//   lines   the console lines the command appended on the server, in order; each with its text,
//           its kind ("Plain", "Function", "Error", "Important") and its function tag.
//   data    what a command that shows something shows (below); absent otherwise.
//
// The commands and their "args" (every argument is required unless marked optional; texts are
// strings, flags booleans):
//   status, sessions                  -
//   checkouts                         olderThanDays (number, optional: every checked-out file)
//                                     data with olderThanDays: files [{group,path,holder,time}]
//   account add                       user, password, retype, name (opt.), dept (opt.), disabled
//   account set                       user, rename, name, dept, password, retype (all opt.),
//                                     enabled (flag, opt.: the state as it is)
//   account remove, account disconnect   user
//   account list                      -
//   account search                    keywords
//   group add                         group, disabled
//   group set                         group, rename (opt.), enabled (flag, opt.)
//   group remove                      group
//   group list                        -
//   group show                        group; data: name, disabled, users [names],
//                                     files [{path, checkedOut, holder, time}]
//   group users                       group, action ("add" or "remove"), users [names]
//   group files                       group, action ("add" or "remove"), paths [absolute paths]
//   file show                         path; data: path, groups [names], holder, time,
//                                     versions [{stamp, time, user, comment}], oldest first
//                                     (without time, user and comment when the version's
//                                     details cannot be read)
//   file void                         path
//   file restore                      path, stamp; data: message (the information box's text)
//   notice show                       data: send (flag), text
//   notice set                        send (flag, opt.: as it is), text (opt.: as it is)
//   backup show                       data: retain (number)
//   backup set                        retain (number: 5, 10 or 20)
//   port show                         data: port (for the next start), listening (now; 0: none)
//   port set                          port (text, as typed into the dialog)
//   shutdown                          minutes (text, as typed into the dialog)
//   shutdown cancel, shutdown now     -
//   send                              recipients, text, important
//
// The server serves the user it runs as and root; it closes any other peer at once, without an
// answer. A request longer than MaxRequestBytes gets an "error" answer, and so does a peer that
// has not sent its whole request within PeerDeadline milliseconds (it is then closed).
namespace zelt::server::adminproto {

inline constexpr int Version = 1;
inline constexpr std::string_view SocketName = "admin.sock";
inline constexpr std::size_t MaxRequestBytes = 256 * 1024;
inline constexpr long PeerDeadline = 10000;

namespace status {
inline constexpr std::string_view Done = "done";
inline constexpr std::string_view Refused = "refused";
inline constexpr std::string_view Error = "error";
}  // namespace status

namespace field {
inline constexpr const char* Version = "version";
inline constexpr const char* Command = "command";
inline constexpr const char* Args = "args";
inline constexpr const char* Status = "status";
inline constexpr const char* Reason = "reason";
inline constexpr const char* Lines = "lines";
inline constexpr const char* Data = "data";
inline constexpr const char* Text = "text";
inline constexpr const char* Kind = "kind";
inline constexpr const char* Tag = "tag";
}  // namespace field

// The names of the commands and of their arguments, as listed above.
namespace command {
inline constexpr std::string_view Status = "status";
inline constexpr std::string_view Sessions = "sessions";
inline constexpr std::string_view Checkouts = "checkouts";
inline constexpr std::string_view AccountAdd = "account add";
inline constexpr std::string_view AccountSet = "account set";
inline constexpr std::string_view AccountRemove = "account remove";
inline constexpr std::string_view AccountDisconnect = "account disconnect";
inline constexpr std::string_view AccountList = "account list";
inline constexpr std::string_view AccountSearch = "account search";
inline constexpr std::string_view GroupAdd = "group add";
inline constexpr std::string_view GroupSet = "group set";
inline constexpr std::string_view GroupRemove = "group remove";
inline constexpr std::string_view GroupList = "group list";
inline constexpr std::string_view GroupShow = "group show";
inline constexpr std::string_view GroupUsers = "group users";
inline constexpr std::string_view GroupFiles = "group files";
inline constexpr std::string_view FileShow = "file show";
inline constexpr std::string_view FileVoid = "file void";
inline constexpr std::string_view FileRestore = "file restore";
inline constexpr std::string_view NoticeShow = "notice show";
inline constexpr std::string_view NoticeSet = "notice set";
inline constexpr std::string_view BackupShow = "backup show";
inline constexpr std::string_view BackupSet = "backup set";
inline constexpr std::string_view PortShow = "port show";
inline constexpr std::string_view PortSet = "port set";
inline constexpr std::string_view Shutdown = "shutdown";
inline constexpr std::string_view ShutdownCancel = "shutdown cancel";
inline constexpr std::string_view ShutdownNow = "shutdown now";
inline constexpr std::string_view Send = "send";
}  // namespace command

namespace arg {
inline constexpr const char* OlderThanDays = "olderThanDays";
inline constexpr const char* User = "user";
inline constexpr const char* Users = "users";
inline constexpr const char* Password = "password";
inline constexpr const char* Retype = "retype";
inline constexpr const char* Rename = "rename";
inline constexpr const char* Name = "name";
inline constexpr const char* Dept = "dept";
inline constexpr const char* Disabled = "disabled";
inline constexpr const char* Enabled = "enabled";
inline constexpr const char* Keywords = "keywords";
inline constexpr const char* Group = "group";
inline constexpr const char* Action = "action";
inline constexpr const char* Paths = "paths";
inline constexpr const char* Path = "path";
inline constexpr const char* Stamp = "stamp";
inline constexpr const char* Send = "send";
inline constexpr const char* Text = "text";
inline constexpr const char* Retain = "retain";
inline constexpr const char* Port = "port";
inline constexpr const char* Minutes = "minutes";
inline constexpr const char* Recipients = "recipients";
inline constexpr const char* Important = "important";
inline constexpr std::string_view Add = "add";
inline constexpr std::string_view Remove = "remove";
}  // namespace arg

// The fields of "data" (see the commands above).
namespace data {
inline constexpr const char* Files = "files";
inline constexpr const char* Group = "group";
inline constexpr const char* Path = "path";
inline constexpr const char* Holder = "holder";
inline constexpr const char* Time = "time";
inline constexpr const char* Name = "name";
inline constexpr const char* Disabled = "disabled";
inline constexpr const char* Users = "users";
inline constexpr const char* CheckedOut = "checkedOut";
inline constexpr const char* Groups = "groups";
inline constexpr const char* Versions = "versions";
inline constexpr const char* Stamp = "stamp";
inline constexpr const char* User = "user";
inline constexpr const char* Comment = "comment";
inline constexpr const char* Message = "message";
inline constexpr const char* Send = "send";
inline constexpr const char* Text = "text";
inline constexpr const char* Retain = "retain";
inline constexpr const char* Port = "port";
inline constexpr const char* Listening = "listening";
}  // namespace data

}  // namespace zelt::server::adminproto
