#include "support/midi_stream_checker.h"

#include "midi/recording_midi.h"

#include <cstdio>

namespace varkelon::test_support {

namespace {

constexpr int kPercussionChannel = 10;
constexpr int kSustain = 64;
constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;

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
    const std::uint32_t status = message & 0xFFU;
    const std::uint32_t data1 = (message >> 8) & 0xFFU;
    const std::uint32_t data2 = (message >> 16) & 0xFFU;
    bool valid = true;
    if ((message & 0xFF000000U) != 0) {
        fault(message, "bits 24-31 are not zero");
        valid = false;
    }
    if (status < 0x80) {
        fault(message, "no status byte");
        valid = false;
    }
    // Program change and channel pressure carry one data byte, but the
    // second travels in the packed word all the same: both must be data.
    if (data1 > 127 || data2 > 127) {
        fault(message, "a data byte above 127");
        valid = false;
    }
    if (!valid) {
        return;
    }
    const std::size_t channel = status & 0x0FU;
    switch (status & 0xF0U) {
    case 0x80:
        release(channel, data1);
        break;
    case 0x90:
        if (data2 == 0) {
            release(channel, data1); // velocity 0 is a note-off
        } else {
            on_[channel].set(data1);
            sustained_[channel].reset(data1);
        }
        break;
    case 0xB0:
        if (data1 == kAllSoundOff) {
            on_[channel].reset();
            sustained_[channel].reset();
        } else if (data1 == kAllNotesOff) {
            if (pedal_.test(channel)) {
                sustained_[channel] |= on_[channel];
            }
            on_[channel].reset();
        } else if (data1 == kSustain) {
            pedal_.set(channel, data2 >= 64);
            if (data2 < 64) {
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
    if (channel < 1 || channel > 16 || note < 0 || note > 127) {
        return false;
    }
    const auto c = static_cast<std::size_t>(channel - 1);
    const auto n = static_cast<std::size_t>(note);
    return on_[c].test(n) || sustained_[c].test(n);
}

bool MidiStreamChecker::pedal_down(int channel) const {
    return channel >= 1 && channel <= 16 && pedal_.test(static_cast<std::size_t>(channel - 1));
}

std::vector<SoundingNote> MidiStreamChecker::sounding_notes() const {
    std::vector<SoundingNote> out;
    for (int c = 1; c <= 16; ++c) {
        if (c == kPercussionChannel) {
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
