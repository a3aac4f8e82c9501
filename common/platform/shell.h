#pragma once

#include <string>

namespace zelt::shell {

// Result codes in the form the programs report them: above 32 is success, the rest name the
// failure (2: file not found, 3: path not found, 5: access denied, 31: no associated program).
int open(const std::string& target);

}  // namespace zelt::shell
