// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared pieces of the back-end tests: the style data file for starting the
// program.

#include "app/fakes.h"

namespace varkelon::test {

// The program's style data file, read from the source tree.
MemoryStyleFile style_data_file();

} // namespace varkelon::test
