// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the input port passes on from a MIDI keyboard: notes, controllers,
// pitch bend and channel pressure, as short messages. The translations are
// pure, so they are tested without a sequencer or a JACK server.

#include <alsa/asoundlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace varkelon {

struct KeyboardMessage {
    std::uint8_t status = 0; // with its channel
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0; // 0 for channel pressure

    friend bool operator==(const KeyboardMessage&, const KeyboardMessage&) = default;
};

// An ALSA sequencer event; nullopt for every other kind of event. A note-on
// of velocity 0 stays one: the core reads it as the release it is.
std::optional<KeyboardMessage> keyboard_message(const snd_seq_event_t& event);

// The raw bytes of a JACK MIDI event; nullopt for every other message, and
// for one cut short. Safe on the real-time thread: it allocates nothing.
std::optional<KeyboardMessage> keyboard_message(const std::uint8_t* bytes, std::size_t size);

} // namespace varkelon
