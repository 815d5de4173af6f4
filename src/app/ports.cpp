// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ports.h"

#include <cmath>
#include <cstdlib>

namespace varkelon {

int read_position(SettingsStore& store, const std::string& key, int default_twips) {
    const auto text = store.get(key);
    if (!text) {
        return default_twips;
    }
    // A coordinate is stored as decimal text; anything that is not wholly a
    // number (surrounding blanks aside) falls back to the default.
    const char* begin = text->c_str();
    char* end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin) {
        return default_twips;
    }
    while (*end == ' ' || *end == '\t') {
        ++end;
    }
    if (*end != '\0' || !std::isfinite(v) || std::fabs(v) > 1e7) {
        return default_twips;
    }
    return static_cast<int>(std::lround(v));
}

void write_position(SettingsStore& store, const std::string& key, int twips) {
    store.set(key, std::to_string(twips));
}

} // namespace varkelon
