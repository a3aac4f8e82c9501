#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/console/console.h"
#include "common/platform/clock.h"
#include "server/core/store/group_table.h"

// Locks held for a long time: a forgotten check-out blocks a whole team, so the administrator
// can list the ones older than some days, with who holds them and since when.
namespace zelt::server {

struct HeldFile {
    std::string group;
    std::string path;
    std::string holder;
    std::string time;  // the check-out time as the mark holds it, "2007/04/28 [16:05]"
};

// A check-out time "2007/04/28 [16:05]" read back; nothing when it is not one.
std::optional<LocalTime> parseCheckOutTime(std::string_view text);

// The check-out marks of the groups in use, in table order (as the checked-out files listing
// shows them), held longer than days before now. A mark whose time cannot be read counts as old:
// nothing says that it is recent.
std::vector<HeldFile> filesHeldLongerThan(const GroupTable& groups, const LocalTime& now, int days);

// The block of those files: a separator, its header, and per file its FILEPROP line and a line
// with holder and time. Returns the files listed.
std::vector<HeldFile> listFilesHeldLongerThan(Console& console, const GroupTable& groups,
                                              const LocalTime& now, int days);

}  // namespace zelt::server
