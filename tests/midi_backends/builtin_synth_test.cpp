#include "midi/backends/builtin_synth.h"
#include "midi/backends/open_codes.h"
#include "midi/backends/system_midi.h"

#include "app/program.h"
#include "engine/style_format.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
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

class RenderedSynth : public testing::Test {
protected:
    void SetUp() override {
        soundfont_ = find_gm_soundfont();
        if (soundfont_.empty()) {
            GTEST_SKIP() << "no General MIDI SoundFont installed (fluid-soundfont-gm)";
        }
    }

    BuiltinSynth::Options options() const {
        BuiltinSynth::Options o;
        o.soundfont = soundfont_;
        o.output = BuiltinSynth::Output::Render;
        o.sample_rate = kRate;
        return o;
    }

    std::string soundfont_;
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
        const std::uint64_t before = BuiltinSynth::soundfont_opens();
        for (const std::uint32_t change : selections) {
            synth.send(change);
            render(synth, 0.01);
        }
        EXPECT_EQ(BuiltinSynth::soundfont_opens(), before);

        synth.send(pack_short_message(0x9D, 40, 100)); // the pinned program sounds
        EXPECT_GT(rms(render(synth, 0.2)), 0.001);
        all_notes_off(synth);

        const std::uint64_t pinned_done = BuiltinSynth::soundfont_opens();
        for (int program = 0; program < 128; ++program) {
            if (std::find(c.pinned.begin(), c.pinned.end(), program) == c.pinned.end()) {
                synth.send(pack_short_message(0xCF, program, 0));
            }
        }
        EXPECT_GT(BuiltinSynth::soundfont_opens(), pinned_done)
            << "a program not pinned reads its samples when selected";
    }
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
