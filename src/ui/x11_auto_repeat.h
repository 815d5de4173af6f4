// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace varkelon {

// Asks the X server for detectable auto-repeat: a held key then repeats its
// press alone, with no release before each repeat. Qt tells the releases of
// X11's repeat pairs from real ones only when both halves have already been
// read from the connection, so a held note would otherwise now and then be
// cut. Does nothing on other platforms. True when the server agreed.
bool request_detectable_auto_repeat();

} // namespace varkelon
