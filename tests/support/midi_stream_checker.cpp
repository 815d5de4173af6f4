// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/midi_stream_checker.h"

#include "midi/midi_facts.h"
#include "midi/recording_midi.h"

#include <cstdio>

namespace varkelon::test_support {

namespace {

constexpr int kSustain = 64;
constexpr int kPedalDown = 64; // values from here up hold the pedal down

} // namespace

std::string hex_message(std::uint32_t message) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", message);
    return text;
}

void MidiStreamChecker::fault(std::uint32_t message, std::string what) {
    faults_.push_back({count_ - 1, message, false, std::move(what)});
}

void MidiStreamChecker::send(std::uint32_t message) {
    ++count_;
    const ShortMessage m = unpack_short_message(message);
    bool valid = true;
    if (m.rest != 0) {
        fault(message, "bits 24-31 are not zero");
        valid = false;
    }
    if (m.status < kNoteOff) {
        fault(message, "no status byte");
        valid = false;
    }
    // Program change and channel pressure carry one data byte, but the
    // second travels in the packed word all the same: both must be data.
    if (m.data1 > kMaxDataValue || m.data2 > kMaxDataValue) {
        fault(message, "a data byte above 127");
        valid = false;
    }
    if (!valid) {
        return;
    }
    const auto channel = static_cast<std::size_t>(channel_index(m.channel()));
    switch (m.kind()) {
    case kNoteOff:
        release(channel, m.data1);
        break;
    case kNoteOn:
        if (m.data2 == 0) {
            release(channel, m.data1); // velocity 0 is a note-off
        } else {
            on_[channel].set(m.data1);
            sustained_[channel].reset(m.data1);
        }
        break;
    case kControlChange:
        if (m.data1 == kAllSoundOff) {
            on_[channel].reset();
            sustained_[channel].reset();
        } else if (m.data1 == kAllNotesOff) {
            if (pedal_.test(channel)) {
                sustained_[channel] |= on_[channel];
            }
            on_[channel].reset();
        } else if (m.data1 == kSustain) {
            pedal_.set(channel, m.data2 >= kPedalDown);
            if (m.data2 < kPedalDown) {
                sustained_[channel].reset();
            }
        }
        break;
    default:
        break;
    }
}

void MidiStreamChecker::release(std::size_t channel, std::uint32_t note) {
    if (on_[channel].test(note) && pedal_.test(channel)) {
        sustained_[channel].set(note);
    }
    on_[channel].reset(note);
}

void MidiStreamChecker::port_opened() {
    on_ = {};
    sustained_ = {};
    pedal_.reset();
}

void MidiStreamChecker::port_closed() {
    expect_silent("port closed");
    port_opened();
}

void MidiStreamChecker::watch(RecordingMidiSystem& midi) {
    midi.on_event = [this](const RecordingMidiSystem::Event& e) {
        using Kind = RecordingMidiSystem::Event::Kind;
        switch (e.kind) {
        case Kind::Send:
            send(e.message);
            break;
        case Kind::Open:
            port_opened();
            break;
        case Kind::Close:
            port_closed();
            break;
        }
    };
}

void MidiStreamChecker::expect_silent(const std::string& moment) {
    for (const SoundingNote& n : sounding_notes()) {
        faults_.push_back({count_, 0, true,
                           moment + ": note " + std::to_string(n.note) +
                               " still sounds on channel " + std::to_string(n.channel)});
    }
}

bool MidiStreamChecker::sounding(int channel, int note) const {
    if (channel < 1 || channel > kChannelCount || note < 0 || note > kMaxDataValue) {
        return false;
    }
    const auto c = static_cast<std::size_t>(channel - 1);
    const auto n = static_cast<std::size_t>(note);
    return on_[c].test(n) || sustained_[c].test(n);
}

bool MidiStreamChecker::pedal_down(int channel) const {
    return channel >= 1 && channel <= kChannelCount &&
           pedal_.test(static_cast<std::size_t>(channel - 1));
}

std::vector<SoundingNote> MidiStreamChecker::sounding_notes() const {
    std::vector<SoundingNote> out;
    for (int c = 1; c <= kChannelCount; ++c) {
        if (c == kDrumChannel) {
            continue;
        }
        for (int n = 0; n < 128; ++n) {
            if (sounding(c, n)) {
                out.push_back({c, n});
            }
        }
    }
    return out;
}

std::string MidiStreamChecker::report() const {
    std::string out;
    for (const Fault& f : faults_) {
        out += "message " + std::to_string(f.index);
        if (!f.silence) {
            out += " " + hex_message(f.message);
        }
        out += ": " + f.what + "\n";
    }
    return out;
}

} // namespace varkelon::test_support
