// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The MIDI facts the program relies on, each named once: the kinds of channel
// message, the channels with a fixed role, the controllers and programs it
// sends, and how a short message is packed into one 32-bit word.
//
// Channels are numbered 1..16 everywhere in the program, as musicians and the
// style checker's messages number them. Only the status byte carries the
// 0-based index (channel - 1); channel_index() and status_byte() are the one
// place that converts.

#include <cstdint>

namespace varkelon {

// Kinds of channel message: the high nibble of the status byte.
inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;
inline constexpr std::uint8_t kKeyPressure = 0xA0;
inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kProgramChange = 0xC0;
inline constexpr std::uint8_t kChannelPressure = 0xD0;
inline constexpr std::uint8_t kPitchBend = 0xE0;
// Status bytes from here on are system messages, not channel messages.
inline constexpr std::uint8_t kSystemMessage = 0xF0;

inline constexpr int kChannelCount = 16;

// 1-based channels with a fixed role.
inline constexpr int kDrumChannel = 10;          // General MIDI percussion
inline constexpr int kLiveChordBassChannel = 14; // the live chord's bass note
inline constexpr int kLiveChordChannel = 15;     // the live chord's three notes
inline constexpr int kSoloChannel = 16;          // the keys and the instrument preview

// The sounds start-up gives the live chord's two channels.
inline constexpr int kLiveChordBassProgram = 34;
inline constexpr int kLiveChordProgram = 51;

// Controllers.
inline constexpr int kBankSelect = 0;
// Controllers from 120 on are channel mode messages; each ends the channel's notes.
inline constexpr int kFirstChannelMode = 120;
inline constexpr int kAllSoundOff = 120;
inline constexpr int kAllNotesOff = 123;

// A data byte carries seven bits.
inline constexpr std::uint8_t kDataMask = 0x7F;
inline constexpr int kMaxDataValue = 127;

// The 0-based index of 1-based `channel`, as the status byte and synthesizer
// libraries count.
constexpr int channel_index(int channel) {
    return channel - 1;
}

constexpr std::uint8_t status_byte(std::uint8_t kind, int channel) {
    return static_cast<std::uint8_t>(kind | channel_index(channel));
}
constexpr std::uint8_t status_kind(std::uint8_t status) {
    return static_cast<std::uint8_t>(status & 0xF0);
}
// 1-based.
constexpr int status_channel(std::uint8_t status) {
    return (status & 0x0F) + 1;
}
constexpr bool is_channel_status(std::uint8_t status) {
    return status >= kNoteOff && status < kSystemMessage;
}
constexpr bool is_note_status(std::uint8_t status) {
    return status >= kNoteOff && status < kKeyPressure;
}

// Data bytes that follow a channel message's status on the wire and in a file:
// program change and channel pressure carry one, the others two. (The packed
// word has room for two all the same.)
constexpr int data_byte_count(std::uint8_t status) {
    const std::uint8_t kind = status_kind(status);
    return kind == kProgramChange || kind == kChannelPressure ? 1 : 2;
}

// What a receiver reads from a data byte: its low seven bits.
constexpr std::uint8_t data_value(std::uint8_t byte) {
    return static_cast<std::uint8_t>(byte & kDataMask);
}

// One short message as the output ports take it: status | data1 << 8 | data2 << 16.
struct ShortMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0; // all eight bits as packed, so a check can see one above 127
    std::uint8_t data2 = 0;
    std::uint8_t rest = 0; // the top byte, 0 in every well-formed message

    constexpr std::uint8_t kind() const { return status_kind(status); }
    constexpr int channel() const { return status_channel(status); }
    // A note-on with velocity 0 ends a note, as a note-off does.
    constexpr bool is_sounding_note_on() const {
        return kind() == kNoteOn && data_value(data2) != 0;
    }
};

constexpr std::uint32_t pack_short_message(int status, int data1, int data2) {
    return static_cast<std::uint32_t>(status & 0xFF) |
           (static_cast<std::uint32_t>(data1 & 0xFF) << 8) |
           (static_cast<std::uint32_t>(data2 & 0xFF) << 16);
}

constexpr ShortMessage unpack_short_message(std::uint32_t message) {
    return {static_cast<std::uint8_t>(message & 0xFFU),
            static_cast<std::uint8_t>((message >> 8) & 0xFFU),
            static_cast<std::uint8_t>((message >> 16) & 0xFFU),
            static_cast<std::uint8_t>(message >> 24)};
}

} // namespace varkelon
