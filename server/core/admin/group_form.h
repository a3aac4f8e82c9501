#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/limits.h"
#include "server/core/store/group_table.h"
#include "server/core/ui/group_dialogs.h"

// What the Group Properties dialog edits, and the checks it makes, with no window behind them.
namespace zelt::server {

inline constexpr std::size_t MaxMemberPathLength = 255;

// The form of an existing group: its name, its member names and file paths in slot order, and
// "Disable" checked unless the group is enabled.
GroupForm formOf(const GroupTable& groups, std::size_t group);

// The check made on OK: the message-box text of the first refusal, or nothing when the form
// may be stored. editedGroup is the group being edited, -1 for a new group. A file the form
// adds is refused when its version folder name is another member path's (the folder names of
// /docs/q1-report.txt and /docs-q1/report.txt are the same).
std::optional<std::string> checkGroupForm(const GroupForm& form, const GroupTable& groups,
                                          int editedGroup);

// "Users (%d/%d)" and "Files (%d/%d)".
std::string usersCaption(const GroupForm& form);
std::string filesCaption(const GroupForm& form);
std::string userCapacityText();
std::string fileCapacityText();
// "File path is too long. (Max: 255)"
std::string memberPathTooLongText();
// The message box when a member file's path is too long: the text above and the path.
std::string memberPathRefusal(std::string_view path);

// Puts each name that the list does not hold yet at the top of the users list; user names are
// compared whole, without regard to letter case.
void addMemberUsers(GroupForm& form, const std::vector<std::string>& names);
// The full paths of a pick; a folder and a name are joined with one '/'.
std::vector<std::string> pickedPaths(const FilePick& pick);
// Puts each path that the list does not hold yet at the top of the files list; paths are
// compared whole and byte for byte. Paths longer than a member path can be are left out and
// returned, since storing them cut would name another file.
std::vector<std::string> addMemberFiles(GroupForm& form, const std::vector<std::string>& paths);
// Deletes the entries at the given positions (in any order; repeated or unknown ones ignored).
void removeEntries(std::vector<std::string>& list, std::vector<std::size_t> positions);

// The path a FILEPROP line names: the text after the first "::", or the whole text, at most
// 255 characters. Nothing for an empty text.
std::optional<std::string> filePropertiesPath(std::string_view lineText);

// Writes an accepted form into a group record. Member slots and file slots are filled from the
// top of the lists; each file keeps the check-out mark that its path has in the record now, a
// new file starts free, and a file no longer listed takes its mark with it.
void storeGroupForm(const GroupForm& form, GroupTable& groups, std::size_t group);

}  // namespace zelt::server
