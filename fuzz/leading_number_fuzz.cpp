// SPDX-License-Identifier: GPL-3.0-or-later
// The instrument entry's number reader on any text: it must end, and give a
// number or an infinity, never NaN.

#include "instruments/leading_number.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const double v =
        varkelon::leading_number(std::string_view(reinterpret_cast<const char*>(data), size));
    if (std::isnan(v)) {
        std::abort();
    }
    return 0;
}
