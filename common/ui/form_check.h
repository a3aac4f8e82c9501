#pragma once

#include <functional>
#include <optional>
#include <string>

namespace zelt::ui {

// The check a dialog runs when the user presses OK, the same way in both programs: the core
// hands the window its form and this check; the window shows the returned text in a message
// box and stays open with what was typed, or closes when the check returns nothing.
template <typename Form>
using FormCheck = std::function<std::optional<std::string>(const Form&)>;

}  // namespace zelt::ui
