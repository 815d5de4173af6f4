// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/font_warmup.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace varkelon {

FontConfigWarmup::FontConfigWarmup() {
    try {
        thread_ = std::thread([] { FcInit(); }); // fontconfig is thread-safe
    } catch (const std::system_error&) {
        // No thread to be had: Qt reads the configuration itself, as ever.
    }
}

FontConfigWarmup::~FontConfigWarmup() {
    join();
}

void FontConfigWarmup::join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

} // namespace varkelon
