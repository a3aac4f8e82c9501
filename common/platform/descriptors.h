#pragma once

#include <cstddef>

namespace zelt::descriptors {

// Raises this process's limit of open descriptors (sockets and files) as far as the system lets
// it, and returns the limit now in force; a very large number when there is none.
std::size_t raiseLimit();

}  // namespace zelt::descriptors
