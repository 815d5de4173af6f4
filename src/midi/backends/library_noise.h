// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace varkelon {

// The audio and MIDI libraries print to stderr whenever a back-end they try
// is absent (no JACK server, no ALSA sequencer, no sound card), which is the
// normal state of many machines. The program reports what matters through its
// own message; this silences the rest. VARKELON_AUDIO_DEBUG=1 keeps it all.
void quiet_audio_libraries();

// True unless VARKELON_AUDIO_DEBUG asks for the libraries' own messages.
bool audio_libraries_quiet();

} // namespace varkelon
