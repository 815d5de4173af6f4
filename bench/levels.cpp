// SPDX-License-Identifier: GPL-3.0-or-later
// The loudness of the built-in synth's output: renders a Standard MIDI File
// that varkelon-sim wrote (--smf, one tick a millisecond) through the synth
// as the program sets it up, gain and limiter included, and prints the peak
// and RMS levels; optionally writes the sound as a WAV file for sox.
//
// Usage: levels FILE.mid [--gain G] [--no-limit] [--wav OUT.wav] [--tail-s S]
//   --gain      FluidSynth's gain (default: the program's)
//   --no-limit  the limiter's ceiling moved out of reach (what FluidSynth gives)
//   --tail-s    seconds rendered after the last message, default 3
// Prints one line of key=value pairs; levels in dBFS.

#include "midi/backends/builtin_synth.h"
#include "midi/midi_port.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Timed {
    std::int64_t at_ms;
    std::uint32_t message;
};

// The files varkelon-sim writes: format 0, 1 ms a tick, no running status.
std::vector<Timed> read_smf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    std::vector<Timed> out;
    std::size_t i = 22; // header chunk (14) and the track chunk's header (8)
    std::int64_t now = 0;
    while (i < bytes.size()) {
        std::uint32_t delta = 0;
        while (i < bytes.size()) {
            const unsigned char b = bytes[i++];
            delta = (delta << 7) | (b & 0x7FU);
            if ((b & 0x80U) == 0) {
                break;
            }
        }
        now += delta;
        if (i >= bytes.size()) {
            break;
        }
        const unsigned char status = bytes[i++];
        if (status == 0xFF) { // meta event: type, length, data
            const std::size_t length = bytes[i + 1];
            i += 2 + length;
            continue;
        }
        const bool one_byte = (status & 0xE0U) == 0xC0U;
        const int data1 = bytes[i++];
        const int data2 = one_byte ? 0 : bytes[i++];
        out.push_back({now, varkelon::pack_short_message(status, data1, data2)});
    }
    return out;
}

void write_wav(const std::string& path, const std::vector<float>& stereo, int rate) {
    std::ofstream out(path, std::ios::binary);
    const auto put32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto put16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const auto data_bytes = static_cast<std::uint32_t>(stereo.size() * sizeof(float));
    out.write("RIFF", 4);
    put32(36 + data_bytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(3); // IEEE float
    put16(2);
    put32(static_cast<std::uint32_t>(rate));
    put32(static_cast<std::uint32_t>(rate) * 8);
    put16(8);
    put16(32);
    out.write("data", 4);
    put32(data_bytes);
    out.write(reinterpret_cast<const char*>(stereo.data()), data_bytes);
}

double dbfs(double v) {
    return v > 0 ? 20.0 * std::log10(v) : -999.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.mid [--gain G] [--no-limit] [--wav OUT]\n", argv[0]);
        return 2;
    }
    varkelon::BuiltinSynth::Options options;
    options.soundfont = varkelon::find_gm_soundfont();
    options.output = varkelon::BuiltinSynth::Output::Render;
    options.latency_ms = 0; // every message at its millisecond
    options.sleep_after_s = 0;
    std::string wav;
    double tail_s = 3.0;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--gain" && i + 1 < argc) {
            options.gain = std::stod(argv[++i]);
        } else if (arg == "--no-limit") {
            options.ceiling_dbfs = 40.0;
        } else if (arg == "--wav" && i + 1 < argc) {
            wav = argv[++i];
        } else if (arg == "--tail-s" && i + 1 < argc) {
            tail_s = std::stod(argv[++i]);
        } else {
            std::fprintf(stderr, "unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    const std::vector<Timed> events = read_smf(argv[1]);
    varkelon::BuiltinSynth synth(options);
    if (synth.open() != 0 || !synth.wait_until_loaded(std::chrono::minutes(2))) {
        std::printf("open_failed=1\n");
        return 1;
    }
    const int rate = static_cast<int>(options.sample_rate);
    std::vector<float> stereo;
    std::int64_t rendered_frames = 0;
    const auto render_to = [&](std::int64_t frame) {
        if (frame <= rendered_frames) {
            return;
        }
        const std::size_t at = stereo.size();
        stereo.resize(at + static_cast<std::size_t>(frame - rendered_frames) * 2);
        synth.render(stereo.data() + at, static_cast<int>(frame - rendered_frames));
        rendered_frames = frame;
    };
    for (const Timed& e : events) {
        render_to(e.at_ms * rate / 1000);
        synth.send(e.message);
    }
    render_to(rendered_frames + static_cast<std::int64_t>(tail_s * rate));

    float peak = 0;
    double sum = 0;
    for (const float s : stereo) {
        peak = std::max(peak, std::fabs(s));
        sum += static_cast<double>(s) * s;
    }
    const double rms = stereo.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(stereo.size()));
    std::printf("messages=%zu seconds=%.1f gain=%.3f peak_dbfs=%.2f rms_dbfs=%.2f\n", events.size(),
                static_cast<double>(rendered_frames) / rate, options.gain, dbfs(peak), dbfs(rms));
    if (!wav.empty()) {
        write_wav(wav, stereo, rate);
    }
    return 0;
}
