// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Result codes of opening an output here. The user sees the number in
// "Couldn't open midi out, rc = N", so each cause keeps its own value.

namespace varkelon {

inline constexpr int kOpenOk = 0;
inline constexpr int kOpenFailed = 1;    // the MIDI library refused to open the port
inline constexpr int kNoSuchPort = 2;    // the port is gone, or the identifier names none
inline constexpr int kNoSoundFont = 3;   // no General MIDI SoundFont on this machine
inline constexpr int kNoAudioOutput = 4; // no audio output could be opened
inline constexpr int kNoSynth = 5;       // the synthesizer could not be created

} // namespace varkelon
