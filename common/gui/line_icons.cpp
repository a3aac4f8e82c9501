#include "common/gui/line_icons.h"

#include <array>

namespace zelt::gui {

const QIcon& lineIcon(LineKind kind) {
    // Made on first use: icons need the application object, which statics would precede.
    static const std::array<QIcon, 4> icons = {
        QIcon(QStringLiteral(":/zelt/gui/icons/line_plain.svg")),
        QIcon(QStringLiteral(":/zelt/gui/icons/line_function.svg")),
        QIcon(QStringLiteral(":/zelt/gui/icons/line_error.svg")),
        QIcon(QStringLiteral(":/zelt/gui/icons/line_important.svg")),
    };
    const auto index = static_cast<std::size_t>(kind);
    return icons[index < icons.size() ? index : 0];
}

}  // namespace zelt::gui
