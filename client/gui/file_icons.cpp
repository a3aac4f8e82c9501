#include "client/gui/file_icons.h"

#include <map>
#include <string>

#include "client/core/ui/models.h"

namespace zelt::client {

namespace {

const QIcon& icon(const char* name) {
    // Loaded once and kept: the lists ask for them row by row.
    static std::map<std::string, QIcon> icons;
    auto it = icons.find(name);
    if (it == icons.end()) {
        it = icons
                 .emplace(
                     name,
                     QIcon(QStringLiteral(":/zelt/client/icons/%1.svg").arg(QLatin1String(name))))
                 .first;
    }
    return it->second;
}

}  // namespace

const QIcon& availableFileIcon(int kind) {
    return icon(kind == IconHeld ? "file_held" : "file_free");
}

const QIcon& workingFileIcon(int kind) {
    return icon(kind == IconFetched ? "file_fetched" : "file_not_fetched");
}

const QIcon& programIcon() {
    return icon("zelt_client");
}

}  // namespace zelt::client
