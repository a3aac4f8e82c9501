#pragma once

#include "client/cli/manual.h"

// The manual pages of the two window programs, in the form zelt's own manual is kept in.
namespace zelt::manpages {

const cli::Manual& serverManual();
const cli::Manual& clientManual();

}  // namespace zelt::manpages
