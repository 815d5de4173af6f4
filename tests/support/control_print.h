// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Readable failures and traces: controls by the names scripts give them.

#include "app/controls.h"

#include <ostream>

namespace varkelon {

inline std::ostream& operator<<(std::ostream& os, Ctl c) {
    return os << control_name(c);
}
inline std::ostream& operator<<(std::ostream& os, const ControlId& id) {
    return os << id.to_string();
}

} // namespace varkelon
