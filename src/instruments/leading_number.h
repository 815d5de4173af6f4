// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace varkelon {

// The number that a text begins with, as the instrument entry reads it:
// blanks, tabs and line feeds are ignored wherever they stand; "&H" and "&O"
// begin a hexadecimal or octal integer; otherwise an optional sign, decimal
// digits with at most one "." and an optional exponent (E or D, a sign,
// digits). Reading stops at the first character that does not fit, and text
// without a leading number reads 0. A magnitude beyond a double reads as an
// infinity of its sign, so that callers can clamp it like any large value.
double leading_number(std::string_view text);

} // namespace varkelon
