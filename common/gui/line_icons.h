#pragma once

#include <QIcon>

#include "common/console/console.h"

namespace zelt::gui {

// The icon of a console line's kind: a blue ball, a red cross, a green exclamation mark, and
// for a plain line an empty icon that keeps every line's text at the same place.
const QIcon& lineIcon(LineKind kind);

}  // namespace zelt::gui
