#pragma once

#include <string>

namespace zelt::shell {

// Result codes in the form the programs report them: above 32 is success, the rest name the
// failure (2: file not found, 3: path not found, 5: access denied, 31: no associated program).
inline constexpr int Opened = 42;
int open(const std::string& target);

// Why target cannot be handed to a handler at all (2, 3 or 5, as above), or 0 when it can: a
// web or mail address, or a file or folder that exists and may be read. Front ends that open
// with their own desktop's handler ask this first, so every way of opening names the same cause.
int openProblem(const std::string& target);

}  // namespace zelt::shell
