// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/builtin_synth.h"
#include "midi/backends/builtin_synth_fluid.h"
#include "midi/backends/open_codes.h"
#include "midi/backends/system_midi.h"

#include "app/program.h"
#include "engine/style_format.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace varkelon {
namespace {

using namespace std::chrono_literals;

constexpr double kRate = 48000.0;
constexpr std::uint32_t kNoteOn60 = 0x00643C9F; // channel 16, key 60, velocity 100

// Renders `seconds` of sound and returns the samples, stereo interleaved.
std::vector<float> render(BuiltinSynth& synth, double seconds) {
    const int frames = static_cast<int>(seconds * kRate);
    std::vector<float> out(static_cast<std::size_t>(frames) * 2);
    constexpr int kBlock = 256;
    for (int done = 0; done < frames; done += kBlock) {
        synth.render(out.data() + static_cast<std::size_t>(done) * 2,
                     std::min(kBlock, frames - done));
    }
    return out;
}

double rms(const std::vector<float>& samples) {
    double sum = 0;
    for (const float s : samples) {
        sum += static_cast<double>(s) * s;
    }
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

void all_notes_off(BuiltinSynth& synth) {
    for (int channel = 0; channel < 16; ++channel) {
        synth.send(pack_short_message(0xB0 | channel, 123, 0));
    }
}

// The host's clock in a test: it moves only when the test moves it, so what
// is rendered does not depend on how fast the test runs. Read by the loader
// and the rendering thread too.
class VirtualClock {
public:
    MidiClock::time_point now() const { return MidiClock::time_point(MidiClock::duration(ns_)); }
    void set_ms(double ms) { ns_ = static_cast<std::int64_t>(ms * 1e6); }
    std::function<MidiClock::time_point()> function() {
        return [this] { return now(); };
    }

private:
    std::atomic<std::int64_t> ns_{0};
};

// How often the synths of this process have opened their SoundFont file:
// once for each load, then once for every program selection or pin that had
// samples to read.
std::atomic<std::uint64_t> soundfont_open_count{0};
void count_soundfont_open() {
    soundfont_open_count.fetch_add(1);
}
std::uint64_t soundfont_opens() {
    return soundfont_open_count.load();
}

class RenderedSynth : public testing::Test {
protected:
    void SetUp() override {
        set_soundfont_open_hook(count_soundfont_open);
        soundfont_ = find_gm_soundfont();
        if (soundfont_.empty()) {
            GTEST_SKIP() << "no General MIDI SoundFont installed (fluid-soundfont-gm)";
        }
    }

    BuiltinSynth::Options options() {
        BuiltinSynth::Options o;
        o.soundfont = soundfont_;
        o.output = BuiltinSynth::Output::Render;
        o.sample_rate = kRate;
        o.clock = clock_.function();
        return o;
    }

    void TearDown() override { set_soundfont_open_hook(nullptr); }

    std::string soundfont_;
    VirtualClock clock_;
};

TEST_F(RenderedSynth, NoteSoundsAndAllNotesOffDecaysToSilence) {
    BuiltinSynth synth(options());
    ASSERT_EQ(synth.open(), kOpenOk);
    ASSERT_TRUE(synth.wait_until_loaded(60s));

    EXPECT_LT(rms(render(synth, 0.1)), 1e-6) << "silent before any note";
    synth.send(kNoteOn60);
    EXPECT_GT(rms(render(synth, 0.3)), 0.01) << "the note sounds";

    all_notes_off(synth);
    render(synth, 3.0); // release and reverb tail
    EXPECT_LT(rms(render(synth, 0.2)), 1e-4) << "the tail has died away";
}

TEST_F(RenderedSynth, CloseCutsSoundingVoicesAtOnce) {
    BuiltinSynth synth(options());
    ASSERT_EQ(synth.open(), kOpenOk);
    ASSERT_TRUE(synth.wait_until_loaded(60s));
    synth.send(kNoteOn60);
    ASSERT_GT(rms(render(synth, 0.2)), 0.01);

    synth.close();         // no note-off was sent
    synth.send(kNoteOn60); // a closed port takes nothing
    ASSERT_EQ(synth.open(), kOpenOk);
    // Held, the piano note would still sound near the level above; what is
    // left is the reverb's fading echo.
    render(synth, 0.3);
    EXPECT_LT(rms(render(synth, 0.2)), 1e-3);
}

// What is sent right after opening, while the SoundFont is still loading,
// sounds exactly as if it had been sent once it had loaded: the program
// change and the controller take effect, the held note sounds, and the note
// that began and ended during the load does not.
TEST_F(RenderedSynth, MessagesSentWhileLoadingTakeEffectOnceLoaded) {
    const std::vector<std::uint32_t> setup{
        pack_short_message(0xC0, 73, 0),  // channel 1: flute
        pack_short_message(0xB0, 7, 90),  // channel 1: volume
        pack_short_message(0x90, 64, 90), // held
    };
    const std::vector<std::uint32_t> over_during_load{
        pack_short_message(0x90, 60, 100),
        pack_short_message(0x80, 60, 0),
        pack_short_message(0x99, 38, 100), // a drum hit ended by all-notes-off on channel 10
        pack_short_message(0xB9, 123, 0),
    };

    BuiltinSynth early(options());
    ASSERT_EQ(early.open(), kOpenOk);
    for (const auto m : over_during_load) {
        early.send(m);
    }
    for (const auto m : setup) {
        early.send(m);
    }
    ASSERT_TRUE(early.wait_until_loaded(60s));
    const auto early_sound = render(early, 0.5);

    BuiltinSynth late(options());
    ASSERT_EQ(late.open(), kOpenOk);
    ASSERT_TRUE(late.wait_until_loaded(60s));
    for (const auto m : setup) {
        late.send(m);
    }
    const auto late_sound = render(late, 0.5);

    BuiltinSynth piano(options()); // the same note without the program change
    ASSERT_EQ(piano.open(), kOpenOk);
    ASSERT_TRUE(piano.wait_until_loaded(60s));
    piano.send(setup[1]);
    piano.send(setup[2]);
    const auto piano_sound = render(piano, 0.5);

    ASSERT_GT(rms(late_sound), 0.005);
    EXPECT_EQ(early_sound, late_sound);
    EXPECT_NE(piano_sound, late_sound) << "the program change makes a difference";
}

// Every program change the program sends while the rhythm plays: the
// styles' own on their channels, each style's default instrument on the solo
// channel, the live chord's programs on channels 14 and 15.
std::vector<std::uint32_t> program_changes_of_the_program() {
    const StyleBytes bytes = test::style_data_file().read().bytes;
    std::vector<std::uint32_t> changes{pack_short_message(0xCD, 34, 0),
                                       pack_short_message(0xCE, 51, 0)};
    for (int style = 1; style <= kStyleCount; ++style) {
        const auto block = read_style_block(bytes, style);
        if (!block) {
            continue;
        }
        if (block->instrument) {
            changes.push_back(pack_short_message(0xCF, *block->instrument, 0));
        }
        for (const StyleEvent& e : block->events) {
            if ((e.status & 0xF0) == 0xC0) {
                changes.push_back(pack_short_message(e.status, e.data1, 0));
            }
        }
    }
    return changes;
}

// Pinned programs are read by the load: selecting one afterwards, on any
// channel, reads nothing from the SoundFont. Programs outside the pinned
// list still load when selected, so the list is not "everything", and a list
// with nonsense in it pins what it can.
TEST_F(RenderedSynth, PinnedProgramsAreLoadedWithTheSoundFont) {
    const StyleBytes style_file = test::style_data_file().read().bytes;
    struct Case {
        const char* name;
        std::vector<int> pinned;
        std::vector<std::uint32_t> selections; // program changes that must read nothing
    };
    const std::vector<Case> cases{
        {"the program's own", programs_to_keep_loaded(style_file),
         program_changes_of_the_program()},
        {"none: the standard drum kit only", {}, {}},
        {"out of range and repeated",
         {-1, 128, 300, 34, 34, 51},
         {pack_short_message(0xCD, 34, 0), pack_short_message(0xCE, 51, 0),
          pack_short_message(0xCF, 34, 0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BuiltinSynth::Options o = options();
        o.pinned_programs = c.pinned;
        BuiltinSynth synth(o);
        ASSERT_EQ(synth.open(), kOpenOk);
        ASSERT_TRUE(synth.wait_until_loaded(60s));

        // Channel 10 away to another kit first: the way back to the standard
        // kit would read its samples again unless they are pinned.
        synth.send(pack_short_message(0xC9, 16, 0));
        render(synth, 0.01);
        std::vector<std::uint32_t> selections = c.selections;
        selections.push_back(pack_short_message(0xC9, 0, 0));
        const std::uint64_t before = soundfont_opens();
        for (const std::uint32_t change : selections) {
            synth.send(change);
            render(synth, 0.01);
        }
        EXPECT_EQ(soundfont_opens(), before);

        synth.send(pack_short_message(0x9D, 40, 100)); // the pinned program sounds
        EXPECT_GT(rms(render(synth, 0.2)), 0.001);
        all_notes_off(synth);

        const std::uint64_t pinned_done = soundfont_opens();
        for (int program = 0; program < 128; ++program) {
            if (std::find(c.pinned.begin(), c.pinned.end(), program) == c.pinned.end()) {
                synth.send(pack_short_message(0xCF, program, 0));
            }
        }
        EXPECT_GT(soundfont_opens(), pinned_done)
            << "a program not pinned reads its samples when selected";
    }
}

// ------------------------------------------------------------- timing

constexpr int kPeriod = 256; // frames, as the program's audio output
constexpr double kPeriodMs = kPeriod * 1000.0 / kRate;
constexpr double kBlockMs = 64 * 1000.0 / kRate; // FluidSynth renders 64 frames at a time

// One event of the host: at `handled_ms` on the virtual clock it says the
// messages belong to `stamp_ms` and sends them.
struct HostEvent {
    double stamp_ms;
    double handled_ms;
    std::vector<std::uint32_t> messages;
};

// Plays `events` as the program would, into an audio device simulated on the
// virtual clock: at the start of each period the device has the synth render
// the period's frames, as its audio thread would, and the events of the
// period are handled after that. Returns the left channel.
// A device that loses time (an xrun) stops rendering at `stall.at_ms` of the
// host clock for `stall.ms`. Its thread may wake late (`late_ms(host_ms)`
// after the period began); a device that `tells_cycle` says when the period
// began, as JACK and PipeWire do.
struct Stall {
    double at_ms = 1e9;
    double ms = 0;
};
struct Device {
    Stall stall{};
    bool tells_cycle = false;
    std::function<double(double)> late_ms = [](double) { return 0.0; };
};
std::vector<float> play(BuiltinSynth& synth, VirtualClock& clock, std::vector<HostEvent> events,
                        double seconds, const Device& device = {}) {
    std::stable_sort(events.begin(), events.end(), [](const HostEvent& a, const HostEvent& b) {
        return a.handled_ms < b.handled_ms;
    });
    const int periods = static_cast<int>(seconds * 1000.0 / kPeriodMs);
    std::vector<float> left;
    left.reserve(static_cast<std::size_t>(periods) * kPeriod);
    std::vector<float> stereo(static_cast<std::size_t>(kPeriod) * 2);
    auto next = events.begin();
    const auto handle_until = [&](double until_ms) {
        for (; next != events.end() && next->handled_ms < until_ms; ++next) {
            clock.set_ms(next->handled_ms);
            synth.set_message_time(
                MidiClock::time_point(std::chrono::duration_cast<MidiClock::duration>(
                    std::chrono::duration<double, std::milli>(next->stamp_ms))));
            for (const std::uint32_t m : next->messages) {
                synth.send(m);
            }
        }
    };
    for (int k = 0; k < periods; ++k) {
        double start_ms = k * kPeriodMs;
        if (start_ms >= device.stall.at_ms) {
            start_ms += device.stall.ms;
        }
        const double late = device.late_ms(start_ms);
        handle_until(start_ms + late);
        clock.set_ms(start_ms + late);
        if (device.tells_cycle) {
            synth.render(stereo.data(), kPeriod,
                         std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::duration<double, std::milli>(late)));
        } else {
            synth.render(stereo.data(), kPeriod);
        }
        for (int i = 0; i < kPeriod; ++i) {
            left.push_back(stereo[static_cast<std::size_t>(i) * 2]);
        }
        handle_until(start_ms + kPeriodMs);
    }
    return left;
}

// Sample positions where a sound starts after at least 40 ms of quiet.
std::vector<double> onsets_ms(const std::vector<float>& samples) {
    float peak = 0;
    for (const float s : samples) {
        peak = std::max(peak, std::abs(s));
    }
    const float threshold = peak * 0.1F;
    const auto quiet = static_cast<std::ptrdiff_t>(0.040 * kRate);
    std::vector<double> found;
    std::ptrdiff_t last_loud = -quiet - 1;
    for (std::ptrdiff_t i = 0; i < static_cast<std::ptrdiff_t>(samples.size()); ++i) {
        if (std::abs(samples[static_cast<std::size_t>(i)]) > threshold) {
            if (i - last_loud > quiet) {
                found.push_back(static_cast<double>(i) * 1000.0 / kRate);
            }
            last_loud = i;
        }
    }
    return found;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size())) - 1);
    return v[std::min(at, v.size() - 1)];
}

// A pulse of claves on the drum channel, one every 125 ms, each from a tick
// whose handler runs late by the amount in the table; one runs later than
// the latency allows. Onsets are found in the rendered samples and set
// against the ideal grid. Sending at once, as before, is rendered the same
// way: there the period and every late handler show.
TEST_F(RenderedSynth, TimeStampedMessagesSoundOnTheGridAfterOneLatency) {
    constexpr double kGridMs = 125.0;
    constexpr double kFirstMs = 500.0;
    constexpr int kTicks = 48;
    constexpr int kVeryLate = 30;        // this tick's handler runs 14 ms late
    constexpr double kVeryLateMs = 14.0; // more than the latency
    const std::array<double, 8> lateness_ms{0.0, 0.2, 1.0, 0.0, 3.0, 0.6, 5.0, 0.1};
    const std::uint32_t claves_off = pack_short_message(0x89, 75, 0);
    const std::uint32_t claves_on = pack_short_message(0x99, 75, 110);

    std::vector<HostEvent> events;
    for (int n = 0; n < kTicks; ++n) {
        const double due = kFirstMs + n * kGridMs;
        const double late =
            n == kVeryLate ? kVeryLateMs : lateness_ms[static_cast<std::size_t>(n) % 8];
        events.push_back({due, due + late, {claves_off, claves_on}});
    }

    struct Run {
        std::vector<double> onsets;
        std::vector<double> errors; // onset - due - median, the very late one left out
        double latency_ms = 0;
    };
    const auto run = [&](double latency_ms) {
        BuiltinSynth::Options o = options();
        o.latency_ms = latency_ms;
        clock_.set_ms(0);
        BuiltinSynth synth(o);
        EXPECT_EQ(synth.open(), kOpenOk);
        EXPECT_TRUE(synth.wait_until_loaded(60s));
        Run r;
        r.onsets = onsets_ms(play(synth, clock_, events, kFirstMs / 1000.0 + kTicks * 0.125 + 0.3));
        if (r.onsets.size() != static_cast<std::size_t>(kTicks)) {
            ADD_FAILURE() << r.onsets.size() << " onsets";
            return r;
        }
        std::vector<double> delays;
        for (int n = 0; n < kTicks; ++n) {
            if (n != kVeryLate) {
                delays.push_back(r.onsets[static_cast<std::size_t>(n)] - events[n].stamp_ms);
            }
        }
        r.latency_ms = percentile(delays, 0.5);
        for (const double d : delays) {
            r.errors.push_back(std::abs(d - r.latency_ms));
        }
        return r;
    };

    const double latency_ms = BuiltinSynth::Options{}.latency_ms; // the program's
    ASSERT_GT(latency_ms, 5.0) << "the late handlers below are within it";
    ASSERT_LT(latency_ms, kVeryLateMs);
    const Run at_once = run(0.0);
    const Run timed = run(latency_ms);
    ASSERT_EQ(timed.onsets.size(), static_cast<std::size_t>(kTicks));
    ASSERT_EQ(at_once.onsets.size(), static_cast<std::size_t>(kTicks));
    const auto report = [](const char* name, const Run& r) {
        std::printf("%s: latency %.2f ms, onset error p50 %.2f p99 %.2f max %.2f ms\n", name,
                    r.latency_ms, percentile(r.errors, 0.5), percentile(r.errors, 0.99),
                    percentile(r.errors, 1.0));
    };
    report("sent at once", at_once);
    report("time-stamped", timed);

    // Within one 64-frame block of the grid, late handlers (1, 3, 5 ms) too.
    EXPECT_LE(percentile(timed.errors, 0.99), 1.0);
    EXPECT_LE(percentile(timed.errors, 1.0), 1.0) << "one latency for every message";
    // The latency asked for, plus at most the period the device renders
    // ahead and the block in which FluidSynth takes the note. Where the
    // onset lies in the sample is found where sending at once puts the
    // note: at the start of the period rendered next.
    std::vector<double> attack;
    for (int n = 0; n < kTicks; ++n) {
        attack.push_back(at_once.onsets[static_cast<std::size_t>(n)] -
                         std::ceil(events[n].handled_ms / kPeriodMs) * kPeriodMs);
    }
    const double timed_latency_ms = timed.latency_ms - percentile(attack, 0.5);
    EXPECT_GE(timed_latency_ms, latency_ms);
    EXPECT_LE(timed_latency_ms, latency_ms + kPeriodMs + kBlockMs);
    // The yardstick sees what sending at once does.
    EXPECT_GT(percentile(at_once.errors, 0.99), 2.0);

    // Later than the latency: as soon as it can, as sending at once would
    // have it (give or take a block), and between its neighbours.
    const auto v = static_cast<std::size_t>(kVeryLate);
    EXPECT_NEAR(timed.onsets[v], at_once.onsets[v], 2 * kBlockMs + 0.05);
    EXPECT_GT(timed.onsets[v] - events[v].stamp_ms, timed.latency_ms + 1.0);
    EXPECT_LT(timed.onsets[v - 1], timed.onsets[v]);
    EXPECT_LT(timed.onsets[v], timed.onsets[v + 1]);
}

// After the audio output has lost time, the latency is what it was within
// half a second, rather than grown by the time lost; from the next cycle on
// where the output says when its cycles begin.
TEST_F(RenderedSynth, LatencyRecoversAfterTheOutputLosesTime) {
    constexpr double kGridMs = 125.0;
    constexpr Stall kStall{1000.0, 30.0};
    std::vector<HostEvent> events;
    for (int n = 0; n < 24; ++n) {
        const double due = 300.0 + n * kGridMs;
        events.push_back({due, due + 0.2, {pack_short_message(0x99, 75, 110)}});
    }
    for (const bool tells_cycle : {false, true}) {
        SCOPED_TRACE(tells_cycle ? "the output tells its cycles" : "the output does not");
        clock_.set_ms(0);
        BuiltinSynth synth(options());
        ASSERT_EQ(synth.open(), kOpenOk);
        ASSERT_TRUE(synth.wait_until_loaded(60s));
        const auto onsets = onsets_ms(play(synth, clock_, events, 3.6, {kStall, tells_cycle}));
        ASSERT_EQ(onsets.size(), events.size());
        const double before = onsets[0] - events[0].stamp_ms;
        for (std::size_t n = 0; n < events.size(); ++n) {
            // The rendered samples run behind the host clock by the time lost.
            const double stamp = events[n].stamp_ms;
            const double delay = onsets[n] - (stamp >= kStall.at_ms ? stamp - kStall.ms : stamp);
            if (tells_cycle || stamp < kStall.at_ms || stamp > kStall.at_ms + 600) {
                EXPECT_NEAR(delay, before, kBlockMs) << "the tick due at " << stamp << " ms";
            }
        }
    }
}

// The output's thread wakes late for a stretch longer than the synth's
// window (a busy machine), then on time again. Placed against the wake-ups,
// the pulse moves by the lateness when it ends; against the server's cycle
// starts it stays on the grid.
TEST_F(RenderedSynth, AThreadWakingLateForAWhileMovesNothingWhenTheCyclesAreTold) {
    constexpr double kGridMs = 125.0;
    constexpr double kLateMs = 3.0;
    std::vector<HostEvent> events;
    for (int n = 0; n < 28; ++n) {
        const double due = 300.0 + n * kGridMs;
        events.push_back({due, due + 0.2, {pack_short_message(0x99, 75, 110)}});
    }
    const auto late = [](double host_ms) {
        return host_ms >= 800 && host_ms < 2300 ? kLateMs : 0.1;
    };
    const auto worst_error = [&](bool tells_cycle) {
        clock_.set_ms(0);
        BuiltinSynth synth(options());
        EXPECT_EQ(synth.open(), kOpenOk);
        EXPECT_TRUE(synth.wait_until_loaded(60s));
        const auto onsets = onsets_ms(play(synth, clock_, events, 4.0, {{}, tells_cycle, late}));
        EXPECT_EQ(onsets.size(), events.size());
        std::vector<double> delays;
        for (std::size_t n = 0; n < std::min(onsets.size(), events.size()); ++n) {
            delays.push_back(onsets[n] - events[n].stamp_ms);
        }
        const double median = percentile(delays, 0.5);
        double worst = 0;
        for (const double d : delays) {
            worst = std::max(worst, std::abs(d - median));
        }
        return worst;
    };
    EXPECT_GT(worst_error(false), kLateMs - kBlockMs) << "the yardstick sees the stretch";
    EXPECT_LE(worst_error(true), kBlockMs);
}

std::vector<std::uint32_t> all_notes_off_messages() {
    std::vector<std::uint32_t> messages;
    for (int channel = 0; channel < 16; ++channel) {
        messages.push_back(pack_short_message(0xB0 | channel, 123, 0));
    }
    return messages;
}

double rms_ms(const std::vector<float>& left, double from_ms, double to_ms) {
    const auto from = static_cast<std::size_t>(from_ms * kRate / 1000.0);
    const auto to = std::min(left.size(), static_cast<std::size_t>(to_ms * kRate / 1000.0));
    return rms(std::vector<float>(left.begin() + static_cast<std::ptrdiff_t>(from),
                                  left.begin() + static_cast<std::ptrdiff_t>(to)));
}

// "Стоп" while the last tick's held note still waits to sound: its
// all-notes-off comes after the note whatever moment it carries: later, the
// same, or earlier (the stop's key was pressed before the late tick was
// handled, and handled after it).
TEST_F(RenderedSynth, AllNotesOffNeverOvertakesWhatWaitsToSound) {
    constexpr double kTickMs = 300.0;
    const std::uint32_t organ = pack_short_message(0xC0, 16, 0);
    const std::uint32_t held_note = pack_short_message(0x90, 60, 100);
    struct Case {
        const char* name;
        std::optional<double> stop_stamp_ms;
    };
    const std::vector<Case> cases{{"no stop: the note holds", std::nullopt},
                                  {"stop 2 ms after the tick", kTickMs + 2},
                                  {"stop at the tick's moment", kTickMs},
                                  {"stop pressed before the late tick", kTickMs - 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clock_.set_ms(0);
        BuiltinSynth synth(options());
        ASSERT_EQ(synth.open(), kOpenOk);
        ASSERT_TRUE(synth.wait_until_loaded(60s));
        std::vector<HostEvent> events{{100, 100, {organ}}, {kTickMs, kTickMs + 4, {held_note}}};
        if (c.stop_stamp_ms) {
            events.push_back({*c.stop_stamp_ms, kTickMs + 6, all_notes_off_messages()});
        }
        const auto left = play(synth, clock_, events, 1.2);
        EXPECT_GT(rms_ms(left, kTickMs, kTickMs + 40), 0.001) << "the note began";
        const double after = rms_ms(left, kTickMs + 700, kTickMs + 900);
        if (c.stop_stamp_ms) {
            EXPECT_LT(after, 1e-4) << "nothing is left sounding";
        } else {
            EXPECT_GT(after, 0.01);
        }
    }
}

// Closing (exit, another device) drops the notes still waiting to sound; the
// program change among them still takes effect, as the channels' programs
// outlive a close.
TEST_F(RenderedSynth, CloseDropsWaitingNotesAndKeepsWaitingProgramChanges) {
    const std::uint32_t flute = pack_short_message(0xC0, 73, 0);
    const std::uint32_t note = pack_short_message(0x90, 64, 100);
    const auto sound_of_note = [&](BuiltinSynth& synth) {
        synth.send(note);
        return render(synth, 0.4);
    };
    BuiltinSynth closed(options());
    ASSERT_EQ(closed.open(), kOpenOk);
    ASSERT_TRUE(closed.wait_until_loaded(60s));
    closed.send(flute);
    closed.send(note); // both wait for the latency
    closed.close();
    ASSERT_EQ(closed.open(), kOpenOk);
    EXPECT_LT(rms(render(closed, 0.4)), 1e-6) << "the waiting note never sounds";
    const auto after_close = sound_of_note(closed);
    all_notes_off(closed);

    BuiltinSynth piano(options());
    ASSERT_EQ(piano.open(), kOpenOk);
    ASSERT_TRUE(piano.wait_until_loaded(60s));
    render(piano, 0.4);
    const auto piano_sound = sound_of_note(piano);

    ASSERT_GT(rms(after_close), 0.005);
    EXPECT_NE(after_close, piano_sound) << "channel 1 plays the flute";
}

// A program that is not pinned is read on the thread that sends its program
// change, never while rendering, where the audio thread applies the change;
// once the channel has moved on to another program its samples are let go.
TEST_F(RenderedSynth, UnpinnedProgramIsReadBySenderAndLetGoAfterwards) {
    BuiltinSynth synth(options()); // nothing pinned but the drum kit
    ASSERT_EQ(synth.open(), kOpenOk);
    ASSERT_TRUE(synth.wait_until_loaded(60s));
    const auto select = [&](int program) {
        const std::uint64_t before = soundfont_opens();
        synth.send(pack_short_message(0xC0, program, 0));
        const std::uint64_t sent = soundfont_opens();
        synth.send(pack_short_message(0x90, 60, 90));
        render(synth, 0.2);
        EXPECT_EQ(soundfont_opens(), sent) << "read while rendering";
        synth.send(pack_short_message(0x80, 60, 0));
        render(synth, 0.05);
        return sent - before;
    };
    EXPECT_GT(select(19), 0U) << "read when sent";
    EXPECT_GT(select(20), 0U);
    EXPECT_GT(select(19), 0U) << "let go once channel 1 played program 20";
    EXPECT_GT(rms(render(synth, 0.01)), 0.0);
}

// ------------------------------------------------------------- sleeping

// After the set time of silence the synth stops rendering (its output stops
// asking the server for audio); what is sent while it sleeps is neither lost
// nor reordered, and sounds at the same latency after the time rendered.
TEST_F(RenderedSynth, SleepsAfterSilenceAndWakesForTheNextMessageAtTheSameLatency) {
    BuiltinSynth::Options o = options();
    o.sleep_after_s = 2.0;
    BuiltinSynth synth(o);
    ASSERT_EQ(synth.open(), kOpenOk);
    ASSERT_TRUE(synth.wait_until_loaded(60s));

    std::vector<float> left;
    std::vector<float> stereo(static_cast<std::size_t>(kPeriod) * 2);
    double host_ms = 0;
    const auto period = [&] {
        clock_.set_ms(host_ms);
        synth.render(stereo.data(), kPeriod);
        for (int i = 0; i < kPeriod; ++i) {
            left.push_back(stereo[static_cast<std::size_t>(i) * 2]);
        }
        host_ms += kPeriodMs;
        clock_.set_ms(host_ms);
    };
    const auto send_now = [&](const std::vector<std::uint32_t>& messages) {
        synth.set_message_time(clock_.now());
        for (const std::uint32_t m : messages) {
            synth.send(m);
        }
    };
    const auto onset_after = [&](std::size_t from) {
        for (std::size_t i = from; i < left.size(); ++i) {
            if (std::abs(left[i]) > 1e-3F) {
                return static_cast<double>(i - from) * 1000.0 / kRate;
            }
        }
        return -1.0;
    };

    // A note in steady play that ends; its reverb's tail dies away.
    for (int k = 0; k < 20; ++k) {
        period();
    }
    std::size_t start = left.size();
    send_now({pack_short_message(0x90, 60, 100)});
    for (int k = 0; k < 60; ++k) {
        period();
    }
    const double awake_latency = onset_after(start);
    send_now({pack_short_message(0x80, 60, 0)});
    while (!synth.asleep() && host_ms < 20000) {
        period();
    }
    ASSERT_TRUE(synth.asleep()) << "still rendering after 20 s";
    EXPECT_GT(host_ms, 2000.0) << "not before the silence has lasted";
    for (int k = 0; k < 400; ++k) { // two seconds asleep: silence, nothing rendered
        period();
    }
    EXPECT_TRUE(synth.asleep());

    // Sent while asleep, in this order: the first note must end before the
    // second begins, and the program change must apply to the second.
    start = left.size();
    send_now({pack_short_message(0x90, 64, 100), pack_short_message(0x80, 64, 0),
              pack_short_message(0xC0, 73, 0), pack_short_message(0x90, 67, 100)});
    EXPECT_FALSE(synth.asleep());
    for (int k = 0; k < 60; ++k) {
        period();
    }
    const double asleep_latency = onset_after(start);
    ASSERT_GT(awake_latency, 0.0);
    ASSERT_GT(asleep_latency, 0.0) << "the note sent while asleep sounds";
    // Placed against the time rendered when the synth fell asleep: it sounds
    // one latency after the rendering resumes, without the rendering's lead
    // within a period, so no later than in steady play.
    EXPECT_GE(asleep_latency, o.latency_ms);
    EXPECT_LE(asleep_latency, awake_latency + kBlockMs);
    const std::vector<float> woken(left.begin() + static_cast<std::ptrdiff_t>(start), left.end());

    // With a warning (the pointer entering the window) half a second ahead,
    // the note sounds at the usual latency.
    send_now({pack_short_message(0xB0, 123, 0)});
    while (!synth.asleep() && host_ms < 40000) {
        period();
    }
    ASSERT_TRUE(synth.asleep());
    synth.wake();
    for (int k = 0; k < 94; ++k) {
        period();
    }
    start = left.size();
    send_now({pack_short_message(0x91, 60, 100)}); // the first note again: piano
    for (int k = 0; k < 60; ++k) {
        period();
    }
    EXPECT_NEAR(onset_after(start), awake_latency, kBlockMs + 0.5);

    // The same messages to a synth that never slept sound the same.
    BuiltinSynth awake(options());
    ASSERT_EQ(awake.open(), kOpenOk);
    ASSERT_TRUE(awake.wait_until_loaded(60s));
    clock_.set_ms(0);
    awake.set_message_time(clock_.now());
    for (const std::uint32_t m :
         {pack_short_message(0x90, 64, 100), pack_short_message(0x80, 64, 0),
          pack_short_message(0xC0, 73, 0), pack_short_message(0x90, 67, 100)}) {
        awake.send(m);
    }
    const std::vector<float> reference = render(awake, 60 * kPeriodMs / 1000.0);
    std::vector<float> reference_left;
    for (std::size_t i = 0; i < reference.size(); i += 2) {
        reference_left.push_back(reference[i]);
    }
    EXPECT_NEAR(rms(woken), rms(reference_left), rms(reference_left) * 0.05);
}

// A wake-up with nothing to play renders silence again at once, and keeps
// the synth from sleeping until the silence has lasted anew.
TEST_F(RenderedSynth, WakeUpRestartsTheSilenceCount) {
    BuiltinSynth::Options o = options();
    o.sleep_after_s = 0.5;
    BuiltinSynth synth(o);
    ASSERT_EQ(synth.open(), kOpenOk);
    ASSERT_TRUE(synth.wait_until_loaded(60s));
    render(synth, 0.6);
    ASSERT_TRUE(synth.asleep());
    synth.wake();
    EXPECT_FALSE(synth.asleep());
    render(synth, 0.3);
    EXPECT_FALSE(synth.asleep());
    render(synth, 0.3);
    EXPECT_TRUE(synth.asleep());
}

TEST(BuiltinSynthOpen, WithoutUsableSoundFontFailsAndDropsSends) {
    for (const std::string soundfont : {"", "/nonexistent/GM.sf2", VARKELON_DATA_FILE}) {
        SCOPED_TRACE(soundfont);
        BuiltinSynth synth(BuiltinSynth::Options{soundfont, BuiltinSynth::Output::Render});
        EXPECT_EQ(synth.open(), kNoSoundFont);
        EXPECT_FALSE(synth.is_open());
        synth.send(kNoteOn60);
        synth.close();
        EXPECT_FALSE(synth.wait_until_loaded(0ms));
    }
}

// A file that passes for a SoundFont by its header but does not load: the
// first open cannot know yet, later ones report it instead of playing
// nothing.
TEST(BuiltinSynthOpen, SoundFontThatFailsToLoadFailsTheOpensAfterIt) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("varkelon-damaged-" + std::to_string(getpid()) + ".sf2");
    {
        std::ofstream out(path, std::ios::binary);
        const char header[] = {'R', 'I', 'F', 'F', 64, 0, 0, 0, 's', 'f', 'b', 'k'};
        out.write(header, sizeof header);
        out << std::string(64, '\x5A');
    }
    BuiltinSynth synth(BuiltinSynth::Options{path.string(), BuiltinSynth::Output::Render});
    EXPECT_EQ(synth.open(), kOpenOk) << "the load runs behind the first open";
    EXPECT_FALSE(synth.wait_until_loaded(60s));
    synth.close();
    EXPECT_EQ(synth.open(), kNoSoundFont);
    EXPECT_FALSE(synth.is_open());
    std::filesystem::remove(path);
}

// On a machine without sound (this one) opening fails with a code instead
// of waiting for an audio server; where there is an audio output it opens.
TEST(BuiltinSynthOpen, AudioOutputOpensOrFailsWithoutHanging) {
    const std::string soundfont = find_gm_soundfont();
    if (soundfont.empty()) {
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    }
    BuiltinSynth synth(BuiltinSynth::Options{soundfont, BuiltinSynth::Output::Audio});
    const int rc = synth.open();
    if (rc == kOpenOk) {
        synth.send(kNoteOn60);
        synth.close();
        GTEST_SKIP() << "this machine has an audio output";
    }
    EXPECT_EQ(rc, kNoAudioOutput);
    synth.send(kNoteOn60); // lost quietly
    EXPECT_EQ(synth.open(), kNoAudioOutput) << "a second attempt fails the same way";
    synth.close();
}

// The core shows the failure once and plays on without sound.
TEST(BuiltinSynthOpen, ProgramStartsWithMessageWhenTheSynthCannotOpen) {
    SystemMidi::Options options;
    options.synth.soundfont = "/nonexistent/GM.sf2";
    options.ports.apis = {}; // no ports: only the synthesizer matters here
    SystemMidi midi(options);
    MemorySettingsStore settings;
    MemoryStyleFile style = test::style_data_file();
    ScriptedDialogs dialogs;
    Program program({midi, settings, style, dialogs});

    ASSERT_TRUE(program.start());
    ASSERT_EQ(dialogs.shown.size(), 1U);
    EXPECT_EQ(dialogs.shown[0].text,
              "Couldn't open midi out, rc = " + std::to_string(kNoSoundFont));
    program.form1().key_down(90, 0);
    program.form1().key_up(90, 0);
    program.form1().key_down(116, 0);
    program.form1().key_up(116, 0);
    EXPECT_EQ(dialogs.shown.size(), 1U);
    program.form1().unload();
}

} // namespace
} // namespace varkelon
