#pragma once

#include <QIcon>

namespace zelt::client {

// The pictures of the file lists: in Available Files a free file or one someone holds, in
// Working Files a check-out whose copy is still on the server or one fetched here.
const QIcon& availableFileIcon(int icon);
const QIcon& workingFileIcon(int icon);
// The program's own picture, for its windows and the notification area.
const QIcon& programIcon();

}  // namespace zelt::client
